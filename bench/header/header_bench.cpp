// Cost of opening a volume header with a wrong password against the bare
// key derivations it cannot avoid: every PRF's PBKDF2 run once. The trial
// decryptions of all algorithms and modes should add next to nothing, so
// the last line's ratio should stay at or below 1.15.
//
// Prints absolute times (milliseconds, medians over the rounds) and, last,
// "header_open_wrong_password_ratio <open / derivations>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/cipher_tables.h"
#include "crypto/kdf.h"
#include "crypto/random_pool.h"
#include "volume/volume_header.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double TimeMs(F f)
{
    auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

QdskPassword Password(const char *text)
{
    QdskPassword p = {};
    p.ByteCount = uint32_t(strlen(text));
    memcpy(p.Bytes, text, p.ByteCount);
    return p;
}

}  // namespace

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 15;
    if (rounds < 1)
        rounds = 1;
    if (!OpenRandomPool()) {
        fprintf(stderr, "header_bench: no random pool\n");
        return 1;
    }

    const QdskPassword right = Password("benchmark password");
    const QdskPassword wrong = Password("benchmark passw0rd");
    uint8_t header[VOLUME_HEADER_SIZE];
    uint8_t keyArea[MASTER_KEY_AREA_SIZE];
    for (size_t i = 0; i < sizeof keyArea; i++)
        keyArea[i] = uint8_t(i * 7);
    if (BuildVolumeHeader(false, header, 1, MODE_XTS, &right, PRF_HMAC_RIPEMD160, keyArea, nullptr, 1 << 20, 0,
                          131072, 1 << 20, 0, 0, true) != VOLUME_OK) {
        fprintf(stderr, "header_bench: building the header failed\n");
        return 1;
    }

    std::vector<double> derive, open, build;
    std::vector<uint8_t> derived(HeaderKeyLength());
    bool ok = true;
    for (int r = 0; r < rounds + 1; r++) {  // the first round warms up and is not counted
        double d = TimeMs([&] {
            for (int32_t prf = FIRST_PRF; prf <= LAST_PRF; prf++)
                ok = DeriveKeyPbkdf2(prf, wrong.Bytes, wrong.ByteCount, header, HEADER_SALT_SIZE,
                                     uint32_t(PrfIterations(prf, false)), derived.data(), derived.size()) && ok;
        });
        double o = TimeMs([&] {
            QdskCryptoContext *ctx = nullptr;
            ok = OpenVolumeHeader(false, header, &wrong, &ctx, nullptr) == VOLUME_WRONG_PASSWORD && ok;
        });
        double b = TimeMs([&] {
            uint8_t out[VOLUME_HEADER_SIZE];
            ok = BuildVolumeHeader(false, out, 1, MODE_XTS, &right, PRF_HMAC_RIPEMD160, keyArea, nullptr, 1 << 20,
                                   0, 131072, 1 << 20, 0, 0, true) == VOLUME_OK && ok;
        });
        if (r > 0) {
            derive.push_back(d);
            open.push_back(o);
            build.push_back(b);
        }
    }
    CloseRandomPool();
    if (!ok) {
        fprintf(stderr, "header_bench: an operation failed\n");
        return 1;
    }

    double a = Median(derive), o = Median(open), b = Median(build);
    printf("rounds %d\n", rounds);
    printf("pbkdf2_four_derivations_ms %.3f\n", a);
    printf("header_open_wrong_password_ms %.3f\n", o);
    printf("header_build_xts_aes_ripemd160_ms %.3f\n", b);
    printf("header_open_wrong_password_ratio %.3f\n", o / a);
    return 0;
}
