// The redirection rule table and the decision for each file access that the
// minifilter asks about.
//
// Rules come from the "apppaths" table of the trace database, are loaded and
// expanded once at start-up, sorted by their device path, bound to the
// virtual disk when privacy mode is entered, and read by MatchRedirect on up
// to 64 worker threads at once (they only read; nothing here is written
// after start-up except each rule's drive letter, which they do not read).
#pragma once

#include <windows.h>

struct RedirectRule {
    WCHAR path[MAX_PATH];  // DOS folder with a trailing backslash; after
                           // expansion the expanded folder
    WCHAR *devicePath;     // the folder in NT device form; null when the
                           // path did not expand (the rule never matches)
    WCHAR *name;           // file pattern, maybe with a sub-folder part;
                           // "*.*" for an empty name
    INT32 aid;
    INT32 isRecurse;
    INT32 pathWild;
    INT32 nameWild;
    INT32 isCopy;
    WCHAR ownLetter;       // the drive letter of path before privacy mode
                           // moved it (0 until then)
};

extern RedirectRule **g_rules;
extern INT32 g_ruleCount;

// The virtual disk's drive ("X:") and its NT device name (260 units, zero
// filled: the buffer that the filter connection passes as its context).
extern WCHAR g_redirectionDrive[4];
extern WCHAR g_redirectionDevice[MAX_PATH];

// Set by the filter connection once it has started: ends whatever reads
// the rules and the device on other threads (the filter's workers); whether
// they ended. Freeing the rules and binding the drive call it first.
extern bool (*g_endRuleReaders)(void);

// Reads "apppaths" through the trace database handle. A rule of an
// application that resolved a folder takes that folder. 1 on success; 0 on
// an SQL error (the start-up then ends with exit code 1).
int LoadRedirectRules(void);

// Expands each rule's folder, finds its device form, then sorts the table.
void ExpandRedirectRules(void);

// For a folder "%Personal%\rest" that expansion left alone: the user's
// documents folder followed by the rest, into out (260 units). Any other
// text leaves out as it is.
void ResolvePersonalFolder(const WCHAR *rulePath, WCHAR *out);

// Ascending order of devicePath without regard to ASCII case; rules without
// one go last. Also prepares the lookup that MatchRedirect uses.
void SortRedirectRules(void);

// Entering privacy mode on drive "X:": binds the rules to the drive, copies
// the files of copy rules there, and points every rule's path at the drive.
void PrepareRedirection(const WCHAR *drive);

// Sets the redirection drive and device: device as given, or (null) the one
// QueryDosDeviceW reports for the drive. A drive that is not a letter and a
// colon leaves both empty, and nothing is redirected.
void BindRedirectionDrive(const WCHAR *drive, const WCHAR *device);

// Copies the file of every copy rule onto the redirection drive, unless a
// copy is there already. Failures are ignored.
void CopyRuleFiles(void);

// Sets the first unit (the drive letter) of every rule's path that names a
// folder on a drive, remembering the rule's own letter the first time.
void SetRuleDriveLetter(WCHAR letter);

// Gives every rule that SetRuleDriveLetter moved its own letter back.
void RestoreRuleDriveLetters(void);

// Decides one request: path is the NT path from the minifilter (at most 512
// units with its terminator), target a 512-unit buffer. 1 when redirected:
// target holds the redirection device followed by the path below the volume
// root, and that folder has been created on the redirection drive. 0 when
// not redirected (target then empty), also when the target would not fit.
int MatchRedirect(const WCHAR *path, WCHAR *target);

// The same decision without creating the folder.
int DecideRedirectOnly(const WCHAR *path, WCHAR *target);

void FreeRedirectRules(void);

// Makes the pattern match fold case as the platform's PathMatchSpecW does.
// Called by ExpandRedirectRules; callable again at no harm.
void InstallPlatformMatchFold(void);
