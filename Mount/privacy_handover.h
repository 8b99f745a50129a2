// The hand-over from a successful mount to privacy mode.
#pragma once
#include <windows.h>

// Switches the environment onto the drive (0 = A:) with the shell ended
// around the switch, then shows the privacy-mode tray icon.
void EnterPrivacyMode(HWND owner, int drive);

// A start that finds a volume mounted: privacy mode goes on, on the lowest
// mounted drive, so that a logoff switches everything back from there.
void ResumePrivacySession(void);
