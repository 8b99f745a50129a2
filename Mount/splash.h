// The picture shown at every start, before anything else happens on screen.
#pragma once
#include <windows.h>

BOOL RegisterSplashClass(HINSTANCE instance);

// Starts the splash thread; start-up waits on the returned handle.
HANDLE StartSplash(void);
