// Turning the volume layer's result codes into messages.
#pragma once
#include <windows.h>

// Shows the message of a volume result code (nothing in silent mode, and
// nothing for codes 28 and 33).
void ShowVolumeError(HWND owner, int code);

// The driver's notice that the volume on drive is percent full (given by
// the Wine build's emulation, whose files must fit into the volume when
// they are saved): a warning, nothing in silent mode.
void ShowVolumeNearlyFull(int drive, int percent);
