#include "crypto/crypto_context.h"

#include <new>

#include "crypto/modes.h"
#include "crypto/secure_memory.h"
#include "crypto/volume_codes.h"

QdskCryptoContext *AllocateCryptoContext()
{
    void *memory = AllocateLockedMemory(sizeof(QdskCryptoContext));
    if (memory == nullptr)
        return nullptr;
    QdskCryptoContext *context = new (memory) QdskCryptoContext();  // zero-filled
    context->algorithm = -1;
    return context;
}

void ReleaseCryptoContext(QdskCryptoContext *context)
{
    if (context == nullptr)
        return;
    ReleaseCipherSchedules(context->primarySchedules, MAX_CASCADE);
    ReleaseCipherSchedules(context->secondarySchedules, MAX_CASCADE);
    FreeLockedMemory(context, sizeof(QdskCryptoContext));
}

bool SetupModeKeys(QdskCryptoContext *context)
{
    if (context == nullptr || !IsModeAllowed(context->algorithm, context->modeId))
        return false;
    switch (context->modeId) {
    case MODE_XTS:
        return SetupAlgorithmKeys(context->algorithm, context->secondaryKey,
                                  context->secondarySchedules) == VOLUME_OK;
    case MODE_LRW:
        switch (AlgorithmBlockSize(context->algorithm)) {
        case 16:
            BuildLrwTable128(context->secondaryKey, context->lrwTable);
            return true;
        case 8:
            BuildLrwTable64(context->secondaryKey, context->lrwTable + LRW_TABLE64_OFFSET);
            return true;
        default:
            return false;
        }
    case MODE_CBC:
    case MODE_OUTER_CBC:
    case MODE_INNER_CBC:
        return true;
    default:
        return false;
    }
}
