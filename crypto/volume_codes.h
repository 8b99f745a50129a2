// Result codes of the volume layer that the ciphers, modes and header code
// return (the driver and the mount code use the same numbers).
#pragma once
#include <cstdint>

enum VolumeResult : int32_t {
    VOLUME_OK = 0,
    VOLUME_OUT_OF_MEMORY = 2,
    VOLUME_WRONG_PASSWORD = 3,        // no PRF, mode and algorithm opened the header
    VOLUME_BAD_FORMAT = 4,            // a legacy mode was asked for without a master key
    VOLUME_CIPHER_INIT_FAILED = 17,
    VOLUME_WEAK_KEY = 18,             // also: the random pool could not deliver
    VOLUME_MODE_INIT_FAILED = 27,
    VOLUME_PARAMETER_INCORRECT = 30,  // arguments no caller may pass
};
