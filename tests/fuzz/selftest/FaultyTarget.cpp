#include "tests/fuzz/selftest/FaultyTarget.h"

#include <windows.h>

#include <stdexcept>

namespace {

Fault FaultAt(const uint8_t* data, size_t size)
{
    if (size == 5)
        return Fault::hang;
    if (size < 6)
        return Fault::none;
    switch (data[4] | (data[5] << 8)) {
    case 0x8000: return Fault::crash;
    case 0xFFFF: return Fault::escape;
    case 0x7FFF: return Fault::leak;
    default: return Fault::none;
    }
}

void ReadFaulty(const uint8_t* data, size_t size)
{
    switch (FaultAt(data, size)) {
    case Fault::crash: {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        break;
    }
    case Fault::escape: throw std::out_of_range("not the library's error");
    case Fault::hang: ::Sleep(INFINITE); break;
    case Fault::leak: ::CreateSolidBrush(RGB(1, 2, 3)); break;
    case Fault::none: break;
    }
}

std::vector<FuzzSeed> FaultySeeds()
{
    return {{{'F', 'A', 'U', 'L', 0x10, 0x00, 'T', 'Y', 1, 2, 3, 4}, {}}};
}

}  // namespace

Fault FaultOf(const FuzzBytes& input)
{
    return FaultAt(input.data(), input.size());
}

const std::vector<FuzzTarget>& FaultyTargets()
{
    static const std::vector<FuzzTarget> table = {{"Faulty", ReadFaulty, FaultySeeds, {{4, 2}}},
                                                   {"Staircase", ReadStaircase, StaircaseSeeds, {}}};
    return table;
}
