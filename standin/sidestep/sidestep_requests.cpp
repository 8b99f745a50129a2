// Requests into the minifilter stand-in's port, as the minifilter would send
// them for file accesses, one at a time or from many threads at once.
#include "standin/sidestep/sidestep_connection.h"

#include "redirect/filter_seam.h"

#include <cstring>

using namespace sidestep;

namespace {

const DWORD AnswerTimeoutMs = 10000;

// Sends one message (its MessageId already in place when it carries one) and
// waits for the answer.
BOOL Send(unsigned char *message, DWORD size, SidestepAnswer *answer)
{
    std::shared_ptr<Connection> c = Current();
    if (!c || !c->open) {
        SetLastError(ERROR_PIPE_NOT_CONNECTED);
        return FALSE;
    }
    if (size < sizeof(FilterMessageHeader)) {
        CountSent();
        if (answer)
            ZeroMemory(answer, sizeof *answer);
        return WriteMessage(c->server, message, size);
    }
    FilterMessageHeader header;
    memcpy(&header, message, sizeof header);
    header.MessageId = NextMessageId();
    memcpy(message, &header, sizeof header);

    Waiter w;
    w.answer = answer;
    {
        std::lock_guard<std::mutex> guard(c->lock);
        if (!c->open) {
            SetLastError(ERROR_PIPE_NOT_CONNECTED);
            return FALSE;
        }
        c->waiting[header.MessageId] = &w;
    }
    CountSent();
    BOOL ok = WriteMessage(c->server, message, size);
    if (ok)
        ok = w.done.try_acquire_for(std::chrono::milliseconds(AnswerTimeoutMs));
    if (!ok) {
        // Withdrawn, unless the reply is being delivered at this moment.
        std::unique_lock<std::mutex> guard(c->lock);
        auto it = c->waiting.find(header.MessageId);
        if (it != c->waiting.end() && it->second == &w) {
            c->waiting.erase(it);
        } else {
            guard.unlock();
            w.done.acquire();
        }
        SetLastError(ERROR_TIMEOUT);
        return w.answered;
    }
    return w.answered;
}

struct Batch {
    const WCHAR *const *paths;
    size_t count;
    SidestepAnswer *answers;
    DWORD *latencyUs;
    std::atomic<size_t> next{0};
    std::atomic<size_t> answered{0};
    LARGE_INTEGER frequency;
};

DWORD WINAPI AskInTurn(LPVOID param)
{
    Batch *b = static_cast<Batch *>(param);
    SidestepAnswer scratch;
    for (;;) {
        size_t i = b->next++;
        if (i >= b->count)
            break;
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        BOOL ok = SidestepStandinAsk(b->paths[i], b->answers ? &b->answers[i] : &scratch);
        QueryPerformanceCounter(&t1);
        if (ok)
            ++b->answered;
        if (b->latencyUs)
            b->latencyUs[i] = static_cast<DWORD>((t1.QuadPart - t0.QuadPart) * 1000000 / b->frequency.QuadPart);
    }
    return 0;
}

} // namespace

BOOL SidestepStandinAsk(const WCHAR *ntPath, SidestepAnswer *answer)
{
    unsigned char message[WireSize] = {};
    FilterMessageHeader header = {WireSize, 0};
    memcpy(message, &header, sizeof header);
    int length = ntPath ? lstrlenW(ntPath) : 0;
    if (length > 511) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    memcpy(message + sizeof header, ntPath, length * sizeof(WCHAR));
    return Send(message, WireSize, answer);
}

BOOL SidestepStandinAskRaw(const void *raw, DWORD size, SidestepAnswer *answer)
{
    if (size > WireSize || (size && !raw)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    unsigned char message[WireSize];
    memcpy(message, raw, size);
    return Send(message, size, answer);
}

size_t SidestepStandinAskMany(const WCHAR *const *paths, size_t count, int requesters, SidestepAnswer *answers,
                              DWORD *latencyUs)
{
    Batch b;
    b.paths = paths;
    b.count = count;
    b.answers = answers;
    b.latencyUs = latencyUs;
    QueryPerformanceFrequency(&b.frequency);
    if (requesters < 1)
        requesters = 1;
    if (requesters > MAXIMUM_WAIT_OBJECTS)
        requesters = MAXIMUM_WAIT_OBJECTS;
    HANDLE threads[MAXIMUM_WAIT_OBJECTS];
    int started = 0;
    for (int i = 0; i < requesters; ++i) {
        threads[started] = CreateThread(nullptr, 0, AskInTurn, &b, 0, nullptr);
        if (threads[started])
            ++started;
    }
    if (!started)
        AskInTurn(&b);
    WaitForMultipleObjects(started, threads, TRUE, INFINITE);
    for (int i = 0; i < started; ++i)
        CloseHandle(threads[i]);
    return b.answered;
}
