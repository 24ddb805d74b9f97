// The main function of every test program: the program's unit start-up steps first, as the
// updater's own start-up runs them, then the tests, then the end steps.
#include <gtest/gtest.h>

#include "app/Modules.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TRunningModules modules(LibraryModules());
    return RUN_ALL_TESTS();
}
