// Checkpoints: while a writable volume is mounted, its view is saved into
// the container a while after its files stop changing, and at the latest
// after a longer stretch of constant change, so that a power loss, a killed
// process or an end of session that outlasts the save costs at most that
// stretch of work. Each save is the atomic one of a dismount (a new
// container copy renamed into place); the view stays mounted.
//
// What can still be lost when the machine stops or the process is killed
// with its view gone: the changes since the last checkpoint, that is those
// of the last 60 s after the last write, or of up to 10 minutes while files
// change without a pause; an interrupted save leaves the previous container.
// A view that outlives its process (kill, no power loss) loses nothing: the
// next mount saves it. Every save copies the whole container, so its time
// grows with the container, not with what changed; the end of a desktop
// session that cuts the final save short falls back to the last checkpoint.
#include <windows.h>

#include "standin/qdsk/driver_state.h"
#include "standin/qdsk/view_archive.h"
#include "volume/volume_error_table.h"

namespace qdsk {
namespace {

// Quiet time after the last change, longest time with unsaved changes.
DWORD s_quietMs = 60 * 1000, s_longestMs = 10 * 60 * 1000;
HANDLE s_thread;

DWORD Tick()
{
    DWORD tick = s_quietMs / 4;
    return tick < 100 ? 100 : tick > 5000 ? 5000 : tick;
}

void Look(int drive, DWORD now)
{
    Volume &v = g_state.volumes[drive];
    uint64_t state = 0;
    if (!v.used || v.readOnly || !ViewState(v.view, state))
        return;
    if (state != v.seenState) {
        v.seenState = state;
        v.changedAt = now;
    }
    if (state == v.savedState) {
        v.unsavedSince = 0;
        return;
    }
    if (!v.unsavedSince)
        v.unsavedSince = now ? now : 1;
    if (now - v.changedAt < s_quietMs && now - v.unsavedSince < s_longestMs)
        return;
    // A file written while it is packed fails the save (6); the next look
    // tries again. Other failures are the dismount's to report.
    if (SaveView(v.container, v.held, v.key, v.view) == 0) {
        v.savedState = state;
        v.unsavedSince = 0;
        g_state.counters.checkpoints++;
    }
}

DWORD WINAPI Checkpoints(LPVOID)
{
    for (;;) {
        Sleep(Tick());
        // Never waits on a request in progress (which may itself be
        // saving); the next tick looks again.
        std::unique_lock<std::recursive_timed_mutex> guard(g_lock, std::try_to_lock);
        if (!guard.owns_lock())
            continue;
        DWORD now = GetTickCount();
        for (int d = 0; d < 26; ++d)
            Look(d, now);
    }
}

}  // namespace

void StartCheckpoints()
{
    if (!s_thread)
        s_thread = CreateThread(nullptr, 0, Checkpoints, nullptr, 0, nullptr);
}

void SetCheckpointTimes(DWORD quietMs, DWORD longestMs)
{
    s_quietMs = quietMs;
    s_longestMs = longestMs;
}

}  // namespace qdsk
