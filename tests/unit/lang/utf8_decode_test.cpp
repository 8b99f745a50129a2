#include "Mount/lang/utf8_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The decoded text, or "!" when the input is refused. The input sits in a
// block of exactly its size, so a read past its end is a real overrun.
std::u16string Decode(const std::string &in, size_t outUnits = 64)
{
    char16_t out[64];
    std::vector<char> bytes(in.begin(), in.end());
    size_t n = DecodeUtf8Text(bytes.data(), bytes.size(), out, outUnits);
    if (n == 0)
        return u"!";
    EXPECT_EQ(out[n - 1], 0);
    return std::u16string(out, n - 1);
}

}  // namespace

TEST(Utf8Decode, ConvertsEverySequenceLength)
{
    EXPECT_EQ(Decode("OK(&O)"), u"OK(&O)");
    EXPECT_EQ(Decode("\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(Decode("\xE5\xAE\x8B\xE4\xBD\x93"), u"宋体");
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
    EXPECT_EQ(Decode(""), u"");
}

TEST(Utf8Decode, AcceptsTheEdgesOfEachRange)
{
    EXPECT_EQ(Decode("\xC2\x80"), u"\u0080");
    EXPECT_EQ(Decode("\xE0\xA0\x80"), u"\u0800");
    EXPECT_EQ(Decode("\xED\x9F\xBF"), u"\uD7FF");
    EXPECT_EQ(Decode("\xEE\x80\x80"), u"\uE000");
    EXPECT_EQ(Decode("\xEF\xBF\xBF"), u"\uFFFF");
    EXPECT_EQ(Decode("\xF0\x90\x80\x80"), u"\xD800\xDC00");
    EXPECT_EQ(Decode("\xF4\x8F\xBF\xBF"), u"\xDBFF\xDFFF");
}

TEST(Utf8Decode, RefusesInvalidInput)
{
    EXPECT_EQ(Decode("a\x80"), u"!");            // stray continuation byte
    EXPECT_EQ(Decode("\xC0\x80"), u"!");         // overlong forms
    EXPECT_EQ(Decode("\xC1\xBF"), u"!");
    EXPECT_EQ(Decode("\xE0\x9F\xBF"), u"!");
    EXPECT_EQ(Decode("\xF0\x8F\xBF\xBF"), u"!");
    EXPECT_EQ(Decode("\xED\xA0\x80"), u"!");     // encoded surrogates
    EXPECT_EQ(Decode("\xED\xBF\xBF"), u"!");
    EXPECT_EQ(Decode("\xF4\x90\x80\x80"), u"!"); // above U+10FFFF
    EXPECT_EQ(Decode("\xF5\x80\x80\x80"), u"!");
    EXPECT_EQ(Decode("\xFF"), u"!");
    EXPECT_EQ(Decode("\xE5\xAE"), u"!");         // truncated at the end
    EXPECT_EQ(Decode("\xE5\x41\x8B"), u"!");     // ASCII inside a sequence
    EXPECT_EQ(Decode("\xF0\x9F\x98"), u"!");
}

TEST(Utf8Decode, StopsAtTheGivenLength)
{
    // The bytes after the given length would complete the character.
    const char text[] = "\xE5\xAE\x8B";
    char16_t out[4];
    EXPECT_EQ(DecodeUtf8Text(text, 2, out, 4), 0u);
    EXPECT_EQ(DecodeUtf8Text(text, 3, out, 4), 2u);
}

TEST(Utf8Decode, ResultMustFitWithTerminator)
{
    EXPECT_EQ(Decode("ab", 3), u"ab");
    EXPECT_EQ(Decode("ab", 2), u"!");
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80", 3), u"\xD83D\xDE00");
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80", 2), u"!");
}
