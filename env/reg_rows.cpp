#include "env/reg_rows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool IsRegModeColumn(const char *column)
{
    return column && (strcmp(column, "pubvalue") == 0 || strcmp(column, "privalue") == 0);
}

namespace {

// A statement with the mode column pasted in; null for any other column.
sqlite3_stmt *Prepare(sqlite3 *db, const char *format, const char *column)
{
    if (!db || !IsRegModeColumn(column))
        return nullptr;
    char sql[160];
    snprintf(sql, sizeof sql, format, column);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

bool BindText(sqlite3_stmt *statement, int index, const char16_t *text, RowTextEncoder encode)
{
    std::string bytes;
    if (!encode || !encode(text, bytes))
        return false;
    // Bound up to the first NUL, as the name ends there.
    return sqlite3_bind_text(statement, index, bytes.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindKey(sqlite3_stmt *statement, int first, const RegRowKey &key, RowTextEncoder encode)
{
    return sqlite3_bind_int64(statement, first, static_cast<sqlite3_int64>(key.root)) == SQLITE_OK &&
           BindText(statement, first + 1, key.path, encode) && BindText(statement, first + 2, key.name, encode);
}

bool IsAscii(const char16_t *text)
{
    for (; *text; ++text)
        if (*text > 0x7F)
            return false;
    return true;
}

// Runs a statement that returns nothing or one row, and finalizes it.
bool StepOnce(sqlite3_stmt *statement)
{
    int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

// The stored bytes of the row whose names are bound with encode.
uint8_t *ReadRow(sqlite3 *db, const char *column, const RegRowKey &key, RowTextEncoder encode, uint32_t *size)
{
    sqlite3_stmt *statement =
        Prepare(db, "select %s from regvalue where keyroot = ? and keypath = ? and valuename = ?", column);
    if (!statement)
        return nullptr;
    uint8_t *out = nullptr;
    if (BindKey(statement, 1, key, encode) && sqlite3_step(statement) == SQLITE_ROW) {
        // The bytes first, then their count: a number or text cell is
        // turned into its text by the first call and measured as that.
        const void *blob = sqlite3_column_blob(statement, 0);
        int bytes = sqlite3_column_bytes(statement, 0);
        if (blob && bytes > 0) {
            // At least the usual 8192 bytes, and as many as were stored.
            size_t capacity = bytes > 8192 ? static_cast<size_t>(bytes) : 8192;
            out = static_cast<uint8_t *>(calloc(capacity, 1));
            if (out) {
                memcpy(out, blob, static_cast<size_t>(bytes));
                *size = static_cast<uint32_t>(bytes);
            }
        }
    }
    sqlite3_finalize(statement);
    return out;
}

// 1 when the table has a row, 0 when not, -1 on an error.
int HasRows(sqlite3 *db, const char *sql)
{
    char **cells = nullptr, *error = nullptr;
    int rows = 0, cols = 0;
    int rc = sqlite3_get_table(db, sql, &cells, &rows, &cols, &error);
    sqlite3_free(error);
    sqlite3_free_table(cells);
    if (rc != SQLITE_OK)
        return -1;
    return rows > 0 ? 1 : 0;
}

} // namespace

uint8_t *ReadRegValueRow(sqlite3 *db, const char *column, const RegRowKey &key, const RowTextEncoders &enc,
                         uint32_t *size)
{
    uint8_t *out = ReadRow(db, column, key, enc.toUtf8, size);
    // A non-ASCII name that an earlier version stored in the ANSI code page.
    if (!out && !(IsAscii(key.path) && IsAscii(key.name)))
        out = ReadRow(db, column, key, enc.toAnsi, size);
    return out;
}

bool StoreRegValueRow(sqlite3 *db, const char *column, const RegRowKey &key, const RowTextEncoders &enc,
                      const uint8_t *data, uint32_t size)
{
    if (!db || !IsRegModeColumn(column))
        return false;
    sqlite3_stmt *find = nullptr;
    if (sqlite3_prepare_v2(db, "select keypath from  regvalue where keyroot = ? and keypath = ? and valuename = ?",
                           -1, &find, nullptr) != SQLITE_OK ||
        !BindKey(find, 1, key, enc.toUtf8)) {
        sqlite3_finalize(find);
        return false;
    }
    int rc = sqlite3_step(find);
    sqlite3_finalize(find);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return false;
    if (rc == SQLITE_DONE) {
        sqlite3_stmt *insert = nullptr;
        bool bound = sqlite3_prepare_v2(db, "insert into regvalue (keyroot,keypath,valuename) values (?,?,?) ", -1,
                                        &insert, nullptr) == SQLITE_OK &&
                     BindKey(insert, 1, key, enc.toUtf8);
        if (!bound) {
            sqlite3_finalize(insert);
            return false;
        }
        if (!StepOnce(insert))
            return false;
    }
    sqlite3_stmt *update =
        Prepare(db, "update regvalue set %s = ? where keyroot = ? and keypath = ? and valuename = ?", column);
    if (!update)
        return false;
    if (sqlite3_bind_blob(update, 1, data, static_cast<int>(size), SQLITE_STATIC) != SQLITE_OK ||
        !BindKey(update, 2, key, enc.toUtf8)) {
        sqlite3_finalize(update);
        return false;
    }
    return StepOnce(update);
}

int ReadRegBackupRow(sqlite3 *db, const char *column, RowBytesSink write, void *context)
{
    sqlite3_stmt *statement = Prepare(db, "select %s from regbackup", column);
    if (!statement)
        return 0;
    int result = 0;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        const void *blob = sqlite3_column_blob(statement, 0);
        int bytes = sqlite3_column_bytes(statement, 0);
        if (blob && bytes > 0)
            result = write(blob, static_cast<uint32_t>(bytes), context) ? 1 : -1;
    }
    sqlite3_finalize(statement);
    return result;
}

bool StoreRegBackupRow(sqlite3 *db, const char *column, const uint8_t *bytes, uint32_t size)
{
    if (!db)
        return false;
    int existing = HasRows(db, "select * from regbackup");
    bool haveRow = existing == 1;
    if (existing == 0) {
        char *error = nullptr;
        haveRow = sqlite3_exec(db, "insert into regbackup (pubvalue,privalue) values (null,null) ", nullptr, nullptr,
                               &error) == SQLITE_OK;
        sqlite3_free(error);
    }
    sqlite3_stmt *statement = haveRow ? Prepare(db, "update regbackup set %s = ? ", column) : nullptr;
    if (statement && sqlite3_bind_blob(statement, 1, bytes, static_cast<int>(size), SQLITE_STATIC) == SQLITE_OK)
        return StepOnce(statement);
    sqlite3_finalize(statement);
    return false;
}
