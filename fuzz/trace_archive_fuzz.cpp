// The trace database archive as the update check downloads it: the zip
// reading with the archive password, the entry checks, the decryption and
// the database shape check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "env/trace_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned char *db = nullptr;
    size_t dbSize = 0;
    TraceArchiveResult result = ExtractTraceArchive(data, size, &db, &dbSize);
    if (result == TRACE_ARCHIVE_OK && (!db || !LooksLikeSqliteFile(db, dbSize)))
        abort();  // a success must hand back a database
    free(db);
    return 0;
}
