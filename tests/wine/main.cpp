// Entry point of the Winelib integration test program.
#include "gtest_wine.h"

#include <cstring>

// Second processes that some tests start from this same program (weak: the
// programs that share this entry point without those tests lack it).
int RunStandinChild(const char *container) __attribute__((weak));

int main(int argc, char **argv)
{
    if (argc == 3 && !strcmp(argv[1], "--standin-child") && RunStandinChild)
        return RunStandinChild(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
