// updsign: the update server's signing tool.
//
//   updsign keygen SECRET-FILE
//       makes a key pair, writes the secret key (64 hexadecimal digits) to
//       SECRET-FILE (created, mode 0600, never overwritten) and prints the
//       public key for the build setting VEILGUARD_UPDATE_PUBLIC_KEY.
//   updsign sign SECRET-FILE SERIAL VERSION MANI-ZIP UPDATE-ZIP
//       prints the signed "manifest.txt" naming the SHA-512 digests of the
//       two files, the program version and the serial (which must grow with
//       every manifest published).
//   updsign verify PUBLIC-KEY MANIFEST
//       checks a manifest as the program does (form and signature; the
//       serial is the program's to judge) and prints its serial and version.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gcrypt.h>

#include "crypto/crypto_init.h"
#include "crypto/secure_memory.h"
#include "update/update_manifest.h"

namespace {

// The secret key and its text, in locked memory.
struct SecretBlock {
    uint8_t key[ED25519_KEY_BYTES];
    char hex[2 * ED25519_KEY_BYTES + 2];
};

int Usage()
{
    fprintf(stderr, "usage: updsign keygen SECRET-FILE\n"
                    "       updsign sign SECRET-FILE SERIAL VERSION MANI-ZIP UPDATE-ZIP\n"
                    "       updsign verify PUBLIC-KEY MANIFEST\n");
    return 2;
}

bool Sha512OfFile(const char *path, uint8_t out[SHA512_BYTES])
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    gcry_md_hd_t md = nullptr;
    bool ok = gcry_md_open(&md, GCRY_MD_SHA512, 0) == 0;
    unsigned char block[65536];
    size_t got;
    while (ok && (got = fread(block, 1, sizeof block, f)) > 0)
        gcry_md_write(md, block, got);
    ok = ok && !ferror(f);
    fclose(f);
    if (ok)
        memcpy(out, gcry_md_read(md, GCRY_MD_SHA512), SHA512_BYTES);
    gcry_md_close(md);
    return ok;
}

bool ReadSecret(const char *path, SecretBlock *secret)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    setvbuf(f, nullptr, _IONBF, 0);  // no copy of the key in a stdio buffer
    size_t got = fread(secret->hex, 1, sizeof secret->hex - 1, f);
    fclose(f);
    while (got > 0 && (secret->hex[got - 1] == '\n' || secret->hex[got - 1] == '\r'))
        --got;
    return ParseHexBytes(secret->hex, got, secret->key, ED25519_KEY_BYTES);
}

int KeyGen(const char *path)
{
    LockedBuffer<SecretBlock> secret;
    uint8_t pub[ED25519_KEY_BYTES];
    if (!secret || !MakeUpdateKeyPair(secret->key, pub)) {
        fprintf(stderr, "updsign: could not make a key pair\n");
        return 1;
    }
    FormatHexBytes(secret->key, ED25519_KEY_BYTES, secret->hex);
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
    bool ok = fd >= 0 && write(fd, secret->hex, 2 * ED25519_KEY_BYTES) == 2 * ED25519_KEY_BYTES &&
              write(fd, "\n", 1) == 1;
    if (fd >= 0 && close(fd) != 0)
        ok = false;
    if (!ok) {
        fprintf(stderr, "updsign: cannot write %s: %s\n", path, strerror(errno));
        if (fd >= 0)
            unlink(path);
        return 1;
    }
    char hex[2 * ED25519_KEY_BYTES + 1];
    FormatHexBytes(pub, ED25519_KEY_BYTES, hex);
    printf("%s\n", hex);
    return 0;
}

int Sign(char **argv)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long serial = strtoull(argv[3], &end, 10);
    if (errno || !end || *end || argv[3][0] < '1' || argv[3][0] > '9') {
        fprintf(stderr, "updsign: the serial must be a positive decimal number\n");
        return 2;
    }
    uint8_t mani[SHA512_BYTES], update[SHA512_BYTES];
    if (!Sha512OfFile(argv[5], mani) || !Sha512OfFile(argv[6], update)) {
        fprintf(stderr, "updsign: cannot read %s or %s\n", argv[5], argv[6]);
        return 1;
    }
    char text[UPDATE_MANIFEST_MAX_BYTES + 1];
    size_t len = FormatUnsignedManifest(serial, argv[4], mani, update, text, sizeof text);
    if (!len) {
        fprintf(stderr, "updsign: serial (1 to 18 digits) or version (1 to 15 of 0-9 A-Z a-z . - _) out of form\n");
        return 2;
    }
    LockedBuffer<SecretBlock> secret;
    if (!secret || !ReadSecret(argv[2], secret.get())) {
        fprintf(stderr, "updsign: %s holds no secret key\n", argv[2]);
        return 1;
    }
    len = SignUpdateManifest(secret->key, text, len, sizeof text);
    if (!len) {
        fprintf(stderr, "updsign: signing failed\n");
        return 1;
    }
    fwrite(text, 1, len, stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}

int Verify(const char *publicHex, const char *path)
{
    uint8_t pub[ED25519_KEY_BYTES];
    if (!ParseHexBytes(publicHex, strlen(publicHex), pub, sizeof pub)) {
        fprintf(stderr, "updsign: the public key must be 64 hexadecimal digits\n");
        return 2;
    }
    FILE *f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "updsign: cannot read %s\n", path);
        return 1;
    }
    char text[UPDATE_MANIFEST_MAX_BYTES + 2];
    size_t len = fread(text, 1, sizeof text, f);
    fclose(f);
    UpdateManifest manifest;
    if (!ParseUpdateManifest(text, len, &manifest)) {
        fprintf(stderr, "updsign: %s is not a manifest\n", path);
        return 1;
    }
    if (!VerifyUpdateManifest(text, manifest, pub)) {
        fprintf(stderr, "updsign: bad signature\n");
        return 1;
    }
    printf("ok serial=%llu version=%s\n", static_cast<unsigned long long>(manifest.serial), manifest.version);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!InitCrypto()) {
        fprintf(stderr, "updsign: the crypto library is not usable\n");
        return 1;
    }
    if (argc == 3 && strcmp(argv[1], "keygen") == 0)
        return KeyGen(argv[2]);
    if (argc == 7 && strcmp(argv[1], "sign") == 0)
        return Sign(argv);
    if (argc == 4 && strcmp(argv[1], "verify") == 0)
        return Verify(argv[2], argv[3]);
    return Usage();
}
