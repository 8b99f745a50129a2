// Reading the trace database out of its archive: the archive comes from a
// web server, so every way it can be wrong must end in a refusal, and only a
// well-formed, correctly encrypted SQLite entry is accepted.
#include "env/archive_password.h"
#include "env/trace_archive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace {

typedef std::vector<unsigned char> Bytes;

std::string TempName(const char *tag)
{
    char name[] = "/tmp/vg-archive-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    return std::string(name) + tag;
}

Bytes ReadAll(const std::string &path)
{
    Bytes out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    unsigned char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    fclose(f);
    return out;
}

// A real, small SQLite database file.
Bytes MakeDatabase()
{
    std::string path = TempName(".db");
    sqlite3 *db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "create table apps(id integer, name text); insert into apps values(1,'x');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    Bytes bytes = ReadAll(path);
    remove(path.c_str());
    return bytes;
}

struct EntrySpec {
    std::string name = "mani.db";
    Bytes content;
    const char *password = nullptr;  // null: the program's password
    bool encrypt = true;
};

Bytes MakeArchive(const std::vector<EntrySpec> &entries)
{
    std::string path = TempName(".zip");
    remove(path.c_str());
    int error = 0;
    zip_t *za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(za, nullptr);
    char program[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(program);
    for (const EntrySpec &e : entries) {
        zip_source_t *src = zip_source_buffer(za, e.content.data(), e.content.size(), 0);
        zip_int64_t idx = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(idx, 0);
        if (e.encrypt)
            zip_file_set_encryption(za, static_cast<zip_uint64_t>(idx), ZIP_EM_TRAD_PKWARE,
                                    e.password ? e.password : program);
    }
    EXPECT_EQ(zip_close(za), 0);
    Bytes bytes = ReadAll(path);
    remove(path.c_str());
    return bytes;
}

TraceArchiveResult Extract(const Bytes &archive, Bytes *db = nullptr)
{
    unsigned char *out = nullptr;
    size_t size = 12345;
    TraceArchiveResult r = ExtractTraceArchive(archive.data(), archive.size(), &out, &size);
    if (r == TRACE_ARCHIVE_OK && db)
        db->assign(out, out + size);
    if (r != TRACE_ARCHIVE_OK) {
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(size, 0u);
    }
    free(out);
    return r;
}

} // namespace

TEST(TraceArchive, PasswordIsThirteenPrintableAsciiCharacters)
{
    char a[ARCHIVE_PASSWORD_LENGTH + 1], b[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(a);
    BuildArchivePassword(b);
    EXPECT_EQ(strlen(a), 13u);
    for (int i = 0; i < 13; ++i)
        EXPECT_TRUE(a[i] > 0x20 && a[i] < 0x7F) << i;
    EXPECT_STREQ(a, b);
    WipeArchivePassword(a);
    for (char c : a)
        EXPECT_EQ(c, 0);
}

TEST(TraceArchive, WellFormedArchiveGivesTheDatabaseBack)
{
    Bytes db = MakeDatabase();
    ASSERT_TRUE(LooksLikeSqliteFile(db.data(), db.size()));
    EntrySpec e;
    e.content = db;
    Bytes out;
    ASSERT_EQ(Extract(MakeArchive({e}), &out), TRACE_ARCHIVE_OK);
    EXPECT_EQ(out, db);
    // Only entry 0 counts; whatever follows it is not read.
    EntrySpec junk;
    junk.name = "../evil";
    junk.content = Bytes(10, 'x');
    ASSERT_EQ(Extract(MakeArchive({e, junk}), &out), TRACE_ARCHIVE_OK);
    EXPECT_EQ(out, db);
}

TEST(TraceArchive, WrongPasswordOrNoEncryptionIsRefused)
{
    EntrySpec e;
    e.content = MakeDatabase();
    e.password = "not-the-right";
    TraceArchiveResult r = Extract(MakeArchive({e}));
    EXPECT_NE(r, TRACE_ARCHIVE_OK);
    EXPECT_TRUE(r == TRACE_ARCHIVE_BAD_PASSWORD || r == TRACE_ARCHIVE_READ_FAILED ||
                r == TRACE_ARCHIVE_CRC_MISMATCH)
        << TraceArchiveResultText(r);

    // Many wrong passwords: the one-byte check lets about one in 256 through,
    // and then the content check must still refuse it.
    char pw[16];
    for (int i = 0; i < 300; ++i) {
        snprintf(pw, sizeof pw, "wrong%04d", i);
        e.password = pw;
        EXPECT_NE(Extract(MakeArchive({e})), TRACE_ARCHIVE_OK) << pw;
    }

    EntrySpec plain;
    plain.content = MakeDatabase();
    plain.encrypt = false;
    EXPECT_EQ(Extract(MakeArchive({plain})), TRACE_ARCHIVE_NOT_ENCRYPTED);
}

TEST(TraceArchive, EntryNamesWithFoldersOrDrivesAreRefused)
{
    // libzip will not write every hostile name itself: write a placeholder of
    // the same length and put the name into the archive's bytes afterwards.
    for (std::string name : {"../mani.db", "..", "sub/mani.db", "sub\\mani.db", "/etc/x",
                             "C:mani.db"}) {
        EntrySpec e;
        e.name = std::string(name.size(), 'Q');
        e.content = MakeDatabase();
        Bytes archive = MakeArchive({e});
        int replaced = 0;
        for (size_t i = 0; i + name.size() <= archive.size(); ++i)
            if (memcmp(archive.data() + i, e.name.data(), name.size()) == 0) {
                memcpy(archive.data() + i, name.data(), name.size());
                ++replaced;
            }
        ASSERT_EQ(replaced, 2) << name;  // local header and central directory
        TraceArchiveResult r = Extract(archive);
        EXPECT_NE(r, TRACE_ARCHIVE_OK) << name;
        if (name.find('/') == std::string::npos || name == "sub/mani.db") {
            EXPECT_TRUE(r == TRACE_ARCHIVE_BAD_NAME || r == TRACE_ARCHIVE_NOT_ZIP) << name;
        }
    }
    EXPECT_TRUE(IsPlainEntryName("mani.db"));
    EXPECT_TRUE(IsPlainEntryName("数据.db"));
    EXPECT_FALSE(IsPlainEntryName(""));
    EXPECT_FALSE(IsPlainEntryName("a\x01" "b"));
    EXPECT_FALSE(IsPlainEntryName("../mani.db"));
    EXPECT_FALSE(IsPlainEntryName("sub\\mani.db"));
    EXPECT_FALSE(IsPlainEntryName(std::string(256, 'a').c_str()));
}

TEST(TraceArchive, ContentThatIsNotADatabaseIsRefused)
{
    EntrySpec e;
    e.content = Bytes(4096, 'A');
    EXPECT_EQ(Extract(MakeArchive({e})), TRACE_ARCHIVE_NOT_SQLITE);
    // The magic alone is not enough: page size and length must agree.
    Bytes fake = MakeDatabase();
    fake.resize(fake.size() - 100);
    e.content = fake;
    EXPECT_EQ(Extract(MakeArchive({e})), TRACE_ARCHIVE_NOT_SQLITE);
    fake = MakeDatabase();
    fake[16] = 0x03;  // page size 0x03xx: not a power of two
    e.content = fake;
    EXPECT_EQ(Extract(MakeArchive({e})), TRACE_ARCHIVE_NOT_SQLITE);
}

TEST(TraceArchive, DamagedTruncatedEmptyAndOversizedArchivesAreRefused)
{
    EntrySpec e;
    e.content = MakeDatabase();
    Bytes good = MakeArchive({e});

    EXPECT_NE(Extract(Bytes()), TRACE_ARCHIVE_OK);
    EXPECT_NE(Extract(Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))), TRACE_ARCHIVE_OK);
    EXPECT_NE(Extract(Bytes(good.begin(), good.end() - 1)), TRACE_ARCHIVE_OK);

    // Every single flipped byte: never accepted with different content, never a crash.
    Bytes original;
    ASSERT_EQ(Extract(good, &original), TRACE_ARCHIVE_OK);
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x5A;
        Bytes out;
        if (Extract(bad, &out) == TRACE_ARCHIVE_OK) {
            EXPECT_EQ(out, original) << "byte " << i;
        }
    }

    // An archive with no entry: just the end-of-directory record.
    Bytes empty = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    TraceArchiveResult r = Extract(empty);
    EXPECT_TRUE(r == TRACE_ARCHIVE_EMPTY || r == TRACE_ARCHIVE_NOT_ZIP) << TraceArchiveResultText(r);

    Bytes huge(TRACE_ARCHIVE_MAX_BYTES + 1, 0);
    memcpy(huge.data(), good.data(), good.size());
    EXPECT_EQ(Extract(huge), TRACE_ARCHIVE_TOO_LARGE);

    // A small archive whose database would unpack beyond the limit: a real
    // database followed by zeros, which compress to almost nothing.
    EntrySpec big;
    big.content = MakeDatabase();
    big.content.resize(TRACE_DB_MAX_BYTES + 1, 0);
    Bytes bomb = MakeArchive({big});
    ASSERT_LE(bomb.size(), static_cast<size_t>(TRACE_ARCHIVE_MAX_BYTES));
    EXPECT_EQ(Extract(bomb), TRACE_ARCHIVE_TOO_LARGE);
    big.content.resize(TRACE_DB_MAX_BYTES);
    EXPECT_EQ(Extract(MakeArchive({big})), TRACE_ARCHIVE_OK) << "the limit itself is allowed";
}
