#include "update/md5_stream.h"

#include "crypto/crypto_init.h"
#include "update/update_rules.h"

#include <gcrypt.h>

Md5Stream::Md5Stream() : handle_(nullptr)
{
    gcry_md_hd_t h = nullptr;
    if (InitCrypto() && gcry_md_open(&h, GCRY_MD_MD5, 0) == 0)
        handle_ = h;
}

Md5Stream::~Md5Stream()
{
    if (handle_)
        gcry_md_close(handle_);
}

void Md5Stream::Update(const void *data, size_t size)
{
    if (handle_ && size)
        gcry_md_write(handle_, data, size);
}

bool Md5Stream::Finish(char out[33])
{
    out[0] = 0;
    if (!handle_)
        return false;
    const unsigned char *digest = gcry_md_read(handle_, GCRY_MD_MD5);
    if (!digest)
        return false;
    DigestToHex(digest, out);
    return true;
}
