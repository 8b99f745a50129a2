// What the random pool's keyboard and mouse hooks take from an input event.
// Platform-neutral so the rules can be tested without a message loop; the
// hook procedures (random_pool_win32.cpp) feed them and add the value.
#pragma once
#include <cstddef>
#include <cstdint>

struct KeyboardEntropy {
    uint32_t lastScanCodes[2];  // of the last two counted events
    uint32_t lastTick;          // tick count of the last counted event
};

struct MouseEntropy {
    uint32_t lastChains[2];  // CRC chains of the last two event records
    uint32_t lastTick;       // tick count of the last event
};

void InitKeyboardEntropy(KeyboardEntropy &state);
void InitMouseEntropy(MouseEntropy &state);

// A keyboard event (the hook's key data) counts when it is a single key
// release (repeat count 1, context bit 29 clear, transition bit 31 set)
// whose scan code is not the scan code of both of the last two counted
// events, so holding or hammering one key adds little. For a counted event
// *value receives the CRC-32 of the key data plus the CRC chain over the
// time since the last counted event and the tick count; returns true.
bool KeyboardEventEntropy(KeyboardEntropy &state, uint32_t keyData, uint32_t tick, uint32_t *value);

// A mouse event: the CRC chain over the first 20 bytes of its record; when
// that differs from the chains of both last two events, *value receives it
// plus the chain over the time since the last event and the tick count, and
// the function returns true.
bool MouseEventEntropy(MouseEntropy &state, const void *record, size_t recordLength, uint32_t tick,
                       uint32_t *value);
