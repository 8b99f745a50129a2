// One-time set-up of the cryptographic library. Call InitCrypto() once at
// start-up, before any other thread uses the library; the crypto functions
// call it themselves too, so forgetting it is harmless.
#pragma once

// True when the library is usable: version checked, secure memory (for key
// schedules and hash states) set up, initialisation finished.
bool InitCrypto();
