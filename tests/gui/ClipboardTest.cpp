// Pictures through the real clipboard, from another process.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/UDIBitmap.h"
#include "tests/helpers/ClipboardPictures.h"
#include "tests/support/Driver.h"
#include "tests/support/HostPath.h"
#include "toolkit/graphics/Clipboard.h"

TEST(Clipboard, PicturesPutByAnotherProcessArriveAsPackedDIBs)
{
    for (int bits : {8, 24}) {
        SCOPED_TRACE(bits);
        const std::vector<uint8_t> file = BmpFile(ClipboardPicture(bits));
        ::SetEnvironmentVariableW(L"CLIPBOARD_PICTURE_BITS", std::to_wstring(bits).c_str());
        DrivenProcess helper(HostPath(CLIPBOARD_PUT_EXE), L".");
        ASSERT_EQ(helper.WaitForExit(Millis(30000)), 0u);
        ASSERT_TRUE(Clipboard().HasFormat(CF_DIB));
        // The block as the clipboard holds it: the packed DIB at its start, in the whole of the
        // block the stream grew, whose size is a multiple of 8192 bytes.
        size_t blockSize = 0;
        std::vector<uint8_t> start;
        Clipboard().Open();
        if (HGLOBAL block = static_cast<HGLOBAL>(::GetClipboardData(CF_DIB))) {
            blockSize = ::GlobalSize(block);
            GlobalLock_ lock(block);
            const auto* bytes = static_cast<const uint8_t*>(lock.get());
            start.assign(bytes, bytes + std::min(blockSize, file.size() - 14));
        }
        Clipboard().Close();
        EXPECT_EQ(blockSize, 8192u);
        EXPECT_EQ(start, std::vector<uint8_t>(file.begin() + 14, file.end()));
        TDIBitmap dib;
        Clipboard().LoadGraphic(dib, CF_DIB);
        WhitePage page(3, 2);
        dib.Render(page.Canvas(), {0, 0, 3, 2});
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(page.Canvas().Pixel(i % 3, i / 3), kClipboardPictureColors[i]) << "pixel " << i;
    }
}
