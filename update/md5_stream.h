// MD5 over data fed in pieces, written as 32 lower-case hexadecimal digits.
// Platform-neutral (libgcrypt).
#pragma once

#include <cstddef>

struct gcry_md_handle;

class Md5Stream {
public:
    Md5Stream();
    ~Md5Stream();
    Md5Stream(const Md5Stream &) = delete;
    Md5Stream &operator=(const Md5Stream &) = delete;

    // False when the hash could not be opened; Update and Finish then fail.
    bool ok() const { return handle_ != nullptr; }
    void Update(const void *data, size_t size);
    // Writes the digest of everything fed so far into out (33 bytes); false
    // when the hash is not usable.
    bool Finish(char out[33]);

private:
    gcry_md_handle *handle_;
};
