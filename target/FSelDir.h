// Folder-selection dialog (being built).
#pragma once
#include <string>

#include "toolkit/Forms.h"

class TfrmSelDir : public TForm {
public:
    explicit TfrmSelDir(TComponent* owner);
    void SetInitialDir(const std::wstring& path);
    std::wstring GetSelectedDir() const;
};
