// Every entry of the volume error table reaches the user as it stands.
#include "volume_support.h"

#include "volume/volume_error_table.h"
#include "volume/volume_errors.h"

using namespace volume_test;

namespace {

class VolumeErrors : public VolumeTest {};

std::u16string Expected(const VolumeErrorEntry &e)
{
    if (e.show == SHOW_LANGUAGE_KEY)
        return Text(GetString(e.key));
    std::u16string text = e.text;
    size_t at = text.find(u"%hs");
    if (at != std::u16string::npos)
        text.replace(at, 3, u"2.0");
    return text;
}

// Shows every table entry with a code in [first, last] and checks what the
// user saw. (Split over several tests: each box takes Wine a moment.)
void WalkTable(int first, int last)
{
    ASSERT_FALSE(GetKeyState(VK_CAPITAL) & 1);
    int count = 0;
    const VolumeErrorEntry *entries = VolumeErrorEntries(&count);
    ASSERT_EQ(count, 35);
    int walked = 0;
    for (int i = 0; i < count; ++i) {
        const VolumeErrorEntry &e = entries[i];
        if (e.code < first || e.code > last)
            continue;
        ++walked;
        std::vector<Box> boxes = RunAnswering([&] {
            SetLastError(ERROR_FILE_NOT_FOUND);
            ShowVolumeError(nullptr, e.code);
        });
        if (e.show == SHOW_NOTHING) {
            EXPECT_TRUE(boxes.empty()) << e.code;
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u) << e.code;
        EXPECT_EQ(boxes[0].icon, e.warning ? 'W' : 'E') << e.code;
        if (e.show == SHOW_WINDOWS_ERROR) {
            EXPECT_FALSE(boxes[0].text.empty());
            continue;
        }
        EXPECT_EQ(boxes[0].text, Expected(e)) << e.code;
        EXPECT_EQ(boxes[0].text.find(u"[?]"), std::u16string::npos) << "the language file has the key " << e.code;
    }
    EXPECT_GT(walked, 0);
}

TEST_F(VolumeErrors, TableCodes1To9) { WalkTable(1, 9); }
TEST_F(VolumeErrors, TableCodes10To19) { WalkTable(10, 19); }
TEST_F(VolumeErrors, TableCodes20To26) { WalkTable(20, 26); }
TEST_F(VolumeErrors, TableCodes27To33) { WalkTable(27, 33); }
TEST_F(VolumeErrors, TableCodesOfTheDriverEmulation)
{
    WalkTable(34, 37);
    WalkTable(39, 41);
}
TEST_F(VolumeErrors, TableCodeOfTheProgramsOwnPathRefusal) { WalkTable(38, 38); }

TEST_F(VolumeErrors, UnknownCodes)
{
    for (int unknown : {10, 12, 14, 20, 25, 27, 42, 99, -5}) {
        std::vector<Box> boxes = RunAnswering([&] { ShowVolumeError(nullptr, unknown); });
        ASSERT_EQ(boxes.size(), 1u) << unknown;
        EXPECT_EQ(boxes[0].text, u"发生未知的错误!") << unknown;
    }
}

TEST_F(VolumeErrors, QuotedTextsAsTheUserReadsThem)
{
    struct Quote {
        int code;
        const char16_t *text;
    } quotes[] = {
        {3, u"密码错误！"},
        {5, u"没有找到驱动程序。"},
        {6, u"无法卸载加密卷。位于此加密卷上某些文件可能仍被打开。"},
        {15, u"当前正在运行一个不兼容的 Veilguard 设备驱动。\n\n要求版本：Veilguard 2.0"},
        {21, u"您试图要加载的加密卷已经载入。"},
        {22, u"无可用驱动器盘符。"},
        {23, u"文件不能被打开。"},
        {26, u"错误：访问被拒绝。\n\n您试图要访问的分区要么是 0 扇区长度，要么是启动设备。"},
    };
    for (const Quote &q : quotes) {
        std::vector<Box> boxes = RunAnswering([&] { ShowVolumeError(nullptr, q.code); });
        ASSERT_EQ(boxes.size(), 1u) << q.code;
        // The static control shows "\n" as a line break; compare with the
        // line breaks in place.
        EXPECT_EQ(boxes[0].text, q.text) << q.code;
    }
}

TEST_F(VolumeErrors, CapsLockNoteFollowsTheWrongPasswordText)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CAPITAL] |= 1;
    SetKeyboardState(keys);
    std::vector<Box> boxes = RunAnswering([&] {
        BYTE k[256];
        GetKeyboardState(k);
        k[VK_CAPITAL] |= 1;
        SetKeyboardState(k);
        ShowVolumeError(nullptr, 3);
    });
    keys[VK_CAPITAL] &= ~1;
    SetKeyboardState(keys);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"密码错误！注意大写键是打开的。");
}

}  // namespace
