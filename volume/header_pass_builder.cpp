#include "volume/header_pass_builder.h"

#include "crypto/secure_memory.h"
#include "volume/volume_header.h"

namespace {

constexpr int MaxBuilders = 2;

}  // namespace

struct HeaderPassBuilder;

// One thread: builds passes first, first + step, ... one at a time into its
// slot, each after the one before has been taken.
struct HeaderBuilderThread {
    HeaderPassBuilder *owner;
    int first;
    HANDLE thread;
    HANDLE slotFree;   // auto-reset: the thread may build its next header
    HANDLE slotReady;  // auto-reset: the header in the slot is built
    int result;        // of the header in the slot
    uint8_t slot[VOLUME_HEADER_SIZE];
};

struct HeaderPassBuilder {
    HeaderPassJob job;
    LONG stop;
    int threads;
    int next;  // the pass NextBuiltHeader hands out next
    HeaderBuilderThread builders[MaxBuilders];
};

namespace {

DWORD WINAPI BuildAhead(LPVOID parameter)
{
    HeaderBuilderThread *t = static_cast<HeaderBuilderThread *>(parameter);
    HeaderPassBuilder *b = t->owner;
    for (int pass = t->first; pass < b->job.count; pass += b->threads) {
        WaitForSingleObject(t->slotFree, INFINITE);
        if (InterlockedCompareExchange(&b->stop, 0, 0))
            break;
        t->result = BuildHeaderPass(b->job, pass, t->slot);
        const bool failed = t->result != 0;
        SetEvent(t->slotReady);
        if (failed)
            break;  // the change ends at this pass at the latest
    }
    return 0;
}

int BuilderThreads()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    int n = int(info.dwNumberOfProcessors);
    return n < 1 ? 1 : n > MaxBuilders ? MaxBuilders : n;
}

}  // namespace

int BuildHeaderPass(const HeaderPassJob &job, int pass, uint8_t *header)
{
    const QdskCryptoContext *c = job.context;
    return BuildVolumeHeader(false, header, c->algorithm, c->modeId, job.password, c->kdfPrf, c->masterKey, nullptr,
                             c->dataSize, job.hiddenSize, c->areaStart, c->areaLength, c->minProgramVersion,
                             c->flags, pass != job.count - 1);
}

HeaderPassBuilder *StartHeaderPassBuilder(const HeaderPassJob &job)
{
    if (job.count <= 0)
        return nullptr;
    HeaderPassBuilder *b = static_cast<HeaderPassBuilder *>(AllocateLockedMemory(sizeof(HeaderPassBuilder)));
    if (b == nullptr)
        return nullptr;
    ZeroMemory(b, sizeof *b);
    b->job = job;
    b->threads = BuilderThreads();
    bool ok = true;
    for (int i = 0; i < b->threads && ok; ++i) {
        HeaderBuilderThread &t = b->builders[i];
        t.owner = b;
        t.first = i;
        t.slotFree = CreateEventW(nullptr, FALSE, TRUE, nullptr);
        t.slotReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        DWORD id;
        if (t.slotFree && t.slotReady)
            t.thread = CreateThread(nullptr, 0, BuildAhead, &t, 0, &id);
        ok = t.thread != nullptr;
    }
    if (!ok) {
        StopHeaderPassBuilder(b);
        return nullptr;
    }
    return b;
}

int NextBuiltHeader(HeaderPassBuilder *b, uint8_t *header)
{
    HeaderBuilderThread &t = b->builders[b->next % b->threads];
    WaitForSingleObject(t.slotReady, INFINITE);
    const int result = t.result;
    CopyMemory(header, t.slot, VOLUME_HEADER_SIZE);
    SecureZeroMemory(t.slot, sizeof t.slot);
    b->next++;
    SetEvent(t.slotFree);
    return result;
}

void StopHeaderPassBuilder(HeaderPassBuilder *b)
{
    if (b == nullptr)
        return;
    InterlockedExchange(&b->stop, 1);
    for (int i = 0; i < b->threads; ++i)
        if (b->builders[i].slotFree)
            SetEvent(b->builders[i].slotFree);
    for (int i = 0; i < b->threads; ++i) {
        HeaderBuilderThread &t = b->builders[i];
        if (t.thread) {
            WaitForSingleObject(t.thread, INFINITE);
            CloseHandle(t.thread);
        }
        if (t.slotFree)
            CloseHandle(t.slotFree);
        if (t.slotReady)
            CloseHandle(t.slotReady);
    }
    FreeLockedMemory(b, sizeof *b);  // wipes the slots
}
