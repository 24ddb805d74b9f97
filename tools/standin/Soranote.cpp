// Stand-in for the product: a window that says which version it is. It exists so the updater
// has a real executable with a real version resource to carry and to replace.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MessageBoxW(nullptr, L"ソラノート (stand-in build)", L"ソラノート", MB_OK | MB_ICONINFORMATION);
    return 0;
}
