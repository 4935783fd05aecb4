#include "platform/Speicher.h"

#include <new>

bool SpeicherReicht(std::int64_t nBytes) noexcept
{
    if (nBytes < kSpeicherPruefSchwelle) return true;
    const std::int64_t nFrei = FreierSpeicher();
    return nFrei < 0 || nBytes <= nFrei;
}

void PruefeSpeicher(std::int64_t nBytes)
{
    if (!SpeicherReicht(nBytes)) throw std::bad_alloc();
}
