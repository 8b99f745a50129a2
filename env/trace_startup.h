// The trace database step of start-up, and the release of its tables at exit.
#pragma once

#include <windows.h>

enum TraceStartupResult {
    TRACE_STARTUP_CONTINUE = 0,     // tables loaded: go on with start-up
    TRACE_STARTUP_QUIT_SILENTLY,    // archive missing or damaged, or not
                                    // openable: the entry point returns 0
    TRACE_STARTUP_SQL_ERROR,        // a query failed: the entry point returns 1,
                                    // without any message
};

// Unpacks "mani.sys" into a temporary file, opens it, loads the application
// table, the redirection rules (loaded and expanded), the registry items and
// the profiles, closes the database and deletes the temporary file. On any
// failure nothing is left open, no temporary file stays and the tables
// loaded so far are released.
TraceStartupResult LoadTraceDatabaseAtStartup(void);

// The same step for an archive anywhere (tests and tools); the start-up
// uses the "mani.sys" beside the executable.
TraceStartupResult LoadTraceDatabaseFromArchive(const WCHAR *archivePath);

// At exit, after the message loop: releases the rule table, the registry
// item table and the profile table, in that order.
void ReleaseTraceTables(void);
