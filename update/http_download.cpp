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

// Gives the request's waits of one kind (option: a time-out it has, 0 for
// none) no longer than what is left of the transfer's time, so that a
// server that stalls ends the transfer at its limit instead of one time-out
// after it. Never 0 (no time-out at all): at least 1 ms.
void LimitWait(HINTERNET request, DWORD option, DWORD configured, DWORD start, DWORD maxMillis)
{
    DWORD elapsed = GetTickCount() - start;
    DWORD left = elapsed < maxMillis ? maxMillis - elapsed : 1;
    DWORD wait = configured != 0 && configured < left ? configured : left;
    InternetSetOptionW(request, option, &wait, sizeof wait);
}

// The time-out the request has for option (from its session; 0 for none),
// or the update check's own when the library does not tell (Wine's does
// not, and neither does it pass the time-outs set on the session's handle
// on to its requests: there the ones set here are the only ones).
DWORD ConfiguredTimeout(HINTERNET request, DWORD option)
{
    DWORD value = 0, size = sizeof value;
    return InternetQueryOptionW(request, option, &value, &size) && size == sizeof value ? value
                                                                                         : kNetworkTimeoutMs;
}

// Reads the body into the open file block by block. True when the last read
// succeeded, every block was written, the body was not longer than maxBytes
// and, when the answer announced a length, exactly that many bytes came.
bool CopyBody(HINTERNET request, HANDLE file, unsigned char *block, size_t blockSize,
              bool hasLength, uint64_t contentLength, ULONGLONG maxBytes, DWORD start, DWORD maxMillis,
              DWORD receiveTimeout)
{
    ULONGLONG total = 0;
    for (;;) {
        // A server that keeps sending, however slowly, does not hold the
        // program beyond the limit; nor does one that stops sending.
        if (GetTickCount() - start > maxMillis)
            return false;
        LimitWait(request, INTERNET_OPTION_RECEIVE_TIMEOUT, receiveTimeout, start, maxMillis);
        // Only what has arrived is read: a read of a whole block would wait
        // until the block is full, however long the server takes.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            return false;
        DWORD want = available < blockSize ? available : static_cast<DWORD>(blockSize);
        if (want == 0)
            want = 1;  // nothing waiting: the read tells the end from a pause
        DWORD got = 0;
        if (!InternetReadFile(request, block, want, &got))
            return false;
        if (got == 0)
            break;
        if (GetTickCount() - start > maxMillis)
            return false;
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
                        ULONGLONG maxBytes, DWORD maxMillis, BOOL lengthRequired)
{
    DWORD start = GetTickCount();
    HINTERNET request = HttpOpenRequestA(connection, "GET", object, "HTTP/1.1", kReferrer, nullptr,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI, 0);
    if (!request)
        return 0;
    // Connecting, sending and the answer's head wait no longer than the
    // transfer may take either.
    DWORD receiveTimeout = ConfiguredTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT);
    LimitWait(request, INTERNET_OPTION_CONNECT_TIMEOUT, ConfiguredTimeout(request, INTERNET_OPTION_CONNECT_TIMEOUT),
              start, maxMillis);
    LimitWait(request, INTERNET_OPTION_SEND_TIMEOUT, ConfiguredTimeout(request, INTERNET_OPTION_SEND_TIMEOUT), start,
              maxMillis);
    LimitWait(request, INTERNET_OPTION_RECEIVE_TIMEOUT, receiveTimeout, start, maxMillis);

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
    if ((hasLength && contentLength > maxBytes) || (!hasLength && lengthRequired))
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
        bool copied = CopyBody(request, file, block, blockSize, hasLength, contentLength, maxBytes, start,
                               maxMillis, receiveTimeout);
        if (CloseHandle(file) && copied)
            result = 1;
    }
done:
    free(block);
    InternetCloseHandle(request);
    return result;
}
