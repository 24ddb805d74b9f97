#include "toolkit/core/Format.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Format, WritesNumbersInDecimalAtEveryBoundary)
{
    struct Case {
        long long value;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"<0>"},
        {7, L"<7>"},
        {-1, L"<-1>"},
        {10, L"<10>"},
        {-10, L"<-10>"},
        {4294967295LL, L"<4294967295>"},
        {LLONG_MAX, L"<9223372036854775807>"},
        {LLONG_MIN, L"<-9223372036854775808>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(L"<%d>", {c.value}), c.text) << c.value;
}
