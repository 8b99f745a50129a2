// The volume error table: one entry per code, looked up by code, unknown
// codes falling to the "unknown error" entry.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "volume/driver_records.h"
#include "volume/volume_error_table.h"

namespace {

TEST(VolumeErrorTable, EntriesAreUniqueOrderedAndComplete)
{
    int count = 0;
    const VolumeErrorEntry *entries = VolumeErrorEntries(&count);
    std::set<int> codes;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(codes.insert(entries[i].code).second) << entries[i].code;
        if (i > 0) {
            EXPECT_LT(entries[i - 1].code, entries[i].code);
        }
        const VolumeErrorEntry &e = entries[i];
        EXPECT_EQ(e.key != nullptr, e.show == SHOW_LANGUAGE_KEY) << e.code;
        EXPECT_EQ(e.text != nullptr, e.show == SHOW_FIXED_TEXT) << e.code;
        EXPECT_EQ(&FindVolumeError(e.code), &e);
    }
    std::set<int> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 13, 15, 16, 17,
                              18, 19, 21, 22, 23, 24, 26, 28, 29, 30, 31, 32, 33,
                              // the driver emulation's reasons for keeping files where they are
                              VOLUME_SAVE_NO_SPACE, VOLUME_SAVE_NOT_WRITABLE, VOLUME_VIEW_TOO_LARGE,
                              VOLUME_CONTENTS_UNREADABLE, VOLUME_CONTAINER_CHANGED, VOLUME_ORPHANS_DISAGREE,
                              VOLUME_RESTORE_NO_SPACE,
                              // the program's own refusal of a path the records cannot hold
                              VOLUME_PATH_TOO_LONG};
    EXPECT_EQ(codes, expected);
}

TEST(VolumeErrorTable, UnknownCodesAndSpecialEntries)
{
    for (int code : {0, 10, 12, 14, 20, 25, 27, 42, -1, 1000}) {
        const VolumeErrorEntry &e = FindVolumeError(code);
        EXPECT_EQ(e.code, -1) << code;
        EXPECT_EQ(std::u16string(e.text), u"发生未知的错误!");
    }
    EXPECT_EQ(FindVolumeError(28).show, SHOW_NOTHING);
    EXPECT_EQ(FindVolumeError(33).show, SHOW_NOTHING);
    EXPECT_EQ(FindVolumeError(1).show, SHOW_WINDOWS_ERROR);
    EXPECT_TRUE(FindVolumeError(3).warning);
    // Only the incompatible-driver text carries the version placeholder.
    int count = 0;
    const VolumeErrorEntry *entries = VolumeErrorEntries(&count);
    for (int i = 0; i < count; ++i) {
        if (entries[i].text) {
            EXPECT_EQ(std::u16string(entries[i].text).find(u"%") != std::u16string::npos, entries[i].code == 15)
                << entries[i].code;
        }
    }
    EXPECT_STREQ(QDSK_DRIVER_VERSION_TEXT, "2.0");
    EXPECT_EQ(QDSK_DRIVER_VERSION, 0x200u);
}

}  // namespace
