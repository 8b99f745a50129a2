// Opening a key in either registry view. On 64-bit Windows most of
// HKEY_LOCAL_MACHINE\SOFTWARE exists twice: a 32-bit process such as this
// program sees the Wow6432Node copy, so an application that registers only
// in the 64-bit view (or, seen from a 64-bit build, only in the 32-bit one)
// would look absent. These helpers look in the process's own view first and
// then in the other one.
#pragma once
#include <windows.h>

// The views to try, in order, as REGSAM flags to add to the access mask: 0
// (the process's own view), then KEY_WOW64_64KEY from a 32-bit build or
// KEY_WOW64_32KEY from a 64-bit one. The second try is only made after the
// first failed, so where there is no second view it changes nothing: 32-bit
// Windows ignores the flag and opens the same view again, and Windows 2000,
// which does not know it, refuses the open.
int RegistryViews(REGSAM views[2]);

// RegOpenKeyExW in the first view where the key opens; the result of the
// last attempt otherwise.
LONG OpenKeyInAnyView(HKEY root, const WCHAR *path, REGSAM access, HKEY *key);
