// Interposing the prefix's C: drive while the minifilter's stand-in has a
// connection: starts the file system process (sidestep_fs, beside the
// program), relays its questions to the program through the port exactly as
// the minifilter's requests, and gives the drive back on unload. When the
// file system process goes away by itself (the program did not answer in
// time), the drive is given back here too and the stand-in unloads itself.
// Linux calls and Win32 ones in one file: no winsock, no min/max macros.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>

#include "standin/sidestep/sidestep_connection.h"
#include "standin/sidestep/fs/sidestep_fs_wire.h"

extern "C" char *CDECL wine_get_unix_file_name(const WCHAR *dosW);

namespace {

const DWORD ReadyTimeoutMs = 10000, StopTimeoutMs = 5000, AnswerTimeoutMs = 4000;
enum { Relays = 4 };

struct Interposition {
    int socket = -1;
    HANDLE relays[Relays] = {};
    HANDLE stopped = nullptr;  // the file system is done: it said C: is back, or it has gone
    std::atomic<bool> gaveBack{false};  // it said C: is back
    HANDLE ready = nullptr;
    std::atomic<bool> stopping{false};
    std::string link, original, mount;
};

std::mutex s_interposeLock;  // s_current
Interposition *s_current;
std::atomic<bool> s_disabled{false};
std::atomic<bool> s_holdAnswers{false};

std::string UnixName(const WCHAR *dos)
{
    char *name = wine_get_unix_file_name(dos);
    if (!name)
        return std::string();
    std::string out(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

std::string Narrow(const WCHAR *text)
{
    char buffer[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer) : std::string();
}

// C: back at the real folder and the mount detached, done from here when
// the file system process cannot do it any more.
void GiveBackHere(const Interposition *in)
{
    char now[PATH_MAX];
    ssize_t n = readlink(in->link.c_str(), now, sizeof now - 1);
    if (n > 0) {
        now[n] = 0;
        if (in->mount == now) {
            std::string temporary = in->link + ".sidestep";
            unlink(temporary.c_str());
            if (symlink(in->original.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), in->link.c_str()))
                unlink(temporary.c_str());
        }
    }
    umount2(in->mount.c_str(), MNT_DETACH);
}

DWORD WINAPI Relay(LPVOID param)
{
    Interposition *in = static_cast<Interposition *>(param);
    SidestepFsRecord record;
    while (ReceiveSidestepFsRecord(in->socket, record)) {
        if (record.kind == SIDESTEP_FS_READY) {
            SetEvent(in->ready);
        } else if (record.kind == SIDESTEP_FS_STOPPED) {
            in->gaveBack = true;
            SetEvent(in->stopped);
        } else if (record.kind == SIDESTEP_FS_ASK) {
            // A program that does not answer (tests): held here, at most 20 s.
            for (int i = 0; i < 2000 && s_holdAnswers && !in->stopping; ++i)
                Sleep(10);
            // The minifilter's request for the access, to the program.
            SidestepAnswer answer = {};
            WCHAR path[SIDESTEP_FS_PATH_UNITS];
            memcpy(path, record.path, sizeof path);
            if (!SidestepStandinAsk(path, &answer))
                answer.target[0] = 0;
            SidestepFsRecord reply = {};
            reply.kind = SIDESTEP_FS_ANSWER;
            reply.id = record.id;
            memcpy(reply.path, answer.target, sizeof reply.path);
            reply.path[SIDESTEP_FS_PATH_UNITS - 1] = 0;
            send(in->socket, &reply, sizeof reply, MSG_NOSIGNAL);
        }
    }
    if (!in->stopping.exchange(true)) {
        // The file system ended without being asked to (it found the
        // program too slow): C: goes back and the stand-in unloads itself.
        GiveBackHere(in);
        SetEvent(in->stopped);
        sidestep::UnloadBySelf();
    } else {
        // Asked to stop, it ended without a word (killed, or gone before
        // its answer): nothing to wait for any more.
        SetEvent(in->stopped);
    }
    return 0;
}

void Release(Interposition *in)
{
    if (in->socket >= 0)
        close(in->socket);
    for (HANDLE h : in->relays)
        if (h)
            CloseHandle(h);
    if (in->ready)
        CloseHandle(in->ready);
    if (in->stopped)
        CloseHandle(in->stopped);
    delete in;
}

} // namespace

namespace sidestep {

void SetInterposition(BOOL on) { s_disabled = !on; }
void HoldAnswers(BOOL hold) { s_holdAnswers = hold != FALSE; }

bool StartInterposition(const WCHAR *redirectionDevice)
{
    if (s_disabled)
        return true;
    auto *in = new Interposition;
    std::string link = UnixName(L"C:\\");
    while (link.size() > 1 && link.back() == '/')
        link.pop_back();
    size_t slash = link.rfind('/');
    char original[PATH_MAX];
    ssize_t n = readlink(link.c_str(), original, sizeof original - 1);
    if (link.empty() || slash == std::string::npos || n <= 0) {
        delete in;
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    original[n] = 0;
    std::string dosdevices = link.substr(0, slash);
    std::string prefix = dosdevices.substr(0, dosdevices.rfind('/'));
    in->link = link;
    in->mount = prefix + "/sidestep-c";
    in->original = original;
    if (in->original == in->mount)  // left by a run that ended with both halves killed
        in->original = "../drive_c";
    std::string driveC = in->original[0] == '/' ? in->original : dosdevices + "/" + in->original;

    WCHAR device[MAX_PATH] = {};
    QueryDosDeviceW(L"C:", device, MAX_PATH);
    // The redirection drive's folder: the drive whose device is the context.
    std::string root;
    for (WCHAR letter = L'A'; letter <= L'Z' && root.empty(); ++letter) {
        WCHAR drive[3] = {letter, L':', 0}, name[MAX_PATH] = {};
        if (redirectionDevice && redirectionDevice[0] && QueryDosDeviceW(drive, name, MAX_PATH) &&
            lstrcmpiW(name, redirectionDevice) == 0) {
            WCHAR rootDos[4] = {letter, L':', L'\\', 0};
            char resolved[PATH_MAX];
            std::string unixRoot = UnixName(rootDos);
            if (!unixRoot.empty() && realpath(unixRoot.c_str(), resolved))
                root = resolved;
        }
    }

    // The file system program beside this one.
    WCHAR module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    while (length && module[length - 1] != L'\\')
        --length;
    module[length] = 0;
    std::string helper = UnixName(module);
    if (!helper.empty() && helper.back() != '/')
        helper += '/';
    helper += "sidestep_fs";

    int pair[2];
    in->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    in->stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!in->ready || !in->stopped || access(helper.c_str(), X_OK) != 0 ||
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        Release(in);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    in->socket = pair[0];
    std::string program = std::to_string(getpid()), timeout = std::to_string(AnswerTimeoutMs);
    std::string cDevice = Narrow(device), rDevice = Narrow(redirectionDevice ? redirectionDevice : L"");
    const char *argv[] = {helper.c_str(), "--drive-c", driveC.c_str(), "--mount", in->mount.c_str(),
                          "--link", link.c_str(), "--original", in->original.c_str(), "--c-device",
                          cDevice.c_str(), "--r-device", rDevice.c_str(), "--r-root", root.c_str(),
                          "--program", program.c_str(), "--timeout-ms", timeout.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, helper.c_str(), &actions, &attributes, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pair[1]);
    if (spawned != 0) {
        Release(in);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    waitpid(pid, nullptr, 0);  // it leaves at once; its child serves

    for (HANDLE &relay : in->relays)
        relay = CreateThread(nullptr, 0, Relay, in, 0, nullptr);
    if (WaitForSingleObject(in->ready, ReadyTimeoutMs) != WAIT_OBJECT_0) {
        in->stopping = true;
        shutdown(in->socket, SHUT_RDWR);
        GiveBackHere(in);
        for (HANDLE relay : in->relays)
            if (relay)
                WaitForSingleObject(relay, StopTimeoutMs);
        Release(in);
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    std::lock_guard<std::mutex> guard(s_interposeLock);
    s_current = in;
    return true;
}

void StopInterposition(void)
{
    Interposition *in;
    {
        std::lock_guard<std::mutex> guard(s_interposeLock);
        in = s_current;
        s_current = nullptr;
    }
    if (!in)
        return;
    DWORD self = GetCurrentThreadId();
    if (!in->stopping.exchange(true)) {
        SidestepFsRecord record = {};
        record.kind = SIDESTEP_FS_STOP;
        bool told = send(in->socket, &record, sizeof record, MSG_NOSIGNAL) == sizeof record;
        if (told && WaitForSingleObject(in->stopped, StopTimeoutMs) == WAIT_OBJECT_0 && in->gaveBack)
            CountStopAnswered();
        else
            GiveBackHere(in);
    }
    shutdown(in->socket, SHUT_RDWR);
    bool ended = true;
    for (HANDLE relay : in->relays)
        if (relay && GetThreadId(relay) != self)
            ended = WaitForSingleObject(relay, StopTimeoutMs) == WAIT_OBJECT_0 && ended;
    // A relay still inside a request keeps the record; it is small.
    bool own = false;
    for (HANDLE relay : in->relays)
        own = own || (relay && GetThreadId(relay) == self);
    if (ended && !own)
        Release(in);
}

} // namespace sidestep
