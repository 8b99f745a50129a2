// The last-chance handler for faults anywhere in the process.
#pragma once
#include <windows.h>

LONG WINAPI CrashFilter(EXCEPTION_POINTERS *info);
