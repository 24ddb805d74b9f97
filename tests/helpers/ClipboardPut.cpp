// Puts one picture of the clipboard test on the clipboard and ends, so the test reads what
// another process put there. The picture's depth comes in CLIPBOARD_PICTURE_BITS.
#include <windows.h>

#include <cwchar>

#include "imaging/UDIBitmap.h"
#include "tests/helpers/ClipboardPictures.h"
#include "toolkit/graphics/Clipboard.h"

int wmain()
{
    wchar_t bits[8] = {};
    ::GetEnvironmentVariableW(L"CLIPBOARD_PICTURE_BITS", bits, 8);
    try {
        const std::vector<uint8_t> file = BmpFile(ClipboardPicture(std::wcstol(bits, nullptr, 10)));
        TByteViewStream stream(file.data(), file.size());
        TDIBitmap dib;
        dib.LoadStream(stream);
        Clipboard().SetGraphic(dib);
        return 0;
    } catch (const Exception&) {
        return 1;
    }
}
