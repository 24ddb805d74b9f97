#include "target/FSelDir.h"

TfrmSelDir::TfrmSelDir(TComponent* owner) : TForm(owner)
{
    SetClientSize(464, 298);
    FinishLoading();
}

void TfrmSelDir::SetInitialDir(const std::wstring&) {}

std::wstring TfrmSelDir::GetSelectedDir() const { return {}; }
