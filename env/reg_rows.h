// The registry rows of the switch database: single values (table
// "regvalue": keyroot, keypath, valuename, pubvalue, privalue) and the hives
// of the staging keys (table "regbackup", at most one row). Platform-neutral:
// the database is passed in, and so is the conversion of names to the text
// they are bound as (the program uses the Windows code pages).
//
// Rows are told apart by root, key path and value name, bound as
// parameters (an apostrophe in a name is stored like any other character).
// Names are stored in UTF-8; older versions stored them in the ANSI code
// page, and such rows are still read for names that are not plain ASCII
// (for an ASCII name both forms are the same bytes).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

// Converts a NUL-terminated UTF-16 name to the bytes it is bound as; false
// when the name has no exact form in that encoding (nothing is bound then).
typedef bool (*RowTextEncoder)(const char16_t *text, std::string &out);

struct RowTextEncoders {
    RowTextEncoder toUtf8;  // how names are stored
    RowTextEncoder toAnsi;  // how older versions stored them
};

// The value a row belongs to: the predefined root as its unsigned 32-bit
// handle value, the key path and the value name.
struct RegRowKey {
    uint32_t root;
    const char16_t *path;
    const char16_t *name;
};

// Only "pubvalue" and "privalue" name a column of stored contents.
bool IsRegModeColumn(const char *column);

// The stored bytes of a value in column (allocated with malloc, at least
// 8192 bytes and as many as were stored, zero-filled behind the data;
// release with free) and their count in *size; null when nothing is stored
// (no row, an SQL NULL or no bytes). The UTF-8 row is read first; for a
// name that is not plain ASCII and has an exact ANSI form, the ANSI row
// after it.
uint8_t *ReadRegValueRow(sqlite3 *db, const char *column, const RegRowKey &key, const RowTextEncoders &enc,
                         uint32_t *size);

// Stores the bytes of a value into column of its UTF-8 row (of every such
// row), adding the row first when there is none. False on an SQL error or a
// name that cannot be bound.
bool StoreRegValueRow(sqlite3 *db, const char *column, const RegRowKey &key, const RowTextEncoders &enc,
                      const uint8_t *data, uint32_t size);

// Receives the bytes of a stored hive; false when they could not all be put.
typedef bool (*RowBytesSink)(const void *bytes, uint32_t size, void *context);

// Hands the hive stored in column to write. 1 when the column held data and
// write took it, 0 when it held nothing (no row, NULL, no bytes), -1 when
// write failed.
int ReadRegBackupRow(sqlite3 *db, const char *column, RowBytesSink write, void *context);

// Stores the bytes of a hive into column, adding the row when there is
// none. False on an SQL error.
bool StoreRegBackupRow(sqlite3 *db, const char *column, const uint8_t *bytes, uint32_t size);
