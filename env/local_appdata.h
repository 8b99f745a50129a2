#pragma once

// Writes "LocalAppData" into the machine's environment and announces the
// change. 1 on success, 0 after an error box.
int SetLocalAppDataDefault(void);
