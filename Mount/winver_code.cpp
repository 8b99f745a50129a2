#include "winver_code.h"

int ComputeWindowsVersionCode(uint32_t platformId, uint32_t major, uint32_t minor, uint8_t productType)
{
    switch (platformId) {
    case 0:
        return WIN_32S;
    case 1:
        if (major != 4)
            return WIN_UNKNOWN;
        if (minor == 0)
            return WIN_95;
        if (minor == 10)
            return WIN_98;
        if (minor == 90)
            return WIN_ME;
        return WIN_UNKNOWN;
    case 2:
        if (major >= 6)
            return WIN_VISTA_OR_LATER;
        if (major == 5) {
            if (minor == 0)
                return WIN_2000;
            if (minor == 1)
                return WIN_XP;
            if (minor == 2)
                return (productType == 2 || productType == 3) ? WIN_SERVER_2003 : WIN_XP64;
            return WIN_UNKNOWN;
        }
        if (major == 4)
            return WIN_NT4;
        return WIN_UNKNOWN;
    default:
        return WIN_UNKNOWN;
    }
}
