// The address of the crash report page: the facts of a crash, formed into the
// query that the vendor's web server understands.
#pragma once
#include <cstddef>
#include <cstdint>

struct CrashFacts {
    uint32_t osMajor, osMinor, servicePack;
    const char *arch;        // "x86" or "x64"
    uint32_t cpus;
    uint32_t checksum;       // CRC-32 of the executable file, 0 when unreadable
    const char *dialog;      // key of the dialog last localized, or "-"
    uint32_t code;           // exception code
    uint32_t address;        // exception address
    uint32_t stack[8];       // return addresses found on the stack; 0 = empty slot
};

// Writes the address into out (always terminated). Returns the length, or -1
// when it did not fit.
int FormatCrashReportAddress(char *out, size_t outSize, const char *prefix, const CrashFacts &f);

// True for the exception codes that get the short "critical" notice instead of
// a report.
bool IsCriticalException(uint32_t code);
