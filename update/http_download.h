// Downloads from the update server over an open WinINet connection.
#pragma once
#include <windows.h>
#include <wininet.h>

// The update check's time-out for connecting, sending and each wait for
// the server's answer: a server that accepts the connection and then says
// nothing must not hold start-up for ever.
const DWORD kNetworkTimeoutMs = 30000;

// GET of the object path; on status 200 the body is written to the local
// file (created or truncated) block by block: blocks of the content length
// (within a ceiling), or of 102400 bytes when the answer has none. 1 when
// the whole body was written, else 0; nothing is written unless the status
// is 200, and a transfer that fails part-way may leave part of the body in
// the file. It fails when the body is longer than maxBytes (the download
// stops there), shorter than its announced length, when the transfer is
// still going after maxMillis (every wait on the server is given a time-out
// no longer than what is left of it, so a server that stalls cannot hold
// the transfer beyond it; Wine's WinINet takes a request's receive time-out
// only when it reads the answer's head, so there a stall later in the body
// can still last the time-out given then), or, with lengthRequired, when the
// answer states no length: a body that only ends with the connection
// cannot be told from one cut off early.
int HttpDownloadLimited(HINTERNET connection, const char *object, const WCHAR *localPath,
                        ULONGLONG maxBytes, DWORD maxMillis, BOOL lengthRequired);

// How a downloaded file is checked before it replaces its target.
struct DownloadCheck {
    const char *digest;            // 32 hexadecimal digits the file's MD5 must equal, or null
    const unsigned char *sha512;   // 64 bytes the file's SHA-512 must equal, or null
    BOOL traceArchive;             // the file must open and load as the trace database archive
    ULONGLONG maxBytes;            // longest body accepted
    DWORD maxMillis;               // longest time the transfer may take
    BOOL lengthRequired;           // refuse an answer without a length
};

// Downloads the object into a new temporary file in the target's folder and,
// only when the download is complete and passes the check, moves it over the
// target in one step (MoveFileExW, replace existing). Otherwise the temporary
// file is deleted and the target stays as it was. 1 when the target was
// replaced.
int DownloadReplacing(HINTERNET connection, const char *object, const WCHAR *target,
                      const DownloadCheck &check);
