// Entry point of the Winelib integration test program.
#include "gtest_wine.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
