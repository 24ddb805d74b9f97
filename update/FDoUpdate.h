// Update execution dialog (being built).
#pragma once
#include "toolkit/Forms.h"

class TfrmDoUpdate : public TForm {
public:
    explicit TfrmDoUpdate(TComponent* owner);
};
