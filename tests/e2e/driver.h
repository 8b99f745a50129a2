// Drives the real program from outside: starts it, finds its windows, sends
// it the tray callback and keys, answers its message boxes, takes screenshots.
#pragma once
#include "gtest_wine.h"

#include <string>

struct Program {
    HANDLE process = nullptr;
    DWORD pid = 0;
};

// Starts the program; false when it could not be started.
bool StartProgram(Program &p);

// Starts a copy of the program at another Unix path (with its own files
// beside it).
bool StartProgramAt(Program &p, const char *unixPath);

// Waits for the program to end; returns its exit code, or STILL_ACTIVE on
// time-out.
DWORD WaitForExit(Program &p, DWORD timeoutMs);

// Ends the program if it still runs and releases the handle.
void StopProgram(Program &p);

// A top-level window of the process with the class (and title, when given);
// waits up to timeoutMs.
HWND WaitForWindow(DWORD pid, const WCHAR *cls, const WCHAR *title, DWORD timeoutMs);

// Whether the process has a top-level window of that class right now.
bool HasWindow(DWORD pid, const WCHAR *cls);

std::u16string WindowText(HWND hwnd);

// The texts of the static controls of a dialog (message box text and such).
std::u16string DialogStaticText(HWND dialog);

// Presses a dialog's button by id, as a click would.
void PressButton(HWND dialog, int id);

// Sends key presses to a window (the popup menu handles its keys itself).
void SendKey(HWND hwnd, WORD vk);

// Saves a screenshot of the whole screen as VG_SHOTS/<name>.png.
bool Screenshot(const char *name);

// Types the text into an edit control character by character, as the
// keyboard would (WM_CHAR messages).
void TypeText(HWND edit, const char *text);

// The start-up login dialog of the program ("登录Veilguard"), or null.
HWND WaitForLoginDialog(DWORD pid, DWORD timeoutMs);

// Cancels the start-up login, so the program goes on in normal mode; false
// when no login dialog came.
bool CancelStartupLogin(DWORD pid);

// Ends every explorer.exe the program started (Wine's desktop process
// stays) and any Wine debugger: they hold the test run's output.
void EndStartedExplorers(void);

// Makes the test's work folder afresh with a copy of the program's files in
// work/app. The volume views that earlier runs' killed programs left of
// containers in that folder go too: those containers are thrown away with
// it, so nothing could ever mount and recover them.
bool FreshWorkFolder(const std::string &work, const std::string &bin);

// The output of a shell command.
std::string Shell(const std::string &command);

// The program's mode marker: "inPrivate" or "inpublic" (empty when unset).
std::u16string Marker();

// Polls the condition every 200 ms until it holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 200) {
        if (condition())
            return true;
        Sleep(200);
    }
    return condition();
}
