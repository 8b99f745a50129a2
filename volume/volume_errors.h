// Turning the volume layer's result codes into messages.
#pragma once
#include <windows.h>

// Shows the message of a volume result code (nothing in silent mode, and
// nothing for codes 28 and 33).
void ShowVolumeError(HWND owner, int code);
