// The stand-in's view archive: a frame unpacked from the container's data
// area into a private folder. The input is fed in pieces of varying size;
// nothing may land outside the folder, and the folder is emptied after each
// run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "standin/qdsk/view_archive.h"

namespace {

std::string &Folder()
{
    static std::string folder = [] {
        char pattern[] = "/tmp/vg-fuzz-view-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (!made)
            abort();
        return std::string(made);
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &dir = Folder();
    if (size >= VIEW_FRAME_HEADER)
        ViewFrameLength(data);
    {
        ViewUnpacker unpacker(dir);
        // Piece sizes follow the input itself, so that the header, a path
        // and a file's bytes are split at every place over the runs.
        size_t at = 0, piece = size ? (data[0] % 37) + 1 : 1;
        while (at < size && !unpacker.Done()) {
            size_t n = size - at < piece ? size - at : piece;
            if (!unpacker.Feed(data + at, n))
                break;
            at += n;
            piece = piece * 3 % 61 + 1;
        }
        unpacker.Finish();
    }
    WipeTree(dir);
    mkdir(dir.c_str(), 0700);
    return 0;
}
