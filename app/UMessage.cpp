#include "app/UMessage.h"

#include "toolkit/windows/Forms.h"

void ShowMessage(const std::wstring& text)
{
    Application().MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}
