#include "update/update_manifest.h"

#include <cstdio>
#include <cstring>

#include <gcrypt.h>

#include "crypto/crypto_init.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Cursor over the manifest text: every step checks against the end.
struct Reader {
    const char *at;
    const char *end;

    bool Literal(const char *word)
    {
        size_t n = strlen(word);
        if (static_cast<size_t>(end - at) < n || memcmp(at, word, n) != 0)
            return false;
        at += n;
        return true;
    }
    // Lower-case hex only: the form has exactly one spelling.
    bool Hex(uint8_t *out, size_t n)
    {
        if (static_cast<size_t>(end - at) < 2 * n)
            return false;
        for (size_t i = 0; i < 2 * n; ++i)
            if (HexValue(at[i]) < 0 || (at[i] >= 'A' && at[i] <= 'F'))
                return false;
        ParseHexBytes(at, 2 * n, out, n);
        at += 2 * n;
        return true;
    }
    bool Serial(uint64_t *value)
    {
        size_t digits = 0;
        uint64_t v = 0;
        while (at < end && *at >= '0' && *at <= '9' && digits < 19) {
            v = v * 10 + static_cast<uint64_t>(*at - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 18 || (digits > 1 && at[-static_cast<ptrdiff_t>(digits)] == '0') || v == 0)
            return false;
        *value = v;
        return true;
    }
    bool Version(char *out)
    {
        size_t n = 0;
        while (at < end && n < UPDATE_MANIFEST_VERSION_CHARS + 1) {
            char c = *at;
            bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                      c == '-' || c == '_';
            if (!ok)
                break;
            out[n++] = c;
            ++at;
        }
        if (n == 0 || n > UPDATE_MANIFEST_VERSION_CHARS)
            return false;
        out[n] = 0;
        return true;
    }
};

// (public-key (ecc (curve Ed25519) (flags eddsa) (q <32 bytes>)))
gcry_sexp_t PublicKeySexp(const uint8_t publicKey[ED25519_KEY_BYTES])
{
    gcry_sexp_t key = nullptr;
    if (gcry_sexp_build(&key, nullptr, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
                        static_cast<int>(ED25519_KEY_BYTES), publicKey) != 0)
        return nullptr;
    return key;
}

gcry_sexp_t SecretKeySexp(const uint8_t secretKey[ED25519_KEY_BYTES])
{
    gcry_sexp_t key = nullptr;
    if (gcry_sexp_build(&key, nullptr, "(private-key (ecc (curve Ed25519) (flags eddsa) (d %b)))",
                        static_cast<int>(ED25519_KEY_BYTES), secretKey) != 0)
        return nullptr;
    return key;
}

gcry_sexp_t DataSexp(const char *text, size_t len)
{
    gcry_sexp_t data = nullptr;
    if (gcry_sexp_build(&data, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                        static_cast<int>(len), text) != 0)
        return nullptr;
    return data;
}

// Copies the named token's value (exactly n bytes) out of an S-expression.
bool TokenBytes(gcry_sexp_t sexp, const char *name, uint8_t *out, size_t n)
{
    gcry_sexp_t part = gcry_sexp_find_token(sexp, name, 0);
    if (!part)
        return false;
    size_t got = 0;
    const char *bytes = gcry_sexp_nth_data(part, 1, &got);
    bool ok = bytes && got == n;
    if (ok)
        memcpy(out, bytes, n);
    gcry_sexp_release(part);
    return ok;
}

} // namespace

bool ParseHexBytes(const char *hex, size_t digits, uint8_t *out, size_t n)
{
    if (!hex || digits != 2 * n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}

void FormatHexBytes(const uint8_t *bytes, size_t n, char *out)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    out[2 * n] = 0;
}

bool ParseUpdateManifest(const char *text, size_t len, UpdateManifest *out)
{
    *out = UpdateManifest();
    if (!text || len > UPDATE_MANIFEST_MAX_BYTES)
        return false;
    UpdateManifest m;
    Reader r = {text, text + len};
    bool ok = r.Literal("veilguard-manifest 1\n") && r.Literal("serial ") && r.Serial(&m.serial) &&
              r.Literal("\n") && r.Literal("version ") && r.Version(m.version) && r.Literal("\n") &&
              r.Literal("mani ") && r.Hex(m.maniDigest, SHA512_BYTES) && r.Literal("\n") &&
              r.Literal("update ") && r.Hex(m.updateDigest, SHA512_BYTES) && r.Literal("\n");
    if (!ok)
        return false;
    m.signedBytes = static_cast<size_t>(r.at - text);
    if (!(r.Literal("signature ") && r.Hex(m.signature, ED25519_SIGNATURE_BYTES) && r.Literal("\n")) ||
        r.at != r.end)
        return false;
    *out = m;
    return true;
}

bool VerifyUpdateManifest(const char *text, const UpdateManifest &manifest,
                          const uint8_t publicKey[ED25519_KEY_BYTES])
{
    if (!text || !publicKey || manifest.signedBytes == 0 || !InitCrypto())
        return false;
    gcry_sexp_t key = PublicKeySexp(publicKey);
    gcry_sexp_t data = DataSexp(text, manifest.signedBytes);
    gcry_sexp_t sig = nullptr;
    gcry_sexp_build(&sig, nullptr, "(sig-val (eddsa (r %b) (s %b)))", 32, manifest.signature, 32,
                    manifest.signature + 32);
    bool ok = key && data && sig && gcry_pk_verify(sig, data, key) == 0;
    gcry_sexp_release(sig);
    gcry_sexp_release(data);
    gcry_sexp_release(key);
    return ok;
}

bool MakeUpdateKeyPair(uint8_t secretKey[ED25519_KEY_BYTES], uint8_t publicKey[ED25519_KEY_BYTES])
{
    if (!InitCrypto())
        return false;
    gcry_sexp_t params = nullptr, pair = nullptr;
    bool ok = gcry_sexp_build(&params, nullptr, "(genkey (ecc (curve Ed25519) (flags eddsa)))") == 0 &&
              gcry_pk_genkey(&pair, params) == 0 && TokenBytes(pair, "d", secretKey, ED25519_KEY_BYTES) &&
              TokenBytes(pair, "q", publicKey, ED25519_KEY_BYTES);
    gcry_sexp_release(pair);
    gcry_sexp_release(params);
    return ok;
}

size_t FormatUnsignedManifest(uint64_t serial, const char *version, const uint8_t maniDigest[SHA512_BYTES],
                              const uint8_t updateDigest[SHA512_BYTES], char *out, size_t outSize)
{
    char mani[2 * SHA512_BYTES + 1], update[2 * SHA512_BYTES + 1];
    FormatHexBytes(maniDigest, SHA512_BYTES, mani);
    FormatHexBytes(updateDigest, SHA512_BYTES, update);
    int n = snprintf(out, outSize, "veilguard-manifest 1\nserial %llu\nversion %s\nmani %s\nupdate %s\n",
                     static_cast<unsigned long long>(serial), version ? version : "", mani, update);
    if (n <= 0 || static_cast<size_t>(n) >= outSize)
        return 0;
    // Only what the reader takes back is written.
    char probe[UPDATE_MANIFEST_MAX_BYTES + 1];
    size_t len = static_cast<size_t>(n);
    char zeros[2 * ED25519_SIGNATURE_BYTES + 1];
    memset(zeros, '0', 2 * ED25519_SIGNATURE_BYTES);
    zeros[2 * ED25519_SIGNATURE_BYTES] = 0;
    int m = snprintf(probe, sizeof probe, "%.*ssignature %s\n", n, out, zeros);
    UpdateManifest parsed;
    if (m <= 0 || static_cast<size_t>(m) >= sizeof probe || !ParseUpdateManifest(probe, static_cast<size_t>(m), &parsed))
        return 0;
    return len;
}

size_t SignUpdateManifest(const uint8_t secretKey[ED25519_KEY_BYTES], char *text, size_t len, size_t outSize)
{
    if (!InitCrypto())
        return 0;
    gcry_sexp_t key = SecretKeySexp(secretKey);
    gcry_sexp_t data = DataSexp(text, len);
    gcry_sexp_t sig = nullptr;
    uint8_t signature[ED25519_SIGNATURE_BYTES];
    bool ok = key && data && gcry_pk_sign(&sig, data, key) == 0 && TokenBytes(sig, "r", signature, 32) &&
              TokenBytes(sig, "s", signature + 32, 32);
    gcry_sexp_release(sig);
    gcry_sexp_release(data);
    gcry_sexp_release(key);
    if (!ok)
        return 0;
    char hex[2 * ED25519_SIGNATURE_BYTES + 1];
    FormatHexBytes(signature, ED25519_SIGNATURE_BYTES, hex);
    int n = snprintf(text + len, outSize - len, "signature %s\n", hex);
    if (n <= 0 || static_cast<size_t>(n) >= outSize - len)
        return 0;
    return len + static_cast<size_t>(n);
}
