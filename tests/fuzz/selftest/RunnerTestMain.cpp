// The runner's tests start this same program as their batch process, with the faulty table.
#include <gtest/gtest.h>

#include "tests/fuzz/FuzzBatch.h"
#include "tests/fuzz/selftest/FaultyTarget.h"

int wmain(int argc, wchar_t** argv)
{
    if (IsFuzzBatchCommand(argc, argv))
        return RunFuzzBatch(FaultyTargets(), argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
