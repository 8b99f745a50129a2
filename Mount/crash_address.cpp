#include "crash_address.h"

#include <cstdio>

int FormatCrashReportAddress(char *out, size_t outSize, const char *prefix, const CrashFacts &f)
{
    if (outSize == 0)
        return -1;
    int n = snprintf(out, outSize,
                     "%sapplink.php?version=2.0&dest=err-report%s&os=Windows&osver=%u.%u.%u&arch=%s&cpus=%u"
                     "&app=%s&cksum=%x&dlg=%s&err=%x&addr=%x",
                     prefix, "", f.osMajor, f.osMinor, f.servicePack, f.arch, f.cpus, "main", f.checksum,
                     f.dialog, f.code, f.address);
    if (n < 0 || static_cast<size_t>(n) >= outSize) {
        out[0] = 0;
        return -1;
    }
    for (int i = 0; i < 8 && f.stack[i] != 0; ++i) {
        int m = snprintf(out + n, outSize - n, "&st%d=%x", i, f.stack[i]);
        if (m < 0 || static_cast<size_t>(m) >= outSize - n) {
            out[0] = 0;
            return -1;
        }
        n += m;
    }
    return n;
}

bool IsCriticalException(uint32_t code)
{
    switch (code) {
    case 0xC0000006u:  // in-page error
    case 0x0EEDFADEu:  // foreign language runtime exception
    case 0x80000003u:  // breakpoint
    case 0x80000004u:  // single step
    case 0xC000001Du:  // illegal instruction
    case 0xC000001Eu:  // invalid lock sequence
    case 0xC0000096u:  // privileged instruction
        return true;
    default:
        return false;
    }
}
