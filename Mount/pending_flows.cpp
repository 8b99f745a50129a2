// The session flows that are not built yet. Until they are, the program
// never mounts on its own: the start-up login and the Login command end
// without a volume, Logoff, Change password and Clean trace have nothing to
// act on, and start-up asks the web server nothing.
#include "session_link.h"

BOOL StartupLogin(HWND, char, const char *) { return FALSE; }
int Login(HWND, int) { return 0; }
int Logoff(HWND, BOOL, BOOL, int, DWORD) { return 1; }
void ChangePassword(HWND) {}
