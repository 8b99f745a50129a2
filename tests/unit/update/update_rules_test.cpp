// The update check's checks of what the server sends, and the MD5 digest
// against the test suite of RFC 1321.
#include <gtest/gtest.h>

#include "update/md5_stream.h"
#include "update/update_rules.h"

#include <cstring>
#include <string>

// What the version files offer is checked end to end by the integration
// test against a local server; these are the parts it cannot reach.
TEST(UpdateRules, NoLocalDigestDiffersFromEveryFullOffer)
{
    EXPECT_TRUE(OffersNewDatabase("0123456789abcdef0123456789abcdef", 32, nullptr));
    EXPECT_FALSE(OffersNewDatabase("0123456789abcdef0123456789abcde", 31, nullptr));
    EXPECT_FALSE(OffersNewProgram("v2.X", "V2.x"));
}

// "update.txt" is 32 hex digits, a byte-order mark before and one line end
// after allowed, and nothing else at all.
TEST(UpdateRules, UpdateDigestIsStrict)
{
    const std::string digits = "0123456789ABCDEF0123456789abcdef";
    char out[33] = "x";
    const std::string good[] = {digits, digits + "\n", digits + "\r\n", "\xEF\xBB\xBF" + digits,
                                "\xEF\xBB\xBF" + digits + "\r\n"};
    for (const std::string &text : good) {
        EXPECT_TRUE(ParseUpdateDigest(text.data(), text.size(), out)) << text;
        EXPECT_STREQ(out, "0123456789abcdef0123456789abcdef");
    }
    const std::string bad[] = {digits.substr(0, 31), digits + "0", digits + " ", digits + "\n\n",
                               digits + "\r", " " + digits, "\xEF\xBB" + digits,
                               digits.substr(0, 31) + "g", std::string(digits.data(), 16) + '\0' + digits.substr(17),
                               digits + '\0', ""};
    for (const std::string &text : bad) {
        EXPECT_FALSE(ParseUpdateDigest(text.data(), text.size(), out)) << text;
        EXPECT_STREQ(out, "");
        EXPECT_FALSE(OffersNewDatabase(text.data(), text.size(), nullptr));
    }
    EXPECT_FALSE(OffersNewDatabase(digits.data(), 32, "0123456789abcdef0123456789ABCDEF"));
}

TEST(UpdateRules, DigestsMatchOnlyAsFull32HexDigits)
{
    EXPECT_TRUE(SameDigest("d41d8cd98f00b204e9800998ecf8427e", "D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(SameDigest("d41d8cd98f00b204e9800998ecf8427e", "d41d8cd98f00b204e9800998ecf8427f"));
    EXPECT_FALSE(SameDigest("d41d8cd98f00b204e9800998ecf8427", "d41d8cd98f00b204e9800998ecf8427"));
    EXPECT_FALSE(SameDigest("zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"));
    EXPECT_FALSE(SameDigest(nullptr, "d41d8cd98f00b204e9800998ecf8427e"));
}

TEST(UpdateRules, StatusAndContentLength)
{
    EXPECT_TRUE(IsStatusOk("200"));
    EXPECT_FALSE(IsStatusOk("404"));
    EXPECT_FALSE(IsStatusOk("20"));
    EXPECT_FALSE(IsStatusOk(""));
    EXPECT_FALSE(IsStatusOk(nullptr));

    uint64_t n = 7;
    EXPECT_TRUE(ParseContentLength("102400", &n));
    EXPECT_EQ(n, 102400u);
    EXPECT_TRUE(ParseContentLength(" 0 ", &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(ParseContentLength("18446744073709551615", &n));
    EXPECT_EQ(n, UINT64_MAX);
    n = 7;
    EXPECT_FALSE(ParseContentLength("18446744073709551616", &n));
    EXPECT_FALSE(ParseContentLength("-1", &n));
    EXPECT_FALSE(ParseContentLength("12abc", &n));
    EXPECT_FALSE(ParseContentLength("", &n));
    EXPECT_EQ(n, 7u);

    // The block follows the length, within bounds; without one it is 102400.
    EXPECT_EQ(DownloadBlockSize(false, 0), 102400u);
    EXPECT_EQ(DownloadBlockSize(true, 5000), 5000u);
    EXPECT_EQ(DownloadBlockSize(true, 0), 1u);
    EXPECT_EQ(DownloadBlockSize(true, UINT64_MAX), static_cast<size_t>(DOWNLOAD_MAX_BLOCK));
    EXPECT_EQ(DownloadBlockSize(true, DOWNLOAD_MAX_BLOCK + 1ull), static_cast<size_t>(DOWNLOAD_MAX_BLOCK));
}

TEST(UpdateRules, Md5MatchesRfc1321InAnyPieces)
{
    const struct {
        const char *text, *digest;
    } vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &v : vectors) {
        for (size_t piece : {size_t(1), size_t(7), size_t(1024)}) {
            Md5Stream md5;
            ASSERT_TRUE(md5.ok());
            size_t len = strlen(v.text);
            for (size_t at = 0; at < len; at += piece)
                md5.Update(v.text + at, len - at < piece ? len - at : piece);
            char hex[33];
            ASSERT_TRUE(md5.Finish(hex));
            EXPECT_STREQ(hex, v.digest) << "\"" << v.text << "\" in pieces of " << piece;
        }
    }
    unsigned char bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<unsigned char>(i * 17);
    char hex[33];
    DigestToHex(bytes, hex);
    EXPECT_STREQ(hex, "00112233445566778899aabbccddeeff");
}
