// Times a password change on a container in the temporary folder against its
// floor, measured in the same run: one bare PBKDF2 derivation with the
// volume's PRF and one bare flushed header write (512 bytes written at the
// header's offset of a container of the same kind, then FlushFileBuffers).
// Each pass of the change does one of each and nothing else it cannot do
// without. The change builds each pass's header on a second thread while
// the previous header is written and flushed, so its wall time can come
// close to the floor while it still spends more CPU than the floor per
// pass: the CPU it spends, and the same change with every pass built and
// written in turn, are printed beside it. Prints (medians of three changes
// each way and of the floor measured before, between and after them)
//   kdf_ms, header_build_ms and salt_draw_ms (a draw with the quick polls
//   only), deep_draw_ms (a draw with the deep poll forced),
//   flushed_write_ms,
//   kdf_cpu_ms (CPU time of one bare derivation), pass_cpu_ms (the
//   process's CPU time per pass of the change, all its threads: what a pass
//   costs whatever overlaps), pass_cpu_vs_kdf_cpu,
//   password_change_serial_ms and password_change_serial_vs_floor (every
//   pass built, then written, on one thread),
//   password_change_ms, password_change_per_header_vs_kdf and, last,
//   password_change_vs_floor = password_change_ms / (passes * (kdf_ms + flushed_write_ms))
// (goal: at most 1.2): wall time of the change as it runs, against the
// serial sum of the floor's two steps.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Mount/app_state.h"
#include "Mount/msgbox.h"
#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/random_pool.h"
#include "crypto/random_pool_win32.h"
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

// Total milliseconds of `count` bare derivations, as the header code runs
// them for this PRF.
double TimeDerivations(const QdskPassword &password, int count)
{
    uint8_t salt[64], key[512];
    memset(salt, 0x5C, sizeof salt);
    double start = Now();
    for (int i = 0; i < count; ++i)
        DeriveKeyPbkdf2(kPrf, password.Bytes, password.ByteCount, salt, sizeof salt,
                        uint32_t(PrfIterations(kPrf, false)), key, HeaderKeyLength());
    return Now() - start;
}

// Total milliseconds of `count` header-sized writes at byte 0 of the file,
// each flushed, opened the way the password change opens the container;
// negative when the file cannot be written.
double TimeFlushedWrites(const char *path, int count)
{
    HANDLE f = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return -1;
    uint8_t header[VOLUME_HEADER_SIZE];
    DWORD got = 0;
    bool ok = ReadFile(f, header, sizeof header, &got, nullptr) && got == sizeof header;
    double start = Now();
    for (int i = 0; ok && i < count; ++i) {
        LARGE_INTEGER at;
        at.QuadPart = 0;
        DWORD written = 0;
        header[i % sizeof header] ^= 1;  // each write changes the block
        ok = SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && WriteFile(f, header, sizeof header, &written, nullptr) &&
             written == sizeof header && FlushFileBuffers(f);
    }
    double total = Now() - start;
    CloseHandle(f);
    return ok ? total : -1;
}

// CPU milliseconds the process has spent so far, all threads.
double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME &t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

double Median(double *values, int count)
{
    std::sort(values, values + count);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

}  // namespace

int main()
{
    if (!InitCrypto() || !OpenRandomPool()) {
        fprintf(stderr, "cannot set up the crypto library\n");
        return 1;
    }
    char temp[MAX_PATH], path[MAX_PATH], floorPath[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    wsprintfA(path, "%svg-change-bench-%lu.dat", temp, GetCurrentProcessId());
    wsprintfA(floorPath, "%svg-change-floor-%lu.dat", temp, GetCurrentProcessId());
    QdskPassword oldPw = Password("bench-old-password"), newPw = Password("bench-new-password");
    bool made = MakeContainer(path, oldPw) && MakeContainer(floorPath, oldPw);
    CloseRandomPool();
    if (!made) {
        DeleteFileA(path);
        DeleteFileA(floorPath);
        fprintf(stderr, "cannot make the containers\n");
        return 1;
    }
    SilentMode = TRUE;

    // The header build and the salt draw alone, with the pool running as in
    // a password change (the Windows pollers, the hooks and the polling
    // thread), after the pool's first deep poll: what a wipe pass costs on
    // top of its derivation.
    uint8_t header[VOLUME_HEADER_SIZE];
    QdskCryptoContext *opened = nullptr;
    uint8_t first[VOLUME_HEADER_SIZE] = {};
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    ReadFile(f, first, sizeof first, &got, nullptr);
    CloseHandle(f);
    OpenVolumeHeader(false, first, &oldPw, &opened, nullptr);
    if (!opened || StartRandomPool() != 0) {
        ReleaseCryptoContext(opened);
        DeleteFileA(path);
        DeleteFileA(floorPath);
        fprintf(stderr, "cannot open the header or start the random pool\n");
        return 1;
    }
    SetMixHash(opened->kdfPrf);
    uint8_t drawn[64];
    GetRandomBytes(drawn, sizeof drawn, false);  // the pool's first deep poll, and the desktop Wine starts once
    double deepStart = Now();
    GetRandomBytes(drawn, sizeof drawn, true);  // as for the last header of a change
    double deepMs = Now() - deepStart;
    double buildStart = Now();
    for (int i = 0; i < 10; ++i)
        BuildVolumeHeader(false, header, opened->algorithm, opened->modeId, &newPw, opened->kdfPrf,
                          opened->masterKey, nullptr, opened->dataSize, 0, opened->areaStart, opened->areaLength,
                          opened->minProgramVersion, opened->flags, true);
    double buildMs = (Now() - buildStart) / 10;
    double drawStart = Now();
    for (int i = 0; i < 10; ++i)
        GetRandomBytes(drawn, sizeof drawn, false);
    double drawMs = (Now() - drawStart) / 10;
    StopRandomPool();
    ReleaseCryptoContext(opened);

    // Six changes (back and forth between the two passwords), building
    // ahead and serially in turn, the floor measured before, between and
    // after them; the medians are reported, so that a burst of load from
    // elsewhere on the machine skews one sample rather than the result.
    const int changes = 6, derivations = 5, writes = 25;
    double kdfSamples[changes + 1], writeSamples[changes + 1];
    double aheadSamples[changes / 2], serialSamples[changes / 2], cpuSamples[changes / 2];
    double kdfCpuMs = 0;  // summed over every sample: the process times are coarse
    int result = 0;
    for (int i = 0; i <= changes && result == 0; ++i) {
        double kdfCpuStart = ProcessCpuMs();
        kdfSamples[i] = TimeDerivations(newPw, derivations) / derivations;
        kdfCpuMs += ProcessCpuMs() - kdfCpuStart;
        writeSamples[i] = TimeFlushedWrites(floorPath, writes) / writes;
        if (writeSamples[i] < 0) {
            result = -1;
            fprintf(stderr, "cannot time the flushed writes\n");
        } else if (i < changes) {
            const bool ahead = i % 2 == 0;
            BuildHeadersAhead = ahead ? TRUE : FALSE;
            double cpuStart = ProcessCpuMs(), start = Now();
            result = ChangeVolumePassword(path, i % 2 ? &newPw : &oldPw, i % 2 ? &oldPw : &newPw, 0, nullptr);
            (ahead ? aheadSamples : serialSamples)[i / 2] = Now() - start;
            if (ahead)
                cpuSamples[i / 2] = ProcessCpuMs() - cpuStart;
            if (result != 0)
                fprintf(stderr, "the password change failed with %d\n", result);
        }
    }
    BuildHeadersAhead = TRUE;
    DeleteFileA(path);
    DeleteFileA(floorPath);
    if (result != 0)
        return 1;
    double kdfMs = Median(kdfSamples, changes + 1);
    double writeMs = Median(writeSamples, changes + 1);
    double changeMs = Median(aheadSamples, changes / 2);
    double serialMs = Median(serialSamples, changes / 2);
    const int headers = 2 * PASSWORD_CHANGE_PASSES;
    double cpuMs = Median(cpuSamples, changes / 2) / headers;
    kdfCpuMs /= (changes + 1) * derivations;
    printf("kdf_ms %.3f\n", kdfMs);
    printf("header_build_ms %.3f\n", buildMs);
    printf("salt_draw_ms %.3f\n", drawMs);
    printf("deep_draw_ms %.1f\n", deepMs);
    printf("flushed_write_ms %.3f\n", writeMs);
    printf("kdf_cpu_ms %.3f\n", kdfCpuMs);
    printf("pass_cpu_ms %.3f\n", cpuMs);
    printf("pass_cpu_vs_kdf_cpu %.3f\n", kdfCpuMs > 0 ? cpuMs / kdfCpuMs : 0.0);
    printf("password_change_serial_ms %.1f\n", serialMs);
    printf("password_change_serial_vs_floor %.3f\n", serialMs / (headers * (kdfMs + writeMs)));
    printf("password_change_ms %.1f\n", changeMs);
    printf("password_change_per_header_vs_kdf %.3f\n", changeMs / headers / kdfMs);
    printf("password_change_vs_floor %.3f\n", changeMs / (headers * (kdfMs + writeMs)));
    return 0;
}
