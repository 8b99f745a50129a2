#include "redirect/request_wire.h"

const char16_t *RequestPathIn(const char16_t *path, size_t bytes)
{
    if (bytes <= REQUEST_HEADER_BYTES)
        return nullptr;
    size_t units = (bytes - REQUEST_HEADER_BYTES) / sizeof(char16_t);
    if (units > REQUEST_WIRE_PATH_UNITS)
        units = REQUEST_WIRE_PATH_UNITS;
    for (size_t i = 0; i < units; ++i)
        if (path[i] == 0)
            return path;
    return nullptr;
}
