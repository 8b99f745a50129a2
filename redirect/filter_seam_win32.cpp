// The filter seam on Windows: fltlib and setupapi. fltlib ships no header or
// import library with the cross compiler, so its few functions are declared
// here and linked through an import library made from cmake/win32/fltlib.def.
#include "redirect/filter_seam.h"

#include <setupapi.h>

extern "C" {
HRESULT WINAPI FilterLoad(LPCWSTR filterName);
HRESULT WINAPI FilterUnload(LPCWSTR filterName);
HRESULT WINAPI FilterConnectCommunicationPort(LPCWSTR portName, DWORD options, LPCVOID context, WORD contextSize,
                                              LPSECURITY_ATTRIBUTES security, HANDLE *port);
HRESULT WINAPI FilterGetMessage(HANDLE port, FilterMessageHeader *message, DWORD messageSize,
                                LPOVERLAPPED overlapped);
HRESULT WINAPI FilterReplyMessage(HANDLE port, FilterReplyHeader *reply, DWORD replySize);
}

HRESULT FilterSeamLoad(const WCHAR *filterName) { return FilterLoad(filterName); }
HRESULT FilterSeamUnload(const WCHAR *filterName) { return FilterUnload(filterName); }

HRESULT FilterSeamConnectPort(const WCHAR *portName, DWORD options, const void *context, WORD contextSize,
                              SECURITY_ATTRIBUTES *security, HANDLE *port)
{
    return FilterConnectCommunicationPort(portName, options, context, contextSize, security, port);
}

HRESULT FilterSeamGetMessage(HANDLE port, FilterMessageHeader *message, DWORD messageSize, OVERLAPPED *overlapped)
{
    return FilterGetMessage(port, message, messageSize, overlapped);
}

HRESULT FilterSeamReplyMessage(HANDLE port, FilterReplyHeader *reply, DWORD replySize)
{
    return FilterReplyMessage(port, reply, replySize);
}

void FilterSeamInstallInf(HWND window, HINSTANCE instance, const WCHAR *commandLine, INT show)
{
    InstallHinfSectionW(window, instance, commandLine, show);
}
