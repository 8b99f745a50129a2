// What the update server answers, before any of it is believed: "update.txt"
// (the digest offer), "setup.txt" (the version offer), the Content-Length
// texts and the block size they lead to, and the signed manifest (its form
// and, for the well-formed, the signature check against a fixed key).
// Input: one answer; every reader sees it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/update_manifest.h"
#include "update/update_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *raw = reinterpret_cast<const char *>(data);
    // The version files are read once, at most 100 bytes, as a text.
    std::string text(raw, size < UPDATE_VERSION_READ_MAX ? size : UPDATE_VERSION_READ_MAX);
    char digest[UPDATE_DIGEST_CHARS + 1];
    if (ParseUpdateDigest(text.data(), text.size(), digest) && !OffersNewDatabase(text.data(), text.size(), nullptr))
        abort();  // a readable digest is always an offer against no archive
    OffersNewDatabase(text.data(), text.size(), "0123456789abcdef0123456789abcdef");
    OffersNewProgram(text.c_str(), kThisProgramVersion);
    SameDigest(text.c_str(), "0123456789abcdef0123456789abcdef");
    IsStatusOk(text.c_str());
    uint64_t length = 0;
    if (ParseContentLength(text.c_str(), &length)) {
        size_t block = DownloadBlockSize(true, length);
        if (block == 0 || block > DOWNLOAD_MAX_BLOCK)
            abort();
    }

    std::string whole(raw, size);
    UpdateManifest manifest;
    if (ParseUpdateManifest(whole.data(), whole.size(), &manifest)) {
        if (manifest.signedBytes == 0 || manifest.signedBytes >= size || manifest.serial == 0)
            abort();
        static const uint8_t kKey[ED25519_KEY_BYTES] = {
            0xd7, 0x5a, 0x98, 0x01, 0x82, 0xb1, 0x0a, 0xb7, 0xd5, 0x4b, 0xfe, 0xd3, 0xc9, 0x64, 0x07, 0x3a,
            0x0e, 0xe1, 0x72, 0xf3, 0xda, 0xa6, 0x23, 0x25, 0xaf, 0x02, 0x1a, 0x68, 0xf7, 0x07, 0x51, 0x1a};
        VerifyUpdateManifest(whole.data(), manifest, kKey);
    }
    return 0;
}
