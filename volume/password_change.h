// Changing the container's password: its header (and the backup header) is
// rewritten many times under freshly salted keys from the new password; the
// master key stays, so no data is re-encrypted.
#pragma once
#include <windows.h>

#include "volume/password_record.h"

// Whether the container file's time stamps are put back after the change;
// on unless turned off.
extern BOOL KeepContainerTimeStamps;

// Whether the headers are built on threads of their own while the ones
// before are written and flushed (on unless turned off); off, every pass
// builds and then writes in turn on the caller's thread. Either way each
// header has its own salt and key and they are written in the same order.
extern BOOL BuildHeadersAhead;

// Writes per header location.
constexpr int PASSWORD_CHANGE_PASSES = 100;

// 0 success; -1 an empty password (nothing opened); otherwise a volume
// result code, already shown to the user (owner: the dialog) except an
// access-denied device open under UAC. prf 0 keeps the volume's PRF.
int ChangeVolumePassword(const char *containerPath, const QdskPassword *oldPassword,
                         const QdskPassword *newPassword, int prf, HWND owner);
