// The random pool on Windows: starting and stopping with the hooks, the
// CryptoAPI provider and the polling thread, drawing with the Windows
// pollers, and the error path of an oversized draw.
#include "gtest_wine.h"

#include <cstring>
#include <string>
#include <vector>

#include "Mount/msgbox.h"
#include "crypto/random_pool.h"
#include "crypto/random_pool_win32.h"

namespace {

DWORD WINAPI DrawSmall(LPVOID result)
{
    uint8_t bytes[16];
    *static_cast<BOOL *>(result) = GetRandomBytes(bytes, sizeof bytes, false) ? TRUE : FALSE;
    return 0;
}

std::vector<std::string> g_reportedKeys;
void RecordKey(const char *key) { g_reportedKeys.push_back(key); }

}  // namespace

TEST(RandomPoolWin32, StartsOnceDrawsAndStops)
{
    ASSERT_EQ(StartRandomPool(), 0);
    EXPECT_EQ(StartRandomPool(), 0) << "already running";
    EXPECT_TRUE(IsRandomPoolOpen());

    // The first draw runs the deep poll (100 reads of the CryptoAPI
    // generator, the drives, the network statistics where Wine has them).
    std::vector<uint8_t> a(RANDOM_POOL_SIZE), b(RANDOM_POOL_SIZE);
    EXPECT_TRUE(GetRandomBytes(a.data(), a.size(), true));
    EXPECT_TRUE(GetRandomBytes(b.data(), b.size(), false));
    EXPECT_NE(a, b);
    EXPECT_NE(a, std::vector<uint8_t>(a.size(), 0));

    // Let the polling thread run a few quick polls meanwhile.
    Sleep(1200);
    EXPECT_TRUE(GetRandomBytes(a.data(), 64, false));

    StopRandomPool();
    EXPECT_FALSE(IsRandomPoolOpen());
    EXPECT_EQ(RandomWriteCursor(), 0u);
    EXPECT_FALSE(GetRandomBytes(a.data(), 16, false)) << "a stopped pool delivers nothing";

    // And it starts again.
    ASSERT_EQ(StartRandomPool(), 0);
    EXPECT_TRUE(GetRandomBytes(a.data(), 16, false));
    StopRandomPool();
    StopRandomPool();  // a second stop does nothing
}

TEST(RandomPoolWin32, OversizedDrawFailsAndLeavesTheLockFree)
{
    // The caller's reporter gets the key; the pool shows nothing itself.
    ASSERT_EQ(StartRandomPool(RecordKey), 0);
    g_reportedKeys.clear();
    std::vector<uint8_t> bytes(RANDOM_POOL_SIZE + 1);
    EXPECT_FALSE(GetRandomBytes(bytes.data(), bytes.size(), false));
    ASSERT_EQ(g_reportedKeys.size(), 1u);
    EXPECT_EQ(g_reportedKeys[0], "ERR_NOT_ENOUGH_RANDOM_DATA");

    BOOL drawn = FALSE;
    HANDLE thread = CreateThread(nullptr, 0, DrawSmall, &drawn, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0) << "the pool lock was left taken";
    CloseHandle(thread);
    EXPECT_TRUE(drawn);
    StopRandomPool();
}

TEST(RandomPoolWin32, StopTakesEffectWhileThePollingThreadSleeps)
{
    // Stop waits for the polling thread to acknowledge; it must not hang.
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(StartRandomPool(), 0);
        DWORD start = GetTickCount();
        StopRandomPool();
        EXPECT_LT(GetTickCount() - start, 5000u);
    }
}
