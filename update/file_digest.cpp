#include "update/file_digest.h"

#include "update/md5_stream.h"

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
