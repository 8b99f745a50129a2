// Conversions between the Win32 UTF-16 strings of the tables (WCHAR) and the
// char16_t strings of the platform-neutral code, and the registry root of a
// parsed key. Same 16-bit units on both sides; only the type differs.
#pragma once
#include <windows.h>

#include <string>

#include "env/trace_rows.h"

// The text up to its terminator; empty for null.
std::u16string ToU16(const WCHAR *text);

// A terminated copy allocated with calloc (release with free); null when
// memory runs out.
WCHAR *DupText(const std::u16string &text);

HKEY RegRootKey(RegRoot root);
