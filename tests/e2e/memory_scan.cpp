#include "memory_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include <windows.h>

pid_t FindUnixProcess(const char *part1, const char *part2)
{
    DIR *proc = opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (dirent *entry = readdir(proc)) {
        pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
        if (pid <= 0)
            continue;
        char path[64];
        snprintf(path, sizeof path, "/proc/%d/cmdline", static_cast<int>(pid));
        FILE *f = fopen(path, "rb");
        if (!f)
            continue;
        char line[4096];
        size_t n = fread(line, 1, sizeof line - 1, f);
        fclose(f);
        for (size_t i = 0; i < n; ++i)
            if (line[i] == 0)
                line[i] = ' ';
        line[n] = 0;
        if (strstr(line, part1) && strstr(line, part2)) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

std::string FindInMemory(pid_t pid, const std::string &text, bool *readable)
{
    std::string utf16;
    for (char c : text) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/maps", static_cast<int>(pid));
    FILE *maps = fopen(path, "r");
    snprintf(path, sizeof path, "/proc/%d/mem", static_cast<int>(pid));
    int mem = open(path, O_RDONLY);
    *readable = maps && mem >= 0;
    std::string hits;
    size_t bytesRead = 0;
    char line[1024], previous[1024] = "";
    std::vector<char> buffer;
    while (*readable && fgets(line, sizeof line, maps)) {
        unsigned long long start = 0, end = 0;
        char perms[8] = {};
        line[strcspn(line, "\n")] = 0;
        if (sscanf(line, "%llx-%llx %7s", &start, &end, perms) != 3 || perms[1] != 'w') {
            if (strchr(line, '/'))
                lstrcpynA(previous, line, sizeof previous);
            continue;
        }
        if (strstr(line, "[vvar]") || end <= start || end - start > (1ull << 32))
            continue;
        // In pieces that overlap by the text's length, so no hit is cut.
        const size_t piece = 1 << 20, overlap = utf16.size();
        buffer.resize(piece + overlap);
        for (unsigned long long at = start; at < end; at += piece) {
            size_t want = static_cast<size_t>(end - at < piece + overlap ? end - at : piece + overlap);
            ssize_t got = pread(mem, buffer.data(), want, static_cast<off_t>(at));
            if (got <= 0)
                break;
            bytesRead += static_cast<size_t>(got);
            const std::string *patterns[] = {&text, &utf16};
            for (const std::string *pattern : patterns) {
                const char *from = buffer.data(), *limit = buffer.data() + got;
                while (const char *hit = static_cast<const char *>(
                           memmem(from, static_cast<size_t>(limit - from), pattern->data(), pattern->size()))) {
                    size_t offset = static_cast<size_t>(hit - buffer.data());
                    if (offset < piece) {
                        // An anonymous region right behind a library is its
                        // uninitialised data: the last named line before it names it.
                        char where[2400];
                        snprintf(where, sizeof where, "%s at 0x%llx in %s (after %s)\n",
                                 pattern == &text ? "ANSI" : "UTF-16", at + offset, line, previous);
                        hits += where;
                    }
                    from = hit + 1;
                }
            }
        }
        if (strchr(line, '/'))
            lstrcpynA(previous, line, sizeof previous);
    }
    if (maps)
        fclose(maps);
    if (mem >= 0)
        close(mem);
    if (bytesRead == 0)
        *readable = false;
    return hits;
}
