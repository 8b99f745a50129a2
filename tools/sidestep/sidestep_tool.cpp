// sidestep: asks the program's filter connection about file accesses, as the
// minifilter does in privacy mode, through the minifilter stand-in.
//
//   sidestep --archive FILE --drive X: [--device NTNAME] [--requesters N]
//       loads the rules of a "mani.sys"-style archive, binds them to the
//       drive, starts the connection (64 workers), reads NT paths from
//       standard input, one per line, sends them from N requesters at once
//       (default 1) and prints one line per path, in input order: the
//       MessageId, a tab, and the target (empty when not redirected).
//
// Bad input gets a message on standard error and exit code 2.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "env/trace_db.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"
#include "standin/sidestep/sidestep_standin.h"

namespace {

int Fail(const char *text)
{
    fprintf(stderr, "sidestep: %s\n", text);
    return 2;
}

} // namespace

extern "C" int wmain(int argc, WCHAR **argv)
{
    const WCHAR *archive = nullptr, *drive = nullptr, *device = nullptr;
    int requesters = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!lstrcmpW(argv[i], L"--archive"))
            archive = argv[i + 1];
        else if (!lstrcmpW(argv[i], L"--drive"))
            drive = argv[i + 1];
        else if (!lstrcmpW(argv[i], L"--device"))
            device = argv[i + 1];
        else if (!lstrcmpW(argv[i], L"--requesters"))
            requesters = StrToIntW(argv[i + 1]);
        else
            return Fail("unknown option");
    }
    if (!archive || !drive || requesters < 1 || requesters > 64)
        return Fail("usage: sidestep --archive FILE --drive X: [--device NTNAME] [--requesters 1-64]");

    WCHAR full[MAX_PATH], temp[MAX_PATH];
    GetFullPathNameW(archive, MAX_PATH, full, nullptr);
    if (UnpackTraceDatabaseFrom(full, temp) != 1 || OpenTraceDatabase(temp) != 1)
        return Fail("cannot open the archive");
    if (LoadApplications() != 1 || LoadRedirectRules() != 1) {
        CloseTraceDatabase(temp);
        return Fail("cannot read the rules");
    }
    CloseTraceDatabase(temp);
    ExpandRedirectRules();
    BindRedirectionDrive(drive, device);

    // Every line of standard input, as UTF-16 (at most 511 units each).
    std::vector<std::vector<WCHAR>> lines;
    char line[4096];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        std::vector<WCHAR> path(512, 0);
        if (line[0] && !MultiByteToWideChar(CP_UTF8, 0, line, -1, path.data(), 512))
            return Fail("a path longer than 511 units");
        lines.push_back(std::move(path));
    }
    std::vector<const WCHAR *> paths;
    for (auto &l : lines)
        paths.push_back(l.data());

    SidestepStandinPreset(TRUE, FALSE);
    if (!StartRedirectionFilter() || !SidestepStandinWaitConnected(10000))
        return Fail("the filter connection did not start");
    std::vector<SidestepAnswer> answers(paths.size());
    size_t answered = SidestepStandinAskMany(paths.data(), paths.size(), requesters, answers.data(), nullptr);
    StopRedirectionFilter();

    for (const SidestepAnswer &a : answers) {
        char target[2048];
        WideCharToMultiByte(CP_UTF8, 0, a.target, -1, target, sizeof target, nullptr, nullptr);
        printf("%llu\t%s\n", static_cast<unsigned long long>(a.messageId), target);
    }
    SidestepStandinReset();
    return answered == paths.size() ? 0 : Fail("not every request was answered");
}
