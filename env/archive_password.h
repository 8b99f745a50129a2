// The password of the trace database archive "mani.sys".
//
// It is 13 ASCII characters, put together at run time from scrambled bytes so
// that neither the program nor the archive tool holds it as one readable
// string. The program and tools/mkmani both call BuildArchivePassword, so the
// archive and its reader always agree. Platform-neutral.
#pragma once

enum { ARCHIVE_PASSWORD_LENGTH = 13 };

// Writes the password and a terminating NUL into out.
void BuildArchivePassword(char out[ARCHIVE_PASSWORD_LENGTH + 1]);

// Overwrites a password buffer with zeros; the compiler may not drop it.
void WipeArchivePassword(char buf[ARCHIVE_PASSWORD_LENGTH + 1]);
