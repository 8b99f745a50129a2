// What the program leaves behind at a normal exit.
#include "gtest_wine.h"

#include "Mount/init_app.h"

namespace {

TEST(ExitCleanup, CommandLineIsWipedInPlace)
{
    char *a = GetCommandLineA();
    WCHAR *w = GetCommandLineW();
    int lenA = lstrlenA(a);
    int lenW = lstrlenW(w);
    ASSERT_GT(lenA, 0);
    ASSERT_GT(lenW, 0);
    ExitCleanup();
    for (int i = 0; i < lenA; ++i)
        ASSERT_EQ(a[i], 0) << "byte " << i;
    for (int i = 0; i < lenW; ++i)
        ASSERT_EQ(w[i], 0) << "unit " << i;
    // The same buffers, not copies, were wiped.
    EXPECT_EQ(GetCommandLineA(), a);
    EXPECT_EQ(lstrlenW(GetCommandLineW()), 0);
}

}  // namespace
