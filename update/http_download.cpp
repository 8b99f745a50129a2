#include "update/http_download.h"

#include <stdlib.h>

#include "Mount/product.h"
#include "update/update_rules.h"

// Sent as the referrer of every download.
static const char kReferrer[] = "http://" VG_WEB_HOST "/";

namespace {

// The answer's content length, when it states a well-formed one.
bool ContentLength(HINTERNET request, uint64_t *length)
{
    char text[32] = {0};
    DWORD size = sizeof text - 1;
    return HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) &&
           ParseContentLength(text, length);
}

// Reads the body into the open file block by block. True when the last read
// succeeded, every block was written, the body was not longer than maxBytes
// and, when the answer announced a length, exactly that many bytes came.
bool CopyBody(HINTERNET request, HANDLE file, unsigned char *block, size_t blockSize,
              bool hasLength, uint64_t contentLength, ULONGLONG maxBytes)
{
    ULONGLONG total = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, block, static_cast<DWORD>(blockSize), &got))
            return false;
        if (got == 0)
            break;
        total += got;
        if (total > maxBytes)
            return false;
        DWORD put = 0;
        if (!WriteFile(file, block, got, &put, nullptr) || put != got)
            return false;
    }
    return !hasLength || total == contentLength;
}

} // namespace

int HttpDownloadLimited(HINTERNET connection, const char *object, const WCHAR *localPath,
                        ULONGLONG maxBytes)
{
    HINTERNET request = HttpOpenRequestA(connection, "GET", object, "HTTP/1.1", kReferrer, nullptr,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI, 0);
    if (!request)
        return 0;

    int result = 0;
    char status[32] = {0};
    DWORD statusSize = sizeof status - 1;
    uint64_t contentLength = 0;
    bool hasLength = false;
    unsigned char *block = nullptr;
    size_t blockSize = 0;
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0))
        goto done;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status, &statusSize, nullptr) || !IsStatusOk(status))
        goto done;
    hasLength = ContentLength(request, &contentLength);
    if (hasLength && contentLength > maxBytes)
        goto done;
    // The block is the content length, within a ceiling: the server decides
    // how much is read at a time, never how much memory the program takes.
    blockSize = DownloadBlockSize(hasLength, contentLength);
    block = static_cast<unsigned char *>(malloc(blockSize));
    if (!block)
        goto done;
    {
        HANDLE file = CreateFileW(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            goto done;
        bool copied = CopyBody(request, file, block, blockSize, hasLength, contentLength, maxBytes);
        if (CloseHandle(file) && copied)
            result = 1;
    }
done:
    free(block);
    InternetCloseHandle(request);
    return result;
}

int HttpDownload(HINTERNET connection, const char *object, const WCHAR *localPath)
{
    return HttpDownloadLimited(connection, object, localPath, ~0ULL);
}
