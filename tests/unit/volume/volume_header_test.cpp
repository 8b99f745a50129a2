// Building and opening volume headers: round trips over every algorithm,
// mode and PRF, the acceptance checks, the field layout and the version
// rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "crypto/crc32.h"
#include "crypto/kdf.h"
#include "crypto/modes.h"
#include "crypto/random_pool.h"
#include "volume/volume_header.h"

namespace {

QdskPassword Password(const std::string &text)
{
    QdskPassword p = {};
    p.ByteCount = uint32_t(text.size());
    memcpy(p.Bytes, text.data(), text.size());
    return p;
}

std::vector<uint8_t> KeyArea(uint8_t seed)
{
    std::vector<uint8_t> area(MASTER_KEY_AREA_SIZE);
    for (size_t i = 0; i < area.size(); i++)
        area[i] = uint8_t(seed * 17 + i * 29 + (i >> 4));
    return area;
}

uint64_t Be64(const uint8_t *p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; i++)
        v = (v << 8) | p[i];
    return v;
}

uint32_t Be32(const uint8_t *p) { return uint32_t(Be64(p) >> 32); }
uint16_t Be16(const uint8_t *p) { return uint16_t((p[0] << 8) | p[1]); }

void PutBe(uint8_t *p, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        p[i] = uint8_t(v >> (8 * (bytes - 1 - i)));
}

struct ContextHolder {
    QdskCryptoContext *c = nullptr;
    ~ContextHolder() { ReleaseCryptoContext(c); }
};

class VolumeHeader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenRandomPool()); }
    static void TearDownTestSuite() { CloseRandomPool(); }

    // Builds an XTS/AES header with the given fields and returns it.
    static std::vector<uint8_t> Build(const std::string &password, int32_t alg = 1, int32_t mode = MODE_XTS,
                                      int32_t prf = PRF_HMAC_SHA512, uint16_t minProgram = 0,
                                      uint64_t hidden = 0, bool systemDrive = false)
    {
        std::vector<uint8_t> header(VOLUME_HEADER_SIZE);
        auto pw = Password(password);
        auto area = KeyArea(3);
        int status = BuildVolumeHeader(systemDrive, header.data(), alg, mode, &pw, prf,
                                       mode == MODE_XTS ? nullptr : area.data(), nullptr, 1000000, hidden,
                                       131072, 1000000, minProgram, 0, true);
        EXPECT_EQ(status, VOLUME_OK);
        return header;
    }

    // Opens with a header context: the decrypted header and the header key.
    static std::vector<uint8_t> Decrypt(const std::vector<uint8_t> &header, const std::string &password,
                                        QdskCryptoContext *headerContext)
    {
        auto pw = Password(password);
        EXPECT_EQ(OpenVolumeHeader(false, header.data(), &pw, nullptr, headerContext), VOLUME_OK);
        auto plain = header;
        EXPECT_TRUE(DecryptVolumeBuffer(plain.data() + 64, 448, headerContext));
        return plain;
    }
};

// ---- Round trips ------------------------------------------------------------

class HeaderRoundTrip : public VolumeHeader, public ::testing::WithParamInterface<std::tuple<int32_t, int32_t>> {};

TEST_P(HeaderRoundTrip, EveryAlgorithmOpensWithItsModeAndPrf)
{
    auto [prf, mode] = GetParam();
    auto pw = Password("correct horse");
    int algorithms = 0;
    for (int32_t alg = FirstAlgorithm(); alg != 0; alg = NextAlgorithm(alg)) {
        if (!IsModeAllowed(alg, mode))
            continue;
        SCOPED_TRACE(AlgorithmName(alg));
        algorithms++;
        std::vector<uint8_t> header(VOLUME_HEADER_SIZE);
        auto area = KeyArea(uint8_t(alg));
        // XTS generates its master key; the legacy modes keep a given one.
        const uint8_t *given = mode == MODE_XTS ? nullptr : area.data();
        ContextHolder built, opened;
        ASSERT_EQ(BuildVolumeHeader(false, header.data(), alg, mode, &pw, prf, given, &built.c, 5000000, 0,
                                    131072, 5000000, 0, 0x20, true),
                  VOLUME_OK);
        ASSERT_EQ(OpenVolumeHeader(false, header.data(), &pw, &opened.c, nullptr), VOLUME_OK);

        QdskCryptoContext *c = opened.c;
        EXPECT_EQ(c->algorithm, alg);
        EXPECT_EQ(c->modeId, mode);
        EXPECT_EQ(c->kdfPrf, prf);
        EXPECT_EQ(c->kdfIterations, PrfIterations(prf, false));
        EXPECT_EQ(c->dataSize, 5000000u);
        EXPECT_EQ(c->areaStart, 131072u);
        EXPECT_EQ(c->areaLength, 5000000u);
        EXPECT_EQ(c->flags, 0x20u);
        EXPECT_EQ(c->headerVersion, mode == MODE_XTS ? 4 : 2);
        EXPECT_EQ(0, memcmp(c->headerSalt, header.data(), 64));
        EXPECT_EQ(0, memcmp(c->masterKey, built.c->masterKey, MASTER_KEY_AREA_SIZE));
        if (given) {
            EXPECT_EQ(0, memcmp(c->masterKey, area.data(), MASTER_KEY_AREA_SIZE));
        } else {
            size_t used = 2 * AlgorithmKeySize(alg);
            EXPECT_EQ(std::vector<uint8_t>(c->masterKey + used, c->masterKey + 256),
                      std::vector<uint8_t>(256 - used, 0));
        }

        // Both contexts hold the master key schedules, not the header key's.
        std::vector<uint8_t> a(448, 0x5a), b(448, 0x5a);
        ASSERT_TRUE(EncryptVolumeBuffer(a.data(), a.size(), built.c));
        ASSERT_TRUE(EncryptVolumeBuffer(b.data(), b.size(), opened.c));
        EXPECT_EQ(a, b);
        auto encrypted = std::vector<uint8_t>(header.begin() + 64, header.end());
        EXPECT_NE(a, encrypted);
    }
    EXPECT_GT(algorithms, 0);
}

std::string RoundTripName(const ::testing::TestParamInfo<std::tuple<int32_t, int32_t>> &info)
{
    std::string mode = ModeName(std::get<1>(info.param));
    mode.erase(std::remove(mode.begin(), mode.end(), '-'), mode.end());
    return "Prf" + std::to_string(std::get<0>(info.param)) + "_" + mode;
}

INSTANTIATE_TEST_SUITE_P(AllPrfsAndModes, HeaderRoundTrip,
                         ::testing::Combine(::testing::Range(FIRST_PRF, LAST_PRF + 1),
                                            ::testing::Range(FIRST_MODE, LAST_MODE + 1)),
                         RoundTripName);

// ---- Acceptance checks -------------------------------------------------------

TEST_F(VolumeHeader, WrongPasswordAndDamagedKeyAreaGive3)
{
    auto header = Build("secret", 5, MODE_XTS, PRF_HMAC_SHA1);
    auto wrong = Password("Secret");
    auto right = Password("secret");
    ContextHolder ctx;
    ctx.c = reinterpret_cast<QdskCryptoContext *>(1);  // must be cleared on failure
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &wrong, &ctx.c, nullptr), VOLUME_WRONG_PASSWORD);
    EXPECT_EQ(ctx.c, nullptr);

    for (size_t offset : {300u, 511u, 100u, 251u, 10u}) {
        SCOPED_TRACE(offset);
        auto damaged = header;
        damaged[offset] ^= 0x01;
        EXPECT_EQ(OpenVolumeHeader(false, damaged.data(), &right, &ctx.c, nullptr), VOLUME_WRONG_PASSWORD);
        EXPECT_EQ(ctx.c, nullptr);
    }
    ASSERT_EQ(OpenVolumeHeader(false, header.data(), &right, &ctx.c, nullptr), VOLUME_OK);

    std::vector<uint8_t> zeros(VOLUME_HEADER_SIZE, 0);  // a failed read, zero-filled
    ContextHolder none;
    EXPECT_EQ(OpenVolumeHeader(false, zeros.data(), &right, &none.c, nullptr), VOLUME_WRONG_PASSWORD);
}

TEST_F(VolumeHeader, HeaderCrcIsCheckedOnlyFromVersion4)
{
    auto header = Build("pw", 2, MODE_XTS, PRF_HMAC_SHA512);
    for (uint16_t version : {3, 4, 5}) {
        SCOPED_TRACE(version);
        ContextHolder headerKey;
        headerKey.c = AllocateCryptoContext();
        auto plain = Decrypt(header, "pw", headerKey.c);
        PutBe(plain.data() + 68, version, 2);
        plain[252] ^= 0xFF;  // the CRC at 252 no longer matches
        ASSERT_TRUE(EncryptVolumeBuffer(plain.data() + 64, 448, headerKey.c));

        auto pw = Password("pw");
        ContextHolder opened;
        int status = OpenVolumeHeader(false, plain.data(), &pw, &opened.c, nullptr);
        if (version < 4) {
            ASSERT_EQ(status, VOLUME_OK);
            EXPECT_EQ(opened.c->headerVersion, version);
        } else {
            EXPECT_EQ(status, VOLUME_WRONG_PASSWORD);
        }
    }
}

TEST_F(VolumeHeader, FieldLayoutIsBigEndianWithZeroReservedAreas)
{
    auto pw = Password("layout");
    std::vector<uint8_t> header(VOLUME_HEADER_SIZE);
    auto area = KeyArea(9);
    ASSERT_EQ(BuildVolumeHeader(false, header.data(), 3, MODE_CBC, &pw, PRF_HMAC_SHA512, area.data(), nullptr,
                                0x0102030405060708ull, 0x1112131415161718ull, 0x2122232425262728ull,
                                0x3132333435363738ull, 0, 0xA1B2C3D4u, true),
              VOLUME_OK);
    ContextHolder headerKey;
    headerKey.c = AllocateCryptoContext();
    auto plain = Decrypt(header, "layout", headerKey.c);
    const uint8_t *h = plain.data();

    EXPECT_EQ(std::string(reinterpret_cast<const char *>(h + 64), 4), "QDSK");
    EXPECT_EQ(Be16(h + 68), 2);
    EXPECT_EQ(Be16(h + 70), 0x0300);  // CBC with a hidden volume
    EXPECT_EQ(Be32(h + 72), Crc32(h + 256, 256));
    EXPECT_EQ(Be64(h + 92), 0x1112131415161718ull);
    EXPECT_EQ(Be64(h + 100), 0x0102030405060708ull);
    EXPECT_EQ(Be64(h + 108), 0x2122232425262728ull);
    EXPECT_EQ(Be64(h + 116), 0x3132333435363738ull);
    EXPECT_EQ(Be32(h + 124), 0xA1B2C3D4u);
    EXPECT_EQ(Be32(h + 252), Crc32(h + 64, 188));
    EXPECT_EQ(std::vector<uint8_t>(h + 76, h + 92), std::vector<uint8_t>(16, 0));
    EXPECT_EQ(std::vector<uint8_t>(h + 128, h + 252), std::vector<uint8_t>(124, 0));
    EXPECT_EQ(std::vector<uint8_t>(h + 256, h + 512), area);
    EXPECT_EQ(headerKey.c->kdfPrf, PRF_HMAC_SHA512);
    EXPECT_EQ(headerKey.c->hiddenFlag, 1u);
    EXPECT_EQ(headerKey.c->reservedA, 0u);
}

TEST_F(VolumeHeader, MinProgramVersionAndOldFormatFollowTheMode)
{
    struct Case {
        int32_t alg, mode;
        uint16_t given;
        uint64_t hidden;
        uint16_t expected;
        uint32_t oldFormat;
    } cases[] = {
        {1, MODE_XTS, 0, 0, 0x0600, 0},      {1, MODE_XTS, 0x0700, 0, 0x0700, 0},
        {1, MODE_LRW, 0x0700, 0, 0x0410, 1}, {10, MODE_CBC, 0, 0, 0x0100, 1},
        {10, MODE_CBC, 0, 4096, 0x0300, 1},  {4, MODE_OUTER_CBC, 0, 0, 0x0300, 1},
        {12, MODE_INNER_CBC, 0, 0, 0x0300, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(AlgorithmName(c.alg)) + " " + ModeName(c.mode));
        auto header = Build("v", c.alg, c.mode, PRF_HMAC_SHA512, c.given, c.hidden);
        auto pw = Password("v");
        ContextHolder opened;
        ASSERT_EQ(OpenVolumeHeader(false, header.data(), &pw, &opened.c, nullptr), VOLUME_OK);
        EXPECT_EQ(opened.c->minProgramVersion, c.expected);
        EXPECT_EQ(opened.c->oldFormat, c.oldFormat);
        EXPECT_EQ(opened.c->hiddenSize, c.hidden);
        EXPECT_EQ(opened.c->hiddenFlag, c.hidden ? 1u : 0u);
    }
}

TEST_F(VolumeHeader, PasswordLengthsUpToSixtyFourBytes)
{
    std::string longest(64, 'x');
    for (size_t i = 0; i < longest.size(); i++)
        longest[i] = char(0x21 + i);
    auto header = Build(longest);
    auto pw = Password(longest);
    ContextHolder opened;
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &pw, &opened.c, nullptr), VOLUME_OK);

    // Only the counted bytes are the password.
    auto shorter = Password(longest.substr(0, 63));
    ContextHolder none;
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &shorter, &none.c, nullptr), VOLUME_WRONG_PASSWORD);

    QdskPassword tooLong = {};
    tooLong.ByteCount = 65;
    std::vector<uint8_t> out(VOLUME_HEADER_SIZE, 0xEE);
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &tooLong, &none.c, nullptr), VOLUME_PARAMETER_INCORRECT);
    EXPECT_EQ(BuildVolumeHeader(false, out.data(), 1, MODE_XTS, &tooLong, 1, nullptr, nullptr, 0, 0, 0, 0, 0, 0,
                                true),
              VOLUME_PARAMETER_INCORRECT);
}

TEST_F(VolumeHeader, SystemDriveCountOnlyOpensWithTheSystemDriveFlag)
{
    auto header = Build("sys", 1, MODE_XTS, PRF_HMAC_RIPEMD160, 0, 0, true);
    auto pw = Password("sys");
    ContextHolder opened, none;
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &pw, &none.c, nullptr), VOLUME_WRONG_PASSWORD);
    ASSERT_EQ(OpenVolumeHeader(true, header.data(), &pw, &opened.c, nullptr), VOLUME_OK);
    EXPECT_EQ(opened.c->kdfIterations, 1118);
}

TEST_F(VolumeHeader, BuildFailuresLeaveNothingBehind)
{
    auto pw = Password("x");
    std::vector<uint8_t> header(VOLUME_HEADER_SIZE, 0xEE);
    QdskCryptoContext *ctx = reinterpret_cast<QdskCryptoContext *>(1);
    const std::vector<uint8_t> zeros(VOLUME_HEADER_SIZE, 0);

    // A legacy mode needs a master key.
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_LRW, &pw, 1, nullptr, &ctx, 0, 0, 0, 0, 0, 0, true),
              VOLUME_BAD_FORMAT);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(header, zeros);

    // Mode not allowed, unknown PRF, a password record too long: the
    // buffer is cleared on these early refusals too.
    header.assign(VOLUME_HEADER_SIZE, 0xEE);
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 9, MODE_XTS, &pw, 1, nullptr, &ctx, 0, 0, 0, 0, 0, 0, true),
              VOLUME_PARAMETER_INCORRECT);
    EXPECT_EQ(header, zeros);
    header.assign(VOLUME_HEADER_SIZE, 0xEE);
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &pw, 5, nullptr, &ctx, 0, 0, 0, 0, 0, 0, true),
              VOLUME_PARAMETER_INCORRECT);
    EXPECT_EQ(header, zeros);
    QdskPassword tooLong = {};
    tooLong.ByteCount = 65;
    header.assign(VOLUME_HEADER_SIZE, 0xEE);
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &tooLong, 1, nullptr, &ctx, 0, 0, 0, 0, 0, 0,
                                true),
              VOLUME_PARAMETER_INCORRECT);
    EXPECT_EQ(header, zeros);

    // No random pool: 18, and no header.
    CloseRandomPool();
    header.assign(VOLUME_HEADER_SIZE, 0xEE);
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &pw, 1, nullptr, &ctx, 0, 0, 0, 0, 0, 0, true),
              VOLUME_WEAK_KEY);
    EXPECT_EQ(header, zeros);
    EXPECT_EQ(ctx, nullptr);
    ASSERT_TRUE(OpenRandomPool());
}

int g_deepPolls;
void HeaderQuickPoll() { RandomAddInt(uint32_t(g_deepPolls * 7919 + 1)); }
bool HeaderDeepPoll()
{
    g_deepPolls++;
    RandomAddBuffer("deep poll", 9);
    return true;
}
void HeaderReport(const char *) {}
const RandomPollers HeaderPollers = {HeaderQuickPoll, HeaderDeepPoll, HeaderReport};

TEST_F(VolumeHeader, NewKeysAndNonWipeSaltsAskForADeepPoll)
{
    SetRandomPollers(&HeaderPollers);
    uint8_t warm[16];
    ASSERT_TRUE(GetRandomBytes(warm, sizeof warm, false));  // the pool's first deep poll is behind us
    auto pw = Password("p");
    auto area = KeyArea(5);
    std::vector<uint8_t> header(VOLUME_HEADER_SIZE);

    // A generated master key: one deep poll (the salt of a wipe pass does
    // without).
    g_deepPolls = 0;
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &pw, 1, nullptr, nullptr, 0, 0, 0, 0, 0, 0, true),
              VOLUME_OK);
    EXPECT_EQ(g_deepPolls, 1);
    // A kept master key and a salt that is not for a wipe pass: one.
    g_deepPolls = 0;
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &pw, 1, area.data(), nullptr, 0, 0, 0, 0, 0, 0,
                                false),
              VOLUME_OK);
    EXPECT_EQ(g_deepPolls, 1);
    // A kept key in a wipe pass: none.
    g_deepPolls = 0;
    EXPECT_EQ(BuildVolumeHeader(false, header.data(), 1, MODE_XTS, &pw, 1, area.data(), nullptr, 0, 0, 0, 0, 0, 0,
                                true),
              VOLUME_OK);
    EXPECT_EQ(g_deepPolls, 0);
    SetRandomPollers(nullptr);
}

TEST_F(VolumeHeader, TripleDesMasterKeyThatTripsTheWeakKeyRuleStillOpens)
{
    auto area = KeyArea(1);
    memcpy(area.data() + 32 + 16, area.data() + 32, 8);  // third DES key = first
    auto pw = Password("des");
    std::vector<uint8_t> header(VOLUME_HEADER_SIZE);
    ContextHolder built, opened;
    ASSERT_EQ(BuildVolumeHeader(false, header.data(), 11, MODE_LRW, &pw, PRF_HMAC_SHA512, area.data(), &built.c, 0,
                                0, 0, 0, 0, 0, true),
              VOLUME_OK);
    ASSERT_EQ(OpenVolumeHeader(false, header.data(), &pw, &opened.c, nullptr), VOLUME_OK);
    EXPECT_EQ(opened.c->algorithm, 11);
}

TEST_F(VolumeHeader, EachBuildDrawsAFreshSalt)
{
    auto a = Build("same"), b = Build("same");
    EXPECT_NE(std::vector<uint8_t>(a.begin(), a.begin() + 64), std::vector<uint8_t>(b.begin(), b.begin() + 64));
    EXPECT_NE(a, b);
}

}  // namespace
