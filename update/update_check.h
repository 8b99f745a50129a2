// The update check of start-up: asks the update server whether a newer trace
// database or program version exists and downloads what the user accepts.
#pragma once
#include <windows.h>
#include <wininet.h>

// Runs the check for the "mani.sys" beside the executable against the
// update server of this build (host and port are build settings). owner is
// the window the questions belong to. 1 when both version files were read,
// else 0 (also when a manifest that this build needs was refused); no failure
// is ever shown to the user.
int CheckForUpdates(HWND owner);

// What a check trusts. With a public key (32 bytes) the server's
// "manifest.txt" must carry a valid Ed25519 signature by it and a serial not
// lower than the one last accepted, which is kept as the REG_QWORD value
// "UpdateSerial" of serialKey under HKEY_CURRENT_USER; the downloads must
// have the SHA-512 digests it names and the program offered its version.
// Without one, no manifest is asked for.
struct UpdateTrust {
    const unsigned char *publicKey;
    const WCHAR *serialKey;
};

// The key and serial key this build was made with (the key may be null).
UpdateTrust BuiltInUpdateTrust();

// The same for an archive at any path, any server and any trust (tests);
// null trust trusts no key.
int CheckForUpdatesAt(HWND owner, const WCHAR *archivePath, const WCHAR *host, INTERNET_PORT port,
                      const UpdateTrust *trust = nullptr);
