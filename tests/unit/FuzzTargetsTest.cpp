// The mutation runner's targets keep the library's errors in and read their own seeds.
#include "tests/support/FuzzTargets.h"

#include <gtest/gtest.h>

#include "toolkit/core/ByteViewStream.h"
#include "toolkit/graphics/Bitmap.h"

TEST(FuzzTargets, SeedsReadAndEveryCutOfThemIsSwallowed)
{
    for (const auto& seed : BitmapLoaderSeeds()) {
        TByteViewStream stream(seed.data(), seed.size());
        TBitmap bitmap;
        ASSERT_NO_THROW(bitmap.LoadStream(stream));
        EXPECT_EQ(bitmap.Width(), 5);
        for (size_t n = 0; n <= seed.size(); ++n)
            FuzzBitmapLoader(seed.data(), n);
    }
    for (const auto& seed : StoredFormSeeds())
        for (size_t n = 0; n <= seed.size(); ++n)
            FuzzStoredForm(seed.data(), n);
}
