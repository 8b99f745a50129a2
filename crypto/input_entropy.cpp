#include "crypto/input_entropy.h"

#include "crypto/crc32.h"

namespace {

constexpr uint32_t NoHistory = 0xFFFFFFFFu;  // matches no scan code
constexpr size_t MouseRecordBytes = 20;      // point, window, hit-test code, extra info (32-bit layout)

uint32_t TimingChain(uint32_t difference, uint32_t tick)
{
    const uint8_t bytes[8] = {uint8_t(difference), uint8_t(difference >> 8), uint8_t(difference >> 16),
                              uint8_t(difference >> 24), uint8_t(tick), uint8_t(tick >> 8),
                              uint8_t(tick >> 16), uint8_t(tick >> 24)};
    return Crc32Chain(0, bytes, sizeof bytes);
}

}  // namespace

void InitKeyboardEntropy(KeyboardEntropy &state)
{
    state.lastScanCodes[0] = state.lastScanCodes[1] = NoHistory;
    state.lastTick = 0;
}

void InitMouseEntropy(MouseEntropy &state)
{
    state.lastChains[0] = state.lastChains[1] = NoHistory;
    state.lastTick = 0;
}

bool KeyboardEventEntropy(KeyboardEntropy &state, uint32_t keyData, uint32_t tick, uint32_t *value)
{
    uint32_t repeat = keyData & 0xFFFF;
    uint32_t scan = (keyData >> 16) & 0xFF;
    bool contextBit = (keyData & (1u << 29)) != 0;
    bool released = (keyData & (1u << 31)) != 0;
    if (repeat != 1 || contextBit || !released)
        return false;
    if (scan == state.lastScanCodes[0] && scan == state.lastScanCodes[1])
        return false;

    uint32_t difference = state.lastTick - tick;
    state.lastTick = tick;
    state.lastScanCodes[1] = state.lastScanCodes[0];
    state.lastScanCodes[0] = scan;
    *value = Crc32OfInt(keyData) + TimingChain(difference, tick);
    return true;
}

bool MouseEventEntropy(MouseEntropy &state, const void *record, size_t recordLength, uint32_t tick,
                       uint32_t *value)
{
    uint32_t difference = state.lastTick - tick;
    state.lastTick = tick;
    uint32_t chain = Crc32Chain(0, record, recordLength < MouseRecordBytes ? recordLength : MouseRecordBytes);
    bool counts = chain != state.lastChains[0] && chain != state.lastChains[1];
    if (counts)
        *value = chain + TimingChain(difference, tick);
    state.lastChains[1] = state.lastChains[0];
    state.lastChains[0] = chain;
    return counts;
}
