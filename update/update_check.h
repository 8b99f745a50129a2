// The update check of start-up: asks the update server whether a newer trace
// database or program version exists and downloads what the user accepts.
#pragma once
#include <windows.h>
#include <wininet.h>

// Runs the check for the "mani.sys" beside the executable against the
// update server of this build (host and port are build settings). owner is
// the window the questions belong to. 1 when both version files were read,
// else 0; no failure is ever shown to the user.
int CheckForUpdates(HWND owner);

// The same for an archive at any path and any server (tests).
int CheckForUpdatesAt(HWND owner, const WCHAR *archivePath, const WCHAR *host, INTERNET_PORT port);
