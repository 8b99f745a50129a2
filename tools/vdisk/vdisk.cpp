// vdisk: creates and inspects encrypted containers.
//
//   vdisk create [--algorithm N] [--prf N] --size BYTES FILE
//   vdisk info FILE
//
// The password is one line on standard input (at most 64 bytes), never an
// argument. create writes an XTS header at 0, its backup (same master key,
// new salt) at size - 131072, the fresh-container mark (encrypted) at the
// start of the data area, and random bytes everywhere else; it never
// overwrites an existing file and removes its own file when it fails.
// info prints "header: " and "backup: " lines, and when the header opened a
// "data: " line (fresh: the data area holds the fresh-container mark; used:
// anything else; none: no data area), and exits 0 when the header opened, 1
// when it did not. Bad input: a message on standard error and
// exit code 2; a failure while writing: exit code 3.
#include <gcrypt.h>
#include <sys/types.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/modes.h"
#include "crypto/random_pool.h"
#include "crypto/secure_memory.h"
#include "standin/qdsk/fresh_mark.h"
#include "volume/volume_header.h"

namespace {

constexpr uint64_t HeaderAreaSize = 131072;  // primary header area; the backup area has the same size
constexpr uint64_t MinimumSize = 2 * HeaderAreaSize;
constexpr int ExitOk = 0, ExitNotOpened = 1, ExitBadInput = 2, ExitWriteFailed = 3;

int Usage(const char *problem)
{
    // One line: "vdisk: <problem> (usage: ...)".
    fprintf(stderr, "vdisk: %s (usage: vdisk create [--algorithm N] [--prf N] --size BYTES FILE | vdisk info FILE)\n",
            problem);
    return ExitBadInput;
}

int Fail(int code, const char *message, const char *detail = nullptr)
{
    if (detail)
        fprintf(stderr, "vdisk: %s: %s\n", message, detail);
    else
        fprintf(stderr, "vdisk: %s\n", message);
    return code;
}

bool ParseNumber(const char *text, uint64_t &value)
{
    if (text == nullptr || *text == '\0')
        return false;
    value = 0;
    for (const char *p = text; *p; p++) {
        if (*p < '0' || *p > '9')
            return false;
        uint64_t digit = uint64_t(*p - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// One line from standard input, without its line end, at most 64 bytes.
const char *ReadPassword(QdskPassword *password)
{
    char line[QDSK_MAX_PASSWORD + 3];  // 64 bytes, "\r\n", the terminator
    const char *problem = nullptr;
    if (fgets(line, sizeof line, stdin) == nullptr) {
        problem = "cannot read the password from standard input";
    } else {
        size_t length = strlen(line);
        bool complete = length > 0 && line[length - 1] == '\n';
        if (complete)
            length--;
        if (length > 0 && line[length - 1] == '\r')
            length--;
        if (!complete && !feof(stdin))
            problem = "password longer than 64 bytes";
        else if (length > QDSK_MAX_PASSWORD)
            problem = "password longer than 64 bytes";
        else if (length == 0)
            problem = "empty password";
        else if (memchr(line, '\0', length) != nullptr)
            problem = "password contains a NUL byte";
        else {
            password->ByteCount = uint32_t(length);
            memcpy(password->Bytes, line, length);
        }
    }
    BurnMemory(line, sizeof line);
    return problem;
}

bool WriteRandom(FILE *file, uint64_t length)
{
    static uint8_t buffer[65536];
    bool ok = true;
    while (ok && length > 0) {
        size_t chunk = length < sizeof buffer ? size_t(length) : sizeof buffer;
        gcry_randomize(buffer, chunk, GCRY_STRONG_RANDOM);
        ok = fwrite(buffer, 1, chunk, file) == chunk;
        length -= chunk;
    }
    return ok;
}

int Create(int argc, char **argv)
{
    uint64_t algorithm = 1, prf = PRF_HMAC_RIPEMD160, size = 0;
    bool haveSize = false;
    const char *path = nullptr;
    for (int i = 2; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--algorithm" || arg == "--prf" || arg == "--size") {
            uint64_t value;
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], value))
                return Usage(("option " + arg + " needs a number").c_str());
            i++;
            if (arg == "--algorithm")
                algorithm = value;
            else if (arg == "--prf")
                prf = value;
            else
                size = value, haveSize = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else if (path == nullptr) {
            path = argv[i];
        } else {
            return Usage("more than one file given");
        }
    }
    if (path == nullptr)
        return Usage("no file given");
    if (!haveSize)
        return Usage("--size is required");
    if (algorithm > LAST_ALGORITHM || !IsModeAllowed(int32_t(algorithm), MODE_XTS))
        return Usage("--algorithm must name an algorithm that allows XTS (1 to 8)");
    if (!IsValidPrf(int32_t(prf)))
        return Usage("--prf must be 1 to 4");
    if (size < MinimumSize)
        return Usage("--size must be at least 262144");
    if (size > uint64_t(INT64_MAX))
        return Usage("--size too large");

    LockedBuffer<QdskPassword> password;
    if (!password || !InitCrypto() || !OpenRandomPool())
        return Fail(ExitWriteFailed, "cannot set up the key material");
    if (const char *problem = ReadPassword(password.get()))
        return Fail(ExitBadInput, problem);

    const uint64_t dataSize = size - MinimumSize;
    uint8_t header[VOLUME_HEADER_SIZE], backup[VOLUME_HEADER_SIZE];
    QdskCryptoContext *volume = nullptr;
    int status = BuildVolumeHeader(false, header, int32_t(algorithm), MODE_XTS, password.get(), int32_t(prf),
                                   nullptr, &volume, dataSize, 0, HeaderAreaSize, dataSize, 0x0600, 0, false);
    if (status == VOLUME_OK)
        status = BuildVolumeHeader(false, backup, int32_t(algorithm), MODE_XTS, password.get(), int32_t(prf),
                                   volume->masterKey, nullptr, dataSize, 0, HeaderAreaSize, dataSize, 0x0600, 0,
                                   false);
    // The first data unit says "no files yet", so that the volume driver
    // can tell a new container from one whose contents it cannot read.
    uint8_t mark[512] = {};
    const bool haveMark = dataSize >= sizeof mark;
    memcpy(mark, FreshMark(), FRESH_MARK_SIZE);
    if (status == VOLUME_OK && haveMark &&
        !XtsEncrypt(volume->algorithm, volume->primarySchedules, volume->secondarySchedules, mark, sizeof mark,
                    HeaderAreaSize / 512))
        status = VOLUME_CIPHER_INIT_FAILED;
    ReleaseCryptoContext(volume);
    CloseRandomPool();
    if (status != VOLUME_OK) {
        BurnMemory(header, sizeof header);
        fprintf(stderr, "vdisk: building the header failed with code %d\n", status);
        return ExitWriteFailed;
    }

    int result = ExitOk;
    FILE *file = fopen(path, "wbx");  // never replaces an existing file
    if (file == nullptr) {
        result = Fail(ExitBadInput, "cannot create the file (does it exist already?)", path);
    } else {
        bool ok = fwrite(header, 1, sizeof header, file) == sizeof header &&
                  WriteRandom(file, HeaderAreaSize - sizeof header) &&
                  (!haveMark || fwrite(mark, 1, sizeof mark, file) == sizeof mark) &&
                  WriteRandom(file, haveMark ? dataSize - sizeof mark : dataSize) &&
                  fwrite(backup, 1, sizeof backup, file) == sizeof backup &&
                  WriteRandom(file, HeaderAreaSize - sizeof backup);
        ok = fflush(file) == 0 && ok;
        ok = fclose(file) == 0 && ok;
        if (!ok) {
            remove(path);
            result = Fail(ExitWriteFailed, "writing the container failed", path);
        }
    }
    BurnMemory(header, sizeof header);
    BurnMemory(backup, sizeof backup);
    return result;
}

// Prints the line of one header; true when it opened.
bool PrintHeader(const char *label, const uint8_t *header, const QdskPassword *password)
{
    QdskCryptoContext *ctx = nullptr;
    if (OpenVolumeHeader(false, header, password, &ctx, nullptr) != VOLUME_OK) {
        printf("%s: fail\n", label);
        return false;
    }
    printf("%s: ok algorithm=%d mode=%d prf=%d version=%u minprog=0x%04x dataSize=%" PRIu64 " areaStart=%" PRIu64
           " areaLength=%" PRIu64 " hiddenSize=%" PRIu64 " flags=%" PRIu32 "\n",
           label, int(ctx->algorithm), int(ctx->modeId), int(ctx->kdfPrf), unsigned(ctx->headerVersion),
           unsigned(ctx->minProgramVersion), ctx->dataSize, ctx->areaStart, ctx->areaLength, ctx->hiddenSize,
           ctx->flags);
    ReleaseCryptoContext(ctx);
    return true;
}

bool ReadAt(FILE *file, uint64_t offset, uint8_t *buffer)
{
    return fseeko(file, off_t(offset), SEEK_SET) == 0 && fread(buffer, 1, VOLUME_HEADER_SIZE, file) == VOLUME_HEADER_SIZE;
}

// The "data: " line: whether the data area still starts with the mark.
void PrintDataArea(FILE *file, const uint8_t *header, const QdskPassword *password)
{
    QdskCryptoContext *ctx = nullptr;
    if (OpenVolumeHeader(false, header, password, &ctx, nullptr) != VOLUME_OK)
        return;
    uint8_t unit[512];
    const char *state = "none";
    if (ctx->dataSize >= sizeof unit && fseeko(file, off_t(ctx->areaStart), SEEK_SET) == 0 &&
        fread(unit, 1, sizeof unit, file) == sizeof unit) {
        bool plain = ctx->modeId == MODE_XTS
                         ? XtsDecrypt(ctx->algorithm, ctx->primarySchedules, ctx->secondarySchedules, unit,
                                      sizeof unit, ctx->areaStart / 512)
                         : DecryptVolumeBuffer(unit, sizeof unit, ctx);
        state = plain && IsFreshMark(unit) ? "fresh" : "used";
    }
    printf("data: %s\n", state);
    BurnMemory(unit, sizeof unit);
    ReleaseCryptoContext(ctx);
}

int Info(int argc, char **argv)
{
    if (argc != 3)
        return Usage(argc < 3 ? "no file given" : "info takes one file and no options");
    if (argv[2][0] == '-')
        return Usage((std::string("unknown option ") + argv[2]).c_str());
    const char *path = argv[2];
    FILE *file = fopen(path, "rb");
    if (file == nullptr)
        return Fail(ExitBadInput, "cannot open the file", path);
    uint8_t header[VOLUME_HEADER_SIZE], backup[VOLUME_HEADER_SIZE];
    bool ok = fseeko(file, 0, SEEK_END) == 0;
    off_t size = ok ? ftello(file) : -1;
    if (size < off_t(MinimumSize)) {
        fclose(file);
        return Fail(ExitBadInput, "file too short for a container", path);
    }
    ok = ReadAt(file, 0, header) && ReadAt(file, uint64_t(size) - HeaderAreaSize, backup);
    if (!ok) {
        fclose(file);
        return Fail(ExitBadInput, "cannot read the headers", path);
    }

    LockedBuffer<QdskPassword> password;
    const char *problem = nullptr;
    if (!password || !InitCrypto() || (problem = ReadPassword(password.get())) != nullptr) {
        fclose(file);
        return problem ? Fail(ExitBadInput, problem) : Fail(ExitWriteFailed, "cannot set up the key material");
    }

    bool opened = PrintHeader("header", header, password.get());
    PrintHeader("backup", backup, password.get());
    if (opened)
        PrintDataArea(file, header, password.get());
    fclose(file);
    BurnMemory(header, sizeof header);
    BurnMemory(backup, sizeof backup);
    return opened ? ExitOk : ExitNotOpened;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage("no command given");
    std::string command = argv[1];
    if (command == "create")
        return Create(argc, argv);
    if (command == "info")
        return Info(argc, argv);
    return Usage(("unknown command " + command).c_str());
}
