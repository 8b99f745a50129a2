// The switch database's registry rows as a switch reads them back: a
// database with the switch tables is filled with rows as any earlier
// version may have left them (names in UTF-8 or in the ANSI code page, as
// text, numbers or blobs; contents of every SQLite type; hive rows), then
// values and hives are stored and read through the row code the switch
// uses. Every read is checked against a model of the rows kept here:
// which row a name reads (the UTF-8 one; the ANSI one only for a name that
// is not plain ASCII and has an exact ANSI form, and only when the UTF-8
// one holds nothing), the bytes and their count exactly as stored, the
// buffer zero-filled behind them to 8192 bytes, and what was stored reads
// back unchanged.
//
// The ANSI code page here is 1252, a single-byte page in which every byte
// is a character and many characters have none.
//
// Input: a count of stored value rows, the rows, a count of hive rows, the
// hive rows, then operations (store or read a value or a hive) to its end.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "env/reg_rows.h"

namespace {

// Windows-1252; the five bytes without a character map to the C1 controls.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromCp1252(uint8_t b) { return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b); }

bool ToAnsi(const char16_t *text, std::string &out)
{
    out.clear();
    for (; *text; ++text) {
        char16_t c = *text;
        int byte = -1;
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            byte = c;
        } else {
            for (int i = 0; i < 32; ++i)
                if (kCp1252High[i] == c)
                    byte = 0x80 + i;
        }
        if (byte < 0)
            return false;  // no exact form, and no best fit either
        out.push_back(static_cast<char>(byte));
    }
    return true;
}

// UTF-8 of well-formed UTF-16 (the names here never hold a lone surrogate:
// they come from the trace database's ANSI columns).
bool ToUtf8(const char16_t *text, std::string &out)
{
    out.clear();
    for (; *text; ++text) {
        uint32_t c = *text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        } else if (c >= 0xD800 && c < 0xE000) {
            abort();  // the harness made a lone surrogate
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return true;
}

// Strict UTF-8 to UTF-16; nothing for malformed bytes or a NUL.
std::optional<std::u16string> FromUtf8(const std::string &s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        uint32_t c;
        size_t n;
        if (b == 0)
            return std::nullopt;
        if (b < 0x80) {
            c = b, n = 1;
        } else if (b >= 0xC2 && b < 0xE0) {
            c = b & 0x1F, n = 2;
        } else if (b >= 0xE0 && b < 0xF0) {
            c = b & 0x0F, n = 3;
        } else if (b >= 0xF0 && b < 0xF5) {
            c = b & 0x07, n = 4;
        } else {
            return std::nullopt;
        }
        if (i + n > s.size())
            return std::nullopt;
        for (size_t k = 1; k < n; ++k) {
            uint8_t t = static_cast<uint8_t>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (t & 0x3F);
        }
        if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c < 0xE000))
            return std::nullopt;
        if (c >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
        i += n;
    }
    return out;
}

std::optional<std::u16string> FromAnsi(const std::string &s)
{
    std::u16string out;
    for (char ch : s) {
        if (ch == 0)
            return std::nullopt;
        out.push_back(FromCp1252(static_cast<uint8_t>(ch)));
    }
    return out;
}

const RowTextEncoders kEncoders = {ToUtf8, ToAnsi};

struct Input {
    const uint8_t *p;
    size_t left;
    uint8_t Byte()
    {
        if (!left)
            return 0;
        --left;
        return *p++;
    }
    std::string Bytes()
    {
        size_t n = Byte();
        if (n > left)
            n = left;
        std::string s(reinterpret_cast<const char *>(p), n);
        p += n, left -= n;
        return s;
    }
    int64_t Int()
    {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = v << 8 | Byte();
        return static_cast<int64_t>(v);
    }
};

// A cell as stored.
struct Cell {
    int type = SQLITE_NULL;  // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB
    int64_t i = 0;
    double d = 0;
    std::string bytes;  // text or blob
};

Cell ReadCell(Input &in, bool isName)
{
    Cell c;
    switch (in.Byte() % 5) {
    case 0: break;
    case 1: c.type = SQLITE_INTEGER, c.i = in.Int(); break;
    case 2:
        if (isName) {  // a name column holds text
            c.type = SQLITE_TEXT, c.bytes = in.Bytes();
        } else {
            int64_t bits = in.Int();
            memcpy(&c.d, &bits, sizeof c.d);
            c.type = c.d == c.d ? SQLITE_FLOAT : SQLITE_NULL;  // SQLite stores NaN as NULL
        }
        break;
    case 3: c.type = SQLITE_TEXT, c.bytes = in.Bytes(); break;
    case 4: c.type = SQLITE_BLOB, c.bytes = in.Bytes(); break;
    }
    // keypath and valuename are TEXT columns: a number becomes its text.
    if (isName && c.type == SQLITE_INTEGER) {
        char text[32];
        snprintf(text, sizeof text, "%lld", static_cast<long long>(c.i));
        c.type = SQLITE_TEXT, c.bytes = text;
    }
    return c;
}

void Bind(sqlite3_stmt *s, int index, const Cell &c)
{
    switch (c.type) {
    case SQLITE_INTEGER: sqlite3_bind_int64(s, index, c.i); break;
    case SQLITE_FLOAT: sqlite3_bind_double(s, index, c.d); break;
    case SQLITE_TEXT: sqlite3_bind_text(s, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT); break;
    case SQLITE_BLOB: sqlite3_bind_blob(s, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT); break;
    default: sqlite3_bind_null(s, index); break;
    }
}

sqlite3 *g_db;

// The bytes a cell is read as (a number as its text); nothing for NULL or
// no bytes.
std::optional<std::string> Contents(const Cell &c)
{
    std::string bytes;
    if (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB) {
        bytes = c.bytes;
    } else if (c.type == SQLITE_INTEGER || c.type == SQLITE_FLOAT) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(g_db, "select cast(? as text)", -1, &s, nullptr) != SQLITE_OK)
            abort();
        Bind(s, 1, c);
        if (sqlite3_step(s) != SQLITE_ROW)
            abort();
        bytes.assign(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)), sqlite3_column_bytes(s, 0));
        sqlite3_finalize(s);
    }
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

struct ValueRow {
    int64_t root;
    Cell path, name, value[2];
};

struct Model {
    std::vector<ValueRow> values;
    std::vector<Cell> hives[2];  // per column, one per hive row
};

const uint32_t kRoots[3] = {0x80000001u, 0x80000002u, 0x80000003u};
const char *const kColumns[2] = {"pubvalue", "privalue"};

bool NameIs(const Cell &c, const std::string &bytes) { return c.type == SQLITE_TEXT && c.bytes == bytes; }

// The first row of the names' bytes; null when none.
ValueRow *FindRow(Model &m, uint32_t root, const std::string &path, const std::string &name)
{
    for (ValueRow &r : m.values)
        if (r.root == int64_t(root) && NameIs(r.path, path) && NameIs(r.name, name))
            return &r;
    return nullptr;
}

bool IsAscii(const std::u16string &s)
{
    for (char16_t c : s)
        if (c > 0x7F)
            return false;
    return true;
}

std::optional<std::string> Expected(Model &m, int column, uint32_t root, const std::u16string &path,
                                    const std::u16string &name)
{
    std::string p, n;
    ToUtf8(path.c_str(), p), ToUtf8(name.c_str(), n);
    if (ValueRow *r = FindRow(m, root, p, n))
        if (std::optional<std::string> bytes = Contents(r->value[column]))
            return bytes;
    if (IsAscii(path) && IsAscii(name))
        return std::nullopt;
    if (!ToAnsi(path.c_str(), p) || !ToAnsi(name.c_str(), n))
        return std::nullopt;
    if (ValueRow *r = FindRow(m, root, p, n))
        return Contents(r->value[column]);
    return std::nullopt;
}

void CheckRead(Model &m, int column, uint32_t root, const std::u16string &path, const std::u16string &name)
{
    std::optional<std::string> want = Expected(m, column, root, path, name);
    uint32_t size = 0xFFFFFFFFu;
    uint8_t *got = ReadRegValueRow(g_db, kColumns[column], {root, path.c_str(), name.c_str()}, kEncoders, &size);
    if (!want) {
        if (got || size != 0xFFFFFFFFu)
            abort();  // a value read where nothing is stored for it, or a count set
        return;
    }
    if (!got || size != want->size() || memcmp(got, want->data(), size) != 0)
        abort();  // not the stored bytes
    for (uint32_t i = size; i < 8192; ++i)
        if (got[i] != 0)
            abort();  // the buffer behind the data is not zero-filled
    free(got);
}

// A UTF-16 name from the input, without NUL or lone surrogates.
std::u16string ReadName(Input &in)
{
    std::string raw = in.Bytes();
    std::u16string s;
    for (size_t i = 0; i < raw.size(); i += 2) {
        char16_t c = static_cast<uint8_t>(raw[i]);
        if (i + 1 < raw.size())
            c = char16_t(c | static_cast<uint8_t>(raw[i + 1]) << 8);
        if (c == 0)
            c = 0x100;
        if (c >= 0xD800 && c < 0xE000) {
            if (c < 0xDC00 && i + 3 < raw.size()) {
                char16_t low = char16_t(0xDC00 | ((static_cast<uint8_t>(raw[i + 2]) |
                                                   static_cast<uint8_t>(raw[i + 3]) << 8) & 0x3FF));
                s.push_back(c);
                s.push_back(low);
                i += 2;
                continue;
            }
            c = char16_t(c - 0xD800 + 0x3400);  // into a plain range
        }
        s.push_back(c);
    }
    return s;
}

struct Key {
    uint32_t root;
    std::u16string path, name;
};

// The names of a stored row read as UTF-8 or ANSI (how the switch asks for
// it), or names from the input.
std::optional<Key> ReadKey(Input &in, const Model &m, size_t storedRows)
{
    uint8_t how = in.Byte();
    uint8_t pick = in.Byte();
    if (how % 3 == 0 || storedRows == 0) {
        Key k;
        k.root = kRoots[pick % 3];
        k.path = ReadName(in);
        k.name = ReadName(in);
        return k;
    }
    const ValueRow &r = m.values[pick % storedRows];
    if (r.path.type != SQLITE_TEXT || r.name.type != SQLITE_TEXT || r.root < 0 || r.root > 0xFFFFFFFFll)
        return std::nullopt;
    auto path = how % 3 == 1 ? FromUtf8(r.path.bytes) : FromAnsi(r.path.bytes);
    auto name = how % 3 == 1 ? FromUtf8(r.name.bytes) : FromAnsi(r.name.bytes);
    if (!path || !name)
        return std::nullopt;
    return Key{uint32_t(r.root), *path, *name};
}

struct Sink {
    bool accept;
    int calls = 0;
    std::string bytes;
};

bool TakeHive(const void *bytes, uint32_t size, void *context)
{
    Sink *sink = static_cast<Sink *>(context);
    ++sink->calls;
    sink->bytes.assign(static_cast<const char *>(bytes), size);
    return sink->accept;
}

std::string g_schema;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = [] {
        sqlite3_initialize();
        FILE *f = fopen(VG_SWITCH_SQL, "rb");
        if (!f)
            abort();
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            g_schema.append(buf, n);
        fclose(f);
        return true;
    }();
    (void)ready;
    if (size > 8192)
        return 0;
    if (sqlite3_open_v2(":memory:", &g_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(g_db, g_schema.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        abort();

    Input in = {data, size};
    Model m;
    // The database as a switch finds it.
    size_t storedRows = in.Byte() % 9;
    for (size_t i = 0; i < storedRows; ++i) {
        ValueRow r;
        uint8_t rootPick = in.Byte();
        r.root = rootPick % 4 < 3 ? int64_t(kRoots[rootPick % 4]) : in.Int();
        r.path = ReadCell(in, true);
        r.name = ReadCell(in, true);
        r.value[0] = ReadCell(in, false);
        r.value[1] = ReadCell(in, false);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(g_db, "insert into regvalue values (?,?,?,?,?)", -1, &s, nullptr) != SQLITE_OK)
            abort();
        sqlite3_bind_int64(s, 1, r.root);
        Bind(s, 2, r.path), Bind(s, 3, r.name), Bind(s, 4, r.value[0]), Bind(s, 5, r.value[1]);
        if (sqlite3_step(s) != SQLITE_DONE)
            abort();
        sqlite3_finalize(s);
        m.values.push_back(r);
    }
    size_t hiveRows = in.Byte() % 3;
    for (size_t i = 0; i < hiveRows; ++i) {
        Cell pub = ReadCell(in, false), pri = ReadCell(in, false);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(g_db, "insert into regbackup values (?,?)", -1, &s, nullptr) != SQLITE_OK)
            abort();
        Bind(s, 1, pub), Bind(s, 2, pri);
        if (sqlite3_step(s) != SQLITE_DONE)
            abort();
        sqlite3_finalize(s);
        m.hives[0].push_back(pub), m.hives[1].push_back(pri);
    }

    // A switch's stores and reads.
    for (int ops = 0; in.left && ops < 64; ++ops) {
        uint8_t op = in.Byte();
        int column = (op >> 2) & 1;
        switch (op & 3) {
        case 0: {  // store a value, then read it back
            std::optional<Key> k = ReadKey(in, m, storedRows);
            std::string bytes = in.Bytes();
            if (!k)
                break;
            if (!StoreRegValueRow(g_db, kColumns[column], {k->root, k->path.c_str(), k->name.c_str()}, kEncoders,
                                  reinterpret_cast<const uint8_t *>(bytes.data()), uint32_t(bytes.size())))
                abort();
            std::string p, n;
            ToUtf8(k->path.c_str(), p), ToUtf8(k->name.c_str(), n);
            Cell stored;
            stored.type = SQLITE_BLOB, stored.bytes = bytes;
            bool found = false;
            for (ValueRow &r : m.values)
                if (r.root == int64_t(k->root) && NameIs(r.path, p) && NameIs(r.name, n))
                    r.value[column] = stored, found = true;
            if (!found) {
                ValueRow r;
                r.root = int64_t(k->root);
                r.path.type = r.name.type = SQLITE_TEXT;
                r.path.bytes = p, r.name.bytes = n;
                r.value[column] = stored;
                m.values.push_back(r);
            }
            if (bytes.empty()) {
                CheckRead(m, column, k->root, k->path, k->name);
                break;
            }
            // What was stored reads back unchanged.
            uint32_t got = 0;
            uint8_t *back = ReadRegValueRow(g_db, kColumns[column], {k->root, k->path.c_str(), k->name.c_str()},
                                            kEncoders, &got);
            if (!back || got != bytes.size() || memcmp(back, bytes.data(), got) != 0)
                abort();
            free(back);
            break;
        }
        case 1: {  // read a value
            if (std::optional<Key> k = ReadKey(in, m, storedRows))
                CheckRead(m, column, k->root, k->path, k->name);
            break;
        }
        case 2: {  // store a hive
            std::string bytes = in.Bytes();
            if (!StoreRegBackupRow(g_db, kColumns[column], reinterpret_cast<const uint8_t *>(bytes.data()),
                                   uint32_t(bytes.size())))
                abort();
            Cell stored;
            stored.type = SQLITE_BLOB, stored.bytes = bytes;
            if (m.hives[0].empty()) {
                m.hives[0].push_back(Cell()), m.hives[1].push_back(Cell());
            }
            for (Cell &c : m.hives[column])
                c = stored;
            break;
        }
        case 3: {  // read a hive, into a file that takes it or not
            Sink sink = {(op & 8) == 0};
            int got = ReadRegBackupRow(g_db, kColumns[column], TakeHive, &sink);
            std::optional<std::string> want;
            if (!m.hives[column].empty())
                want = Contents(m.hives[column][0]);
            if (!want) {
                if (got != 0 || sink.calls != 0)
                    abort();
            } else if (got != (sink.accept ? 1 : -1) || sink.calls != 1 || sink.bytes != *want) {
                abort();
            }
            break;
        }
        }
    }
    // Every stored row, asked for as the switch asks for it.
    for (size_t i = 0; i < m.values.size(); ++i)
        for (int how = 1; how <= 2; ++how) {
            uint8_t key[2] = {uint8_t(how), uint8_t(i)};
            Input kin = {key, sizeof key};
            if (std::optional<Key> k = ReadKey(kin, m, m.values.size()))
                for (int column = 0; column < 2; ++column)
                    CheckRead(m, column, k->root, k->path, k->name);
        }
    // Columns other than the two are refused.
    uint32_t unused = 0;
    if (ReadRegValueRow(g_db, "keypath", {kRoots[0], u"", u""}, kEncoders, &unused) ||
        ReadRegBackupRow(g_db, "rowid", TakeHive, nullptr) != 0)
        abort();
    sqlite3_close(g_db);
    g_db = nullptr;
    return 0;
}
