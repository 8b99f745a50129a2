// mkmani: makes the trace database archive "mani.sys" from an SQLite file.
//
//   mkmani --database FILE --output FILE [--entry NAME]
//   mkmani --check FILE
//
// The archive is a zip file with one entry, the database, deflated and
// encrypted with the traditional PKWARE method under the program's archive
// password. After writing, the archive is read back through the same checks
// the program applies, and compared with the input.
#include "env/archive_password.h"
#include "env/trace_archive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zip.h>

namespace {

bool ReadFile(const char *path, std::vector<unsigned char> &out)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

int Check(const char *archive, const std::vector<unsigned char> *expected)
{
    std::vector<unsigned char> data;
    if (!ReadFile(archive, data)) {
        fprintf(stderr, "mkmani: cannot read %s\n", archive);
        return 1;
    }
    unsigned char *db = nullptr;
    size_t size = 0;
    TraceArchiveResult r = ExtractTraceArchive(data.data(), data.size(), &db, &size);
    if (r != TRACE_ARCHIVE_OK) {
        fprintf(stderr, "mkmani: %s: %s\n", archive, TraceArchiveResultText(r));
        return 1;
    }
    bool same = !expected || (expected->size() == size && memcmp(expected->data(), db, size) == 0);
    free(db);
    if (!same) {
        fprintf(stderr, "mkmani: %s does not hold the database it was made from\n", archive);
        return 1;
    }
    return 0;
}

int Make(const char *database, const char *output, const char *entry)
{
    std::vector<unsigned char> db;
    if (!ReadFile(database, db)) {
        fprintf(stderr, "mkmani: cannot read %s\n", database);
        return 1;
    }
    if (!LooksLikeSqliteFile(db.data(), db.size())) {
        fprintf(stderr, "mkmani: %s is not an SQLite database file\n", database);
        return 1;
    }
    if (!IsPlainEntryName(entry)) {
        fprintf(stderr, "mkmani: entry name must be a plain file name\n");
        return 1;
    }
    remove(output);
    int error = 0;
    zip_t *za = zip_open(output, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        fprintf(stderr, "mkmani: cannot create %s (libzip error %d)\n", output, error);
        return 1;
    }
    zip_source_t *src = zip_source_buffer(za, db.data(), db.size(), 0);
    zip_int64_t index = src ? zip_file_add(za, entry, src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        fprintf(stderr, "mkmani: %s\n", zip_strerror(za));
        if (src && index < 0)
            zip_source_free(src);
        zip_discard(za);
        return 1;
    }
    char password[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(password);
    bool ok = zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9) == 0 &&
              zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE, password) == 0;
    // No zip_file_set_mtime here: libzip 1.7 then writes a password check
    // byte from the source's time that no reader accepts.
    WipeArchivePassword(password);
    if (!ok) {
        fprintf(stderr, "mkmani: %s\n", zip_strerror(za));
        zip_discard(za);
        return 1;
    }
    if (zip_close(za) != 0) {
        fprintf(stderr, "mkmani: cannot write %s: %s\n", output, zip_strerror(za));
        zip_discard(za);
        return 1;
    }
    return Check(output, &db);
}

void Usage()
{
    fprintf(stderr,
            "usage: mkmani --database FILE --output FILE [--entry NAME]\n"
            "       mkmani --check FILE\n");
}

} // namespace

int main(int argc, char **argv)
{
    const char *database = nullptr, *output = nullptr, *check = nullptr;
    const char *entry = "mani.db";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--database" && hasValue)
            database = argv[++i];
        else if (a == "--output" && hasValue)
            output = argv[++i];
        else if (a == "--entry" && hasValue)
            entry = argv[++i];
        else if (a == "--check" && hasValue)
            check = argv[++i];
        else {
            Usage();
            return 2;
        }
    }
    if (check && !database && !output)
        return Check(check, nullptr);
    if (!database || !output || check) {
        Usage();
        return 2;
    }
    return Make(database, output, entry);
}
