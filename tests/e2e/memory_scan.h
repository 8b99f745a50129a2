// Looks through the whole writable memory of a running program (a Winelib
// program is a Linux process) for a text, as ANSI and as UTF-16.
#pragma once
#include <string>
#include <sys/types.h>

// The Linux process id of the running program whose command line contains
// every one of the given parts, or 0.
pid_t FindUnixProcess(const char *part1, const char *part2);

// Where the text occurs ("" when nowhere): one line per hit with the
// address, the encoding and the mapping it lies in. readable is set false
// when the memory could not be read at all.
std::string FindInMemory(pid_t pid, const std::string &text, bool *readable);
