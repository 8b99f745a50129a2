#include "update/file_digest.h"

#include "update/md5_stream.h"

#include <gcrypt.h>

#include "crypto/crypto_init.h"

BOOL FileDigestHex(const WCHAR *path, char out[33])
{
    out[0] = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    Md5Stream md5;
    BOOL ok = md5.ok();
    unsigned char block[1024];
    while (ok) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
            ok = FALSE;
            break;
        }
        if (got == 0)
            break;
        md5.Update(block, got);
    }
    CloseHandle(file);
    if (ok)
        ok = md5.Finish(out);
    if (!ok)
        out[0] = 0;
    return ok;
}

BOOL FileSha512(const WCHAR *path, unsigned char out[64])
{
    ZeroMemory(out, 64);
    gcry_md_hd_t sha = nullptr;
    if (!InitCrypto() || gcry_md_open(&sha, GCRY_MD_SHA512, 0) != 0)
        return FALSE;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    BOOL ok = file != INVALID_HANDLE_VALUE;
    unsigned char block[4096];
    while (ok) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr))
            ok = FALSE;
        else if (got == 0)
            break;
        else
            gcry_md_write(sha, block, got);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    const unsigned char *digest = ok ? gcry_md_read(sha, GCRY_MD_SHA512) : nullptr;
    if (digest)
        CopyMemory(out, digest, 64);
    gcry_md_close(sha);
    return digest != nullptr;
}
