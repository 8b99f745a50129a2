// Running a query on the trace database handle and decoding its text
// columns, for the loaders of the trace database tables and the rule table.
#pragma once

#include <string>

// sqlite3_get_table of the query on g_traceDb. True with the result (release
// it with sqlite3_free_table); false on an SQL error or when no database is
// open (error text and result already released).
bool QueryTraceTable(const char *query, char ***cells, int *rows, int *cols);

// A column stored as UTF-8 (code page 65001) or in the ANSI code page.
std::u16string DecodeUtf8Column(const char *text);
std::u16string DecodeAnsiColumn(const char *text);
