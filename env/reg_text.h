// Small registry helpers shared by the environment switch: reading a text
// value into a fixed 260-unit buffer, writing a text value, and announcing
// an environment change.
#pragma once
#include <windows.h>

// Reads the text value into out (260 units, always terminated). ERROR_SUCCESS,
// the registry's error, or ERROR_MORE_DATA when the text does not fit; out
// is left unchanged on failure.
LONG ReadTextValue(HKEY key, const WCHAR *name, WCHAR *out);

// Writes text with its terminator as a value of the given type.
LONG WriteTextValue(HKEY key, const WCHAR *name, DWORD type, const WCHAR *text);

// Expands text (260 units) into out and puts the letter in its first unit.
// ERROR_SUCCESS, or an error when the result is empty or does not fit.
LONG ExpandOntoDrive(const WCHAR *text, WCHAR letter, WCHAR *out);

// WM_SETTINGCHANGE with "Environment" to every top-level window.
void BroadcastEnvironmentChange(UINT flags, UINT timeoutMs);
