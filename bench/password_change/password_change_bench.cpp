// Times a password change on a container in the temporary folder and one
// bare PBKDF2 derivation with the volume's PRF in the same run, and prints
//   password_change_ms <total>
//   password_change_per_header_vs_kdf <time per header write / one derivation>
// the second as its last line (goal: at most 1.5).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Mount/app_state.h"
#include "Mount/msgbox.h"
#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/random_pool.h"
#include "volume/password_change.h"
#include "volume/volume_header.h"

namespace {

const uint64_t kArea = 131072, kData = 1 << 20;
const int32_t kPrf = 1;

QdskPassword Password(const char *text)
{
    QdskPassword p = {};
    p.ByteCount = uint32_t(strlen(text));
    memcpy(p.Bytes, text, p.ByteCount);
    return p;
}

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

bool MakeContainer(const char *path, const QdskPassword &password)
{
    uint8_t header[VOLUME_HEADER_SIZE], backup[VOLUME_HEADER_SIZE];
    QdskCryptoContext *key = nullptr;
    bool ok = BuildVolumeHeader(false, header, 1, MODE_XTS, &password, kPrf, nullptr, &key, kData, 0, kArea, kData,
                                0x0600, 0, false) == VOLUME_OK &&
              BuildVolumeHeader(false, backup, 1, MODE_XTS, &password, kPrf, key->masterKey, nullptr, kData, 0,
                                kArea, kData, 0x0600, 0, false) == VOLUME_OK;
    ReleaseCryptoContext(key);
    HANDLE f = ok ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr) : INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    LARGE_INTEGER at;
    ok = WriteFile(f, header, sizeof header, &n, nullptr) != 0;
    at.QuadPart = LONGLONG(kArea + kData);
    ok = ok && SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && WriteFile(f, backup, sizeof backup, &n, nullptr);
    at.QuadPart = LONGLONG(2 * kArea + kData);
    ok = ok && SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    return ok;
}

}  // namespace

int main()
{
    if (!InitCrypto() || !OpenRandomPool()) {
        fprintf(stderr, "cannot set up the crypto library\n");
        return 1;
    }
    char temp[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    wsprintfA(path, "%svg-change-bench-%lu.dat", temp, GetCurrentProcessId());
    QdskPassword oldPw = Password("bench-old-password"), newPw = Password("bench-new-password");
    if (!MakeContainer(path, oldPw)) {
        fprintf(stderr, "cannot make the container\n");
        return 1;
    }
    // One header build alone (salt drawn without a deep poll), to tell the
    // build from the write and flush.
    uint8_t header[VOLUME_HEADER_SIZE];
    QdskCryptoContext *opened = nullptr;
    uint8_t first[VOLUME_HEADER_SIZE] = {};
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    ReadFile(f, first, sizeof first, &got, nullptr);
    CloseHandle(f);
    OpenVolumeHeader(false, first, &oldPw, &opened, nullptr);
    double buildStart = Now();
    for (int i = 0; opened && i < 10; ++i)
        BuildVolumeHeader(false, header, opened->algorithm, opened->modeId, &newPw, opened->kdfPrf,
                          opened->masterKey, nullptr, opened->dataSize, 0, opened->areaStart, opened->areaLength,
                          opened->minProgramVersion, opened->flags, true);
    double buildMs = (Now() - buildStart) / 10;
    uint8_t drawn[64];
    double drawStart = Now();
    for (int i = 0; i < 10; ++i)
        GetRandomBytes(drawn, sizeof drawn, false);
    double drawMs = (Now() - drawStart) / 10;
    ReleaseCryptoContext(opened);
    CloseRandomPool();
    SilentMode = TRUE;

    // The bare derivation, as the header code runs it for this PRF.
    uint8_t salt[64], key[512];
    memset(salt, 0x5C, sizeof salt);
    const int rounds = 10;
    double start = Now();
    for (int i = 0; i < rounds; ++i)
        DeriveKeyPbkdf2(kPrf, newPw.Bytes, newPw.ByteCount, salt, sizeof salt,
                        uint32_t(PrfIterations(kPrf, false)), key, HeaderKeyLength());
    double kdfMs = (Now() - start) / rounds;

    start = Now();
    int result = ChangeVolumePassword(path, &oldPw, &newPw, 0, nullptr);
    double changeMs = Now() - start;
    DeleteFileA(path);
    if (result != 0) {
        fprintf(stderr, "the password change failed with %d\n", result);
        return 1;
    }
    const int headers = 2 * PASSWORD_CHANGE_PASSES;
    printf("kdf_ms %.3f\n", kdfMs);
    printf("header_build_ms %.3f\n", buildMs);
    printf("salt_draw_ms %.3f\n", drawMs);
    printf("password_change_ms %.1f\n", changeMs);
    printf("password_change_per_header_vs_kdf %.3f\n", changeMs / headers / kdfMs);
    return 0;
}
