// The filter thread: loads the minifilter, connects to its port, runs the
// pool of workers until the minifilter is unloaded, then cleans up.
#include "redirect/redirection_filter.h"

#include <cstdio>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "Mount/resource.h"
#include "redirect/filter_records.h"
#include "redirect/redirect_rules.h"
#include "volume/driver_control.h"

namespace {

const WCHAR FilterName[] = L"Sidestep";
const WCHAR PortName[] = L"\\ReparsePort";
const HRESULT FilterNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const HRESULT RequestPending = HRESULT_FROM_WIN32(ERROR_IO_PENDING);

// Loads the minifilter, installing it once from its INF when the Filter
// Manager does not know it. Any other result of the load (it may already be
// loaded) goes on to connect; false only when it is still missing after the
// installation.
bool LoadFilter(void)
{
    bool installAllowed = true;
    EnablePrivilege(L"SeLoadDriverPrivilege");
    while (FilterSeamLoad(FilterName) == FilterNotFound) {
        if (!installAllowed)
            return false;
        installAllowed = false;
        InstallRedirectionFilter();
    }
    return true;
}

// One worker and its share of outstanding requests. False when the worker
// cannot be created or a request cannot be queued.
bool StartWorker(FilterPortContext *context, HANDLE *worker)
{
    *worker = CreateThread(nullptr, 0, RedirectionWorker, context, 0, nullptr);
    if (!*worker)
        return false;
    for (int i = 0; i < REDIRECT_PRIMED_PER_WORKER; ++i) {
        // Kept while the process lives: a buffer may still be the target of
        // a request the system completes late.
        RedirectMessage *message = static_cast<RedirectMessage *>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RedirectMessage)));
        if (!message) {
            ShowError(GetString("OUTOFMEMORY"));
            return false;
        }
        if (ArmRedirectMessage(context->port, message) != RequestPending) {
            HeapFree(GetProcessHeap(), 0, message);
            return false;
        }
    }
    return true;
}

// Serves the connection until the minifilter goes away; closes the port.
void Serve(HANDLE port)
{
    FilterPortContext context = {port, nullptr};
    context.completion = CreateIoCompletionPort(port, nullptr, 0, REDIRECT_WORKERS);
    if (!context.completion) {
        CloseHandle(port);
        return;
    }
    HANDLE workers[REDIRECT_WORKERS];
    DWORD count = 0;
    bool serving = true;
    while (serving && count < REDIRECT_WORKERS) {
        HANDLE worker = nullptr;
        serving = StartWorker(&context, &worker);
        if (worker)
            workers[count++] = worker;
    }

    // Normally every worker ends when the unload fails its pending request.
    if (serving)
        WaitForMultipleObjects(count, workers, TRUE, INFINITE);
    CloseHandle(port);
    if (!serving && count) {
        // The pool could not be completed: closing the port fails what was
        // queued, and an empty packet per worker wakes any that has nothing
        // to fail. They read the context on this stack, so wait for them.
        for (DWORD i = 0; i < count; ++i)
            PostQueuedCompletionStatus(context.completion, 0, 0, nullptr);
        WaitForMultipleObjects(count, workers, TRUE, INFINITE);
    }
    CloseHandle(context.completion);
    for (DWORD i = 0; i < count; ++i)
        CloseHandle(workers[i]);
}

} // namespace

DWORD WINAPI RunRedirectionFilter(LPVOID)
{
    if (!LoadFilter()) {
        // Privacy mode without redirection would leave traces on the real
        // disks: end the session (lParam 1: without asking), then explain.
        SendMessageW(g_hMainWnd, WM_COMMAND, IDM_LOGOFF, 1);
        ShowError(GetString("WARNING360"));
        SetLastError(static_cast<DWORD>(-1));
        return static_cast<DWORD>(-1);
    }

    fputs("Sidestep: Connecting to the filter ...\n", stdout);
    fflush(stdout);
    HANDLE port = nullptr;
    // The context is the redirection device, the whole 520-byte buffer.
    if (FAILED(FilterSeamConnectPort(PortName, 0, g_redirectionDevice, sizeof g_redirectionDevice, nullptr,
                                     &port))) {
        SetLastError(static_cast<DWORD>(-1));
        return static_cast<DWORD>(-1);
    }
    Serve(port);
    // Normally the minifilter is unloaded already and this fails.
    FilterSeamUnload(FilterName);
    return 0;
}

bool StartRedirectionFilter(void)
{
    HANDLE thread = CreateThread(nullptr, 0, RunRedirectionFilter, nullptr, 0, nullptr);
    if (!thread)
        return false;
    CloseHandle(thread);
    return true;
}

HRESULT StopRedirectionFilter(void)
{
    return FilterSeamUnload(FilterName);
}
