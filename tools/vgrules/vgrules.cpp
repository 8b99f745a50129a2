// vgrules: loads the redirection rules of a trace database and answers the
// redirection decision for NT paths, as the program does in privacy mode.
//
//   vgrules (--archive FILE | --database FILE) --drive X: [--device NTNAME]
//       reads NT paths from standard input, one per line, and prints one
//       line per path: the target, or an empty line when it is not
//       redirected. The folder of each redirected path is made on the drive,
//       as the program does.
//   vgrules (--archive FILE | --database FILE) --list
//       prints the sorted rule table: device path, name, flags, application
//       id, separated by tabs. Flags: r recursive, p wildcard folder,
//       n wildcard name, c copy; "-" where unset. A rule whose folder did not
//       expand shows "-" as its device path.
//
// FILE is a "mani.sys"-style archive or a plain SQLite file; Unix paths are
// accepted. Bad input gets a message on standard error and exit code 2.
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "env/trace_db.h"
#include "redirect/redirect_rules.h"

namespace {

const int kBadInput = 2;

// A line of input, in bytes: enough for 511 UTF-16 units of UTF-8 text.
const int kLineBytes = 4096;

int Fail(const char *format, const char *detail = "")
{
    fprintf(stderr, "vgrules: ");
    fprintf(stderr, format, detail);
    fprintf(stderr, "\n");
    return kBadInput;
}

void ToUtf8(const WCHAR *text, char *out, int size)
{
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, nullptr, nullptr))
        out[0] = 0;
}

// A file argument as a Win32 path: Unix paths go through Wine's mapping.
bool ToWin32Path(const WCHAR *arg, WCHAR *out)
{
#ifdef __WINE__
    if (arg[0] == L'/') {
        char unixPath[MAX_PATH * 4];
        if (!WideCharToMultiByte(CP_UTF8, 0, arg, -1, unixPath, sizeof unixPath, nullptr, nullptr))
            return false;
        WCHAR *dos = wine_get_dos_file_name(unixPath);
        if (!dos)
            return false;
        bool fits = lstrlenW(dos) < MAX_PATH;
        if (fits)
            lstrcpyW(out, dos);
        HeapFree(GetProcessHeap(), 0, dos);
        return fits;
    }
#endif
    if (lstrlenW(arg) >= MAX_PATH)
        return false;
    return GetFullPathNameW(arg, MAX_PATH, out, nullptr) > 0;
}

void Usage()
{
    fprintf(stderr,
            "usage: vgrules (--archive FILE | --database FILE) --drive X: [--device NTNAME]\n"
            "       vgrules (--archive FILE | --database FILE) --list\n");
}

void PrintTable()
{
    char device[4096], name[4096];
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *r = g_rules[i];
        if (r->devicePath)
            ToUtf8(r->devicePath, device, sizeof device);
        else
            lstrcpyA(device, "-");
        ToUtf8(r->name ? r->name : L"", name, sizeof name);
        printf("%s\t%s\t%c%c%c%c\t%d\n", device, name, r->isRecurse ? 'r' : '-', r->pathWild ? 'p' : '-',
               r->nameWild ? 'n' : '-', r->isCopy ? 'c' : '-', r->aid);
    }
}

int AnswerPaths()
{
    char line[kLineBytes];
    long number = 0;
    while (fgets(line, sizeof line, stdin)) {
        ++number;
        size_t len = strlen(line);
        bool complete = len > 0 && line[len - 1] == '\n';
        if (!complete && !feof(stdin))
            return Fail("line %s: longer than a request path (511 UTF-16 units)", std::to_string(number).c_str());
        while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r'))
            line[--len] = 0;
        WCHAR path[512];
        WCHAR target[512];
        if (len == 0) {
            path[0] = 0;
        } else {
            int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, -1, nullptr, 0);
            if (units == 0)
                return Fail("line %s: not valid UTF-8", std::to_string(number).c_str());
            if (units > 512)
                return Fail("line %s: longer than a request path (511 UTF-16 units)", std::to_string(number).c_str());
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, -1, path, 512);
        }
        char out[2048] = "";
        if (MatchRedirect(path, target))
            ToUtf8(target, out, sizeof out);
        printf("%s\n", out);
        fflush(stdout);
    }
    if (ferror(stdin))
        return Fail("cannot read standard input");
    return 0;
}

} // namespace

extern "C" int wmain(int argc, WCHAR **argv)
{
    const WCHAR *archive = nullptr, *database = nullptr, *drive = nullptr, *device = nullptr;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (!lstrcmpW(argv[i], L"--archive") && hasValue)
            archive = argv[++i];
        else if (!lstrcmpW(argv[i], L"--database") && hasValue)
            database = argv[++i];
        else if (!lstrcmpW(argv[i], L"--drive") && hasValue)
            drive = argv[++i];
        else if (!lstrcmpW(argv[i], L"--device") && hasValue)
            device = argv[++i];
        else if (!lstrcmpW(argv[i], L"--list"))
            list = true;
        else {
            Usage();
            return kBadInput;
        }
    }
    if ((archive != nullptr) == (database != nullptr) || (!list && !drive) || (list && (drive || device))) {
        Usage();
        return kBadInput;
    }
    if (drive && !(((drive[0] | 0x20) >= L'a' && (drive[0] | 0x20) <= L'z') && drive[1] == L':' && !drive[2]))
        return Fail("--drive wants a drive letter and a colon, such as X:");
    if (device && (device[0] != L'\\' || lstrlenW(device) >= MAX_PATH))
        return Fail("--device wants an NT device name such as \\Device\\HarddiskVolume2");

    char shown[MAX_PATH * 4];
    WCHAR file[MAX_PATH];
    const WCHAR *given = archive ? archive : database;
    ToUtf8(given, shown, sizeof shown);
    if (!ToWin32Path(given, file))
        return Fail("%s: not a usable path", shown);
    DWORD attributes = GetFileAttributesW(file);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("%s: no such file", shown);

    WCHAR temp[MAX_PATH] = {0};
    if (archive) {
        if (!UnpackTraceDatabaseFrom(file, temp))
            return Fail("%s: not a valid trace database archive", shown);
        if (!OpenTraceDatabase(temp)) {
            CloseTraceDatabase(temp);
            return Fail("%s: the database in the archive cannot be opened", shown);
        }
    } else if (!OpenTraceDatabase(file)) {
        return Fail("%s: cannot be opened as a database", shown);
    }
    bool loaded = LoadApplications() && LoadRedirectRules();
    CloseTraceDatabase(archive ? temp : nullptr);
    if (!loaded)
        return Fail("%s: not a trace database (the apps or apppaths query failed)", shown);
    ExpandRedirectRules();

    int result = 0;
    if (list) {
        PrintTable();
    } else {
        BindRedirectionDrive(drive, device);
        if (!g_redirectionDevice[0]) {
            ToUtf8(drive, shown, sizeof shown);
            result = Fail("no device name for drive %s; give one with --device", shown);
        } else {
            result = AnswerPaths();
        }
    }
    FreeRedirectRules();
    FreeApplications();
    return result;
}
