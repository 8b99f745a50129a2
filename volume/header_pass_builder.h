// The headers of a password change, built ahead of their writes on threads
// of their own: while one header is written and flushed, the next ones'
// salts are drawn and their keys derived (one thread per processor, at most
// two, each building every other header). Each header is built exactly as
// it would be in line, with its own draw from the random pool and its own
// derivation; only building and writing overlap, and the headers are
// handed out, and written, in order.
#pragma once
#include <windows.h>

#include <cstdint>

#include "crypto/crypto_context.h"
#include "volume/password_record.h"

struct HeaderPassBuilder;

// What every header of the change is built from. The context, the password
// and the random pool must stay valid until the builder is stopped.
struct HeaderPassJob {
    const QdskCryptoContext *context;  // the opened header: cipher, mode, PRF, master key, sizes, flags
    const QdskPassword *password;      // the new password
    uint64_t hiddenSize;
    int count;  // headers to build, in the order they are written; the last
                // one's salt is drawn after a deep poll
};

// Builds the header of pass `pass` of the job into header (512 bytes): the
// in-line way, also what the builder threads run. 0 or the build's result.
int BuildHeaderPass(const HeaderPassJob &job, int pass, uint8_t *header);

// Starts the threads, which start building at once; null when they could
// not be started (the caller then builds in line).
HeaderPassBuilder *StartHeaderPassBuilder(const HeaderPassJob &job);

// Waits for the next header in order, copies it into header and lets its
// thread go on. 0 or the build's result; after a failure the caller stops.
int NextBuiltHeader(HeaderPassBuilder *builder, uint8_t *header);

// Ends the threads (a header being built is finished and thrown away),
// wipes what they built and releases everything. Null is fine.
void StopHeaderPassBuilder(HeaderPassBuilder *builder);
