#include "platform/Grenzen.h"

#include "platform/Ausnahmen.h"

namespace {
std::int64_t g_nMaxTextLaenge = kMaxTextLaenge;
}

std::int64_t MaxTextLaenge() noexcept { return g_nMaxTextLaenge; }

void SetzeMaxTextLaenge(std::int64_t nLaenge) noexcept
{
    if (nLaenge < 0) nLaenge = 0;
    if (nLaenge > kMaxTextLaenge) nLaenge = kMaxTextLaenge;
    g_nMaxTextLaenge = nLaenge;
}

void PruefeTextLaenge(std::int64_t nLaenge)
{
    if (nLaenge > g_nMaxTextLaenge)
        throw CLaengenException("Text zu lang: " + std::to_string(nLaenge) + " Zeichen, erlaubt sind höchstens " +
                                std::to_string(g_nMaxTextLaenge));
}
