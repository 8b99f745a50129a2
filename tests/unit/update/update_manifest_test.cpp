// The signed update manifest: the one form it may take, and a signature
// that holds for exactly the signed bytes and the signing key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "update/update_manifest.h"

namespace {

std::string Signed(const uint8_t secret[32], uint64_t serial, const char *version)
{
    uint8_t mani[SHA512_BYTES], update[SHA512_BYTES];
    for (size_t i = 0; i < SHA512_BYTES; ++i) {
        mani[i] = uint8_t(i);
        update[i] = uint8_t(255 - i);
    }
    char text[UPDATE_MANIFEST_MAX_BYTES + 1];
    size_t len = FormatUnsignedManifest(serial, version, mani, update, text, sizeof text);
    if (!len)
        return "";
    len = SignUpdateManifest(secret, text, len, sizeof text);
    return std::string(text, len);
}

bool Accepts(const std::string &text, const uint8_t pub[32])
{
    UpdateManifest m;
    return ParseUpdateManifest(text.data(), text.size(), &m) && VerifyUpdateManifest(text.data(), m, pub);
}

} // namespace

TEST(UpdateManifest, SignedByItsKeyOnlyAndInItsOneForm)
{
    // The key pairs of RFC 8032's first two Ed25519 test vectors: a
    // signature made from the secret verifies under the published public
    // key only if the secret is used as the standard says. (Fixed keys:
    // making fresh ones starts libgcrypt's random generator, whose pool
    // LeakSanitizer reports; the integration test makes fresh ones.)
    uint8_t secret[32], pub[32], otherPub[32];
    ASSERT_TRUE(ParseHexBytes("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60", 64, secret, 32));
    ASSERT_TRUE(ParseHexBytes("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", 64, pub, 32));
    ASSERT_TRUE(ParseHexBytes("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", 64, otherPub, 32));

    std::string text = Signed(secret, 42, "2.03");
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest(text.data(), text.size(), &m)) << text;
    EXPECT_EQ(m.serial, 42u);
    EXPECT_STREQ(m.version, "2.03");
    EXPECT_EQ(m.maniDigest[1], 1);
    EXPECT_EQ(m.updateDigest[1], 254);
    EXPECT_EQ(text.compare(m.signedBytes, 10, "signature "), 0);
    EXPECT_TRUE(VerifyUpdateManifest(text.data(), m, pub));
    EXPECT_FALSE(VerifyUpdateManifest(text.data(), m, otherPub));

    // Any changed byte of the signed part or of the signature fails; case
    // and blanks count (one spelling only).
    for (size_t at : {size_t(0), size_t(28), m.signedBytes - 2, m.signedBytes + 12, text.size() - 2}) {
        std::string changed = text;
        changed[at] = changed[at] == '1' ? '2' : '1';
        EXPECT_FALSE(Accepts(changed, pub)) << at;
    }
    const std::string bad[] = {text + "\n", text.substr(0, text.size() - 1), "\xEF\xBB\xBF" + text,
                               std::string(text).replace(text.find("serial 42"), 9, "serial 042"),
                               std::string(text).replace(text.find("serial 42"), 9, "serial  42"),
                               std::string(text).replace(text.find("version 2.03"), 12, "version 2 03")};
    for (const std::string &b : bad)
        EXPECT_FALSE(ParseUpdateManifest(b.data(), b.size(), &m)) << b;
    std::string upper = text;
    size_t digits = upper.find("mani ") + 5;
    upper[digits] = upper[digits] == 'a' ? 'A' : upper[digits];
    upper.replace(digits, 2, "AB");
    EXPECT_FALSE(ParseUpdateManifest(upper.data(), upper.size(), &m));

    // Fields out of form are never written, so never signed.
    EXPECT_EQ(Signed(secret, 0, "2.03"), "");
    EXPECT_EQ(Signed(secret, 7, ""), "");
    EXPECT_EQ(Signed(secret, 7, "2.03 beta"), "");
    EXPECT_EQ(Signed(secret, 7, "0123456789abcdef"), "");
    EXPECT_NE(Signed(secret, 999999999999999999ull, "0123456789abcde"), "");

    EXPECT_TRUE(ManifestSerialAcceptable(42, 42));
    EXPECT_TRUE(ManifestSerialAcceptable(43, 42));
    EXPECT_FALSE(ManifestSerialAcceptable(41, 42));
}
