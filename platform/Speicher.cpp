#include "platform/Speicher.h"

#include <new>

void PruefeSpeicher(std::int64_t nBytes)
{
    if (nBytes < kSpeicherPruefSchwelle) return;
    const std::int64_t nFrei = FreierSpeicher();
    if (nFrei >= 0 && nBytes > nFrei) throw std::bad_alloc();
}
