// The redirection minifilter's stand-in behind the filter seam, for the Wine
// build: the Filter Manager's load, unload and install state, the port as a
// named pipe, and the thread that reads the program's replies and hands each
// to the request it answers.
#include "standin/sidestep/sidestep_connection.h"

#include "redirect/filter_seam.h"

#include <winternl.h>

#include <cstring>

using namespace sidestep;

namespace {

const HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const HRESULT FilterNotLoaded = static_cast<HRESULT>(0x801F0013);  // ERROR_FLT_FILTER_NOT_FOUND
const DWORD PipeBuffer = WireSize * 1024;


struct State {
    bool installed;
    bool loaded;
    SidestepStandinCounters counters;
    WCHAR context[MAX_PATH];
    std::shared_ptr<Connection> connection;
};

std::mutex s_lock;
State s_state;
std::atomic<uint64_t> s_nextId{1};
std::atomic<int64_t> s_sent, s_answered, s_unmatched;
std::atomic<int> s_stopsAnswered;
LONG s_pipeNumber;
std::atomic<bool> s_holdLoads{false};
std::atomic<int> s_loadsWaiting{0};

bool IsFilterName(const WCHAR *name) { return name && lstrcmpiW(name, L"Sidestep") == 0; }

// Hands a reply to the request it answers.
void Deliver(Connection *c, const unsigned char *data, DWORD size)
{
    if (size != WireSize) {
        ++s_unmatched;
        return;
    }
    FilterReplyHeader header;
    memcpy(&header, data, sizeof header);
    Waiter *w = nullptr;
    {
        std::lock_guard<std::mutex> guard(c->lock);
        auto it = c->waiting.find(header.MessageId);
        if (it != c->waiting.end()) {
            w = it->second;
            c->waiting.erase(it);
        }
    }
    if (!w) {
        ++s_unmatched;
        return;
    }
    if (w->answer) {
        w->answer->status = header.Status;
        w->answer->messageId = header.MessageId;
        memcpy(w->answer->target, data + sizeof header, sizeof w->answer->target);
        w->answer->target[511] = 0;
    }
    w->answered = true;
    ++s_answered;
    w->done.release();
}

DWORD WINAPI ReadReplies(LPVOID param)
{
    std::shared_ptr<Connection> c = *static_cast<std::shared_ptr<Connection> *>(param);
    delete static_cast<std::shared_ptr<Connection> *>(param);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Not from the C library's heap: under Wine an overlapped read into
    // such memory fails with ERROR_INVALID_USER_BUFFER.
    unsigned char buffer[WireSize];
    while (event && c->open) {
        OVERLAPPED ov = {};
        ov.hEvent = event;
        DWORD got = 0;
        BOOL ok = ReadFile(c->server, buffer, WireSize, nullptr, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING)
            ok = GetOverlappedResult(c->server, &ov, &got, TRUE);
        else if (ok)
            ok = GetOverlappedResult(c->server, &ov, &got, FALSE);
        if (!ok && GetLastError() == ERROR_MORE_DATA) {
            ++s_unmatched;  // too long for a reply; its rest follows as another piece
            continue;
        }
        if (!ok)
            break;  // the port went away
        Deliver(c.get(), buffer, got);
    }
    if (event)
        CloseHandle(event);
    // No reply can come any more: release every waiting request.
    c->open = false;
    std::lock_guard<std::mutex> guard(c->lock);
    for (auto &entry : c->waiting)
        entry.second->done.release();
    c->waiting.clear();
    return 0;
}

// Cuts the connection: the program's pending requests fail, the reader ends.
void Disconnect(const std::shared_ptr<Connection> &c)
{
    if (!c)
        return;
    c->open = false;
    DisconnectNamedPipe(c->server);
    CancelIoEx(c->server, nullptr);
    if (c->reader) {
        WaitForSingleObject(c->reader, INFINITE);
        CloseHandle(c->reader);
        c->reader = nullptr;
    }
}

} // namespace

namespace sidestep {

Connection::~Connection()
{
    if (server != INVALID_HANDLE_VALUE)
        CloseHandle(server);
}

std::shared_ptr<Connection> Current(void)
{
    std::lock_guard<std::mutex> guard(s_lock);
    return s_state.connection;
}

ULONGLONG NextMessageId(void) { return s_nextId++; }
void CountSent(void) { ++s_sent; }
void CountStopAnswered(void) { ++s_stopsAnswered; }

BOOL WriteMessage(HANDLE pipe, const void *data, DWORD size)
{
    // No event and no APC context: the write posts nothing to a completion
    // port the handle may be bound to, and needs no event of its own.
    IO_STATUS_BLOCK io = {};
    NTSTATUS status = NtWriteFile(pipe, nullptr, nullptr, nullptr, &io, data, size, nullptr, nullptr);
    if (status == STATUS_PENDING) {
        // The pipe is full: the write finishes when the other side reads.
        // Waiting lets the system deliver the result into io.
        while (*static_cast<volatile NTSTATUS *>(&io.Status) == STATUS_PENDING)
            SleepEx(1, FALSE);
        status = io.Status;
    }
    if (status != 0) {
        SetLastError(RtlNtStatusToDosError(status));
        return FALSE;
    }
    return io.Information == size;
}

} // namespace sidestep

void SidestepStandinReset(void)
{
    StopInterposition();
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        c = std::move(s_state.connection);
        s_state.installed = false;
        s_state.loaded = false;
        s_state.counters = {};
        s_state.context[0] = 0;
    }
    Disconnect(c);
    s_sent = 0;
    s_answered = 0;
    s_unmatched = 0;
    s_stopsAnswered = 0;
}

void SidestepStandinPreset(BOOL installed, BOOL loaded)
{
    std::lock_guard<std::mutex> guard(s_lock);
    s_state.installed = installed || loaded;
    s_state.loaded = loaded != FALSE;
}

void SidestepStandinGetCounters(SidestepStandinCounters *counters)
{
    std::lock_guard<std::mutex> guard(s_lock);
    *counters = s_state.counters;
    counters->sent = s_sent;
    counters->answered = s_answered;
    counters->unmatched = s_unmatched;
    counters->stopsAnswered = s_stopsAnswered;
}

BOOL SidestepStandinIsLoaded(void)
{
    std::lock_guard<std::mutex> guard(s_lock);
    return s_state.loaded;
}

BOOL SidestepStandinWaitConnected(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::shared_ptr<Connection> c = Current();
        if (c && c->open && c->ready)
            return TRUE;
        if (GetTickCount() - start >= timeoutMs)
            return FALSE;
        Sleep(5);
    }
}

void SidestepStandinContext(WCHAR *out)
{
    std::lock_guard<std::mutex> guard(s_lock);
    lstrcpynW(out, s_state.context, MAX_PATH);
}

void SidestepStandinHoldLoads(BOOL hold) { s_holdLoads = hold != FALSE; }
int SidestepStandinLoadsWaiting(void) { return s_loadsWaiting; }

HRESULT FilterSeamLoad(const WCHAR *filterName)
{
    if (s_holdLoads) {
        ++s_loadsWaiting;
        for (int i = 0; i < 1000 && s_holdLoads; ++i)
            Sleep(10);
        --s_loadsWaiting;
    }
    std::lock_guard<std::mutex> guard(s_lock);
    if (!IsFilterName(filterName) || !s_state.installed)
        return NotFound;
    if (s_state.loaded)
        return HRESULT_FROM_WIN32(ERROR_SERVICE_ALREADY_RUNNING);
    s_state.loaded = true;
    ++s_state.counters.loads;
    return S_OK;
}

HRESULT FilterSeamUnload(const WCHAR *filterName)
{
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        if (!IsFilterName(filterName) || !s_state.loaded)
            return FilterNotLoaded;
        s_state.loaded = false;
        ++s_state.counters.unloads;
        c = std::move(s_state.connection);
    }
    // C: goes back first, while the program may still answer what the
    // file system asks at this moment.
    StopInterposition();
    Disconnect(c);
    return S_OK;
}

namespace sidestep {

void UnloadBySelf(void)
{
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        if (!s_state.loaded)
            return;
        s_state.loaded = false;
        ++s_state.counters.unloads;
        c = std::move(s_state.connection);
    }
    StopInterposition();
    Disconnect(c);
}

} // namespace sidestep

void SidestepStandinInterpose(BOOL on) { SetInterposition(on); }
void SidestepStandinHoldAnswers(BOOL hold) { HoldAnswers(hold); }

namespace {

HRESULT ConnectLocked(const WCHAR *portName, const void *context, WORD contextSize, SECURITY_ATTRIBUTES *security,
                      HANDLE *port)
{
    if (!port)
        return E_INVALIDARG;
    *port = INVALID_HANDLE_VALUE;
    if (contextSize && !context)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(s_lock);
    if (!s_state.loaded || !portName || lstrcmpiW(portName, L"\\ReparsePort") != 0)
        return NotFound;
    if (s_state.connection && s_state.connection->open)
        return HRESULT_FROM_WIN32(ERROR_CONNECTION_COUNT_LIMIT);
    if (s_state.connection) {  // the previous program went away
        Disconnect(s_state.connection);
        s_state.connection.reset();
    }

    WCHAR name[80];
    wsprintfW(name, L"\\\\.\\pipe\\sidestep-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&s_pipeNumber));
    auto c = std::make_shared<Connection>();
    c->server = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                 1, PipeBuffer, PipeBuffer, 0, nullptr);
    if (c->server == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    HANDLE client = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, security, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD mode = PIPE_READMODE_MESSAGE;
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BOOL ok = ov.hEvent && SetNamedPipeHandleState(client, &mode, nullptr, nullptr) &&
              (ConnectNamedPipe(c->server, &ov) || GetLastError() == ERROR_PIPE_CONNECTED);
    DWORD error = GetLastError();
    if (ov.hEvent)
        CloseHandle(ov.hEvent);
    if (!ok) {
        CloseHandle(client);
        return HRESULT_FROM_WIN32(error);
    }
    auto *arg = new std::shared_ptr<Connection>(c);
    c->reader = CreateThread(nullptr, 0, ReadReplies, arg, 0, nullptr);
    if (!c->reader) {
        error = GetLastError();
        delete arg;
        CloseHandle(client);
        return HRESULT_FROM_WIN32(error);
    }

    ZeroMemory(s_state.context, sizeof s_state.context);
    if (context)
        memcpy(s_state.context, context, contextSize < sizeof s_state.context ? contextSize : sizeof s_state.context);
    s_state.context[MAX_PATH - 1] = 0;
    s_state.connection = c;
    ++s_state.counters.connects;
    *port = client;
    return S_OK;
}

} // namespace

HRESULT FilterSeamConnectPort(const WCHAR *portName, DWORD, const void *context, WORD contextSize,
                              SECURITY_ATTRIBUTES *security, HANDLE *port)
{
    HRESULT result = ConnectLocked(portName, context, contextSize, security, port);
    if (FAILED(result))
        return result;
    WCHAR device[MAX_PATH];
    SidestepStandinContext(device);
    // From now on the program answers for the accesses of every program in
    // the prefix. Without the file system there is no redirection: the
    // connection fails as the minifilter's would.
    if (!StartInterposition(device)) {
        DWORD error = GetLastError();
        std::shared_ptr<Connection> c;
        {
            std::lock_guard<std::mutex> guard(s_lock);
            if (s_state.connection && s_state.connection->server != INVALID_HANDLE_VALUE)
                c = std::move(s_state.connection);
            --s_state.counters.connects;
        }
        Disconnect(c);
        CloseHandle(*port);
        *port = INVALID_HANDLE_VALUE;
        return HRESULT_FROM_WIN32(error ? error : ERROR_NOT_READY);
    }
    if (std::shared_ptr<Connection> c = Current())
        c->ready = true;
    return S_OK;
}

HRESULT FilterSeamGetMessage(HANDLE port, FilterMessageHeader *message, DWORD messageSize, OVERLAPPED *overlapped)
{
    if (!message || messageSize < sizeof(FilterMessageHeader) || !overlapped)
        return E_INVALIDARG;
    if (ReadFile(port, message, messageSize, nullptr, overlapped))
        return HRESULT_FROM_WIN32(ERROR_IO_PENDING);  // its completion is queued all the same
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA)
        return HRESULT_FROM_WIN32(ERROR_IO_PENDING);
    return HRESULT_FROM_WIN32(error);
}

HRESULT FilterSeamReplyMessage(HANDLE port, FilterReplyHeader *reply, DWORD replySize)
{
    if (!reply || replySize < sizeof(FilterReplyHeader))
        return E_INVALIDARG;
    if (!WriteMessage(port, reply, replySize))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

void FilterSeamInstallInf(HWND, HINSTANCE, const WCHAR *commandLine, INT)
{
    {
        std::lock_guard<std::mutex> guard(s_lock);
        ++s_state.counters.installAttempts;
    }
    // "DefaultInstall 132 <path of the INF>"
    const WCHAR prefix[] = L"DefaultInstall 132 ";
    const int prefixLength = ARRAYSIZE(prefix) - 1;
    if (!commandLine || lstrlenW(commandLine) <= prefixLength || CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE,
        commandLine, prefixLength, prefix, prefixLength) != CSTR_EQUAL)
        return;
    const WCHAR *inf = commandLine + prefixLength;
    const WCHAR *slash = nullptr;
    for (const WCHAR *p = inf; *p; ++p)
        if (*p == L'\\')
            slash = p;
    if (lstrcmpiW(slash ? slash + 1 : inf, L"sidestep.inf") != 0)
        return;
    // The INF must hold the section that installs the minifilter.
    HANDLE f = CreateFileW(inf, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    char text[8192];
    DWORD got = 0;
    BOOL read = ReadFile(f, text, sizeof text - 1, &got, nullptr);
    CloseHandle(f);
    text[read ? got : 0] = 0;
    bool section = false;
    for (char *p = text; *p && !section; ++p)
        section = CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, p, lstrlenA(p) < 16 ? lstrlenA(p) : 16,
                                 "[DefaultInstall]", 16) == CSTR_EQUAL;
    if (!section)
        return;
    std::lock_guard<std::mutex> guard(s_lock);
    s_state.installed = true;
    ++s_state.counters.installs;
}
