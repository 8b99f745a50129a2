// Everything the program says to the Filter Manager about the redirection
// minifilter passes through these calls. The Windows build sends them to
// fltlib and setupapi; the Wine build answers them with the in-process
// stand-in of the minifilter (standin/sidestep). Results are those of the
// Filter Manager's user-mode library: S_OK or an HRESULT.
#pragma once
#include <windows.h>

// The header the Filter Manager puts in front of every message it delivers
// and expects in front of every reply (16 bytes in every build).
struct FilterMessageHeader {
    ULONG ReplyLength;
    ULONGLONG MessageId;
};

struct FilterReplyHeader {
    LONG Status;
    ULONGLONG MessageId;
};

static_assert(sizeof(FilterMessageHeader) == 16, "message header");
static_assert(sizeof(FilterReplyHeader) == 16, "reply header");

HRESULT FilterSeamLoad(const WCHAR *filterName);
HRESULT FilterSeamUnload(const WCHAR *filterName);
HRESULT FilterSeamConnectPort(const WCHAR *portName, DWORD options, const void *context, WORD contextSize,
                              SECURITY_ATTRIBUTES *security, HANDLE *port);
// With an OVERLAPPED: HRESULT_FROM_WIN32(ERROR_IO_PENDING) once the request
// is queued; its completion arrives through the port's completion port.
HRESULT FilterSeamGetMessage(HANDLE port, FilterMessageHeader *message, DWORD messageSize, OVERLAPPED *overlapped);
HRESULT FilterSeamReplyMessage(HANDLE port, FilterReplyHeader *reply, DWORD replySize);
// InstallHinfSectionW.
void FilterSeamInstallInf(HWND window, HINSTANCE instance, const WCHAR *commandLine, INT show);
