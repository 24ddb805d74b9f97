// The message-box helper every dialog of the update flow uses.
#pragma once
#include <string>

// Modal message box: the text as given (sized to it, never cut), the application title as
// caption, one OK button and the exclamation icon.
void ShowMessage(const std::wstring& text);
