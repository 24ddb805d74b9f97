// Built with the coverage callback, as the program's readers are for the runner.
#include "tests/fuzz/selftest/FaultyTarget.h"

namespace {

volatile int g_step = 0;
// A value the mutations write into one byte at a time, never into four at once.
constexpr uint8_t kStep = 0x7F;

}  // namespace

int StaircaseLevel(const FuzzBytes& input)
{
    int level = 0;
    while (level < 4 && input.size() >= 8 && input[4 + static_cast<size_t>(level)] == kStep)
        ++level;
    return level;
}

// Each step is one more byte 0x7F, behind the last. Blind mutations hardly ever change four
// bytes in the right places at once; kept inputs climb one step at a time.
void ReadStaircase(const uint8_t* data, size_t size)
{
    if (size < 8)
        return;
    if (data[4] == kStep) {
        g_step = 1;
        if (data[5] == kStep) {
            g_step = 2;
            if (data[6] == kStep) {
                g_step = 3;
                if (data[7] == kStep)
                    g_step = 4;
            }
        }
    }
}

std::vector<FuzzSeed> StaircaseSeeds()
{
    // Bytes after the steps, so a boundary value written two or four bytes wide fits at each.
    return {{{'S', 'T', 'E', 'P', 0, 0, 0, 0, 'U', 'P', 'U', 'P'}, {}}};
}
