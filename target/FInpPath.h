// Install-folder dialog (being built).
#pragma once
#include "toolkit/Forms.h"

class TfrmInputPath : public TForm {
public:
    explicit TfrmInputPath(TComponent* owner);
};
