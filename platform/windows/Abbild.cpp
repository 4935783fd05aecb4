// Large buffers on Windows come from the heap: files are not mapped here, and realloc keeps the
// growth of a buffer cheap enough.
#include "platform/Abbild.h"

#include <cstdlib>

char* NeuesAbbild(std::size_t nBytes) noexcept { return static_cast<char*>(std::malloc(nBytes)); }

char* AenderAbbild(char* p, std::size_t, std::size_t nNeu) noexcept
{
    return static_cast<char*>(std::realloc(p, nNeu));
}

void GibAbbildFrei(char* p, std::size_t) noexcept { std::free(p); }
