// The request as the minifilter's port delivers it: a 16-byte header
// (ReplyLength, MessageId) and the Path, at most 512 UTF-16 units with its
// terminator; the number of bytes delivered counts the header too.
// Platform-neutral: the worker reads its requests through this.
#pragma once

#include <cstddef>

enum : size_t {
    REQUEST_HEADER_BYTES = 16,
    REQUEST_WIRE_PATH_UNITS = 512,
};

// path: the request's Path buffer (REQUEST_WIRE_PATH_UNITS units); bytes:
// what the port delivered. The Path when a terminator lies within the
// delivered bytes and the buffer, else null (a malformed request).
const char16_t *RequestPathIn(const char16_t *path, size_t bytes);
