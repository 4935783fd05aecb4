// Large buffers on Windows come from the heap, where realloc keeps the growth of a buffer cheap
// enough; views of files (CFile::Abbilden) are released as views.
#include "platform/Abbild.h"

#include <windows.h>

#include <cstdlib>

char* NeuesAbbild(std::size_t nBytes) noexcept { return static_cast<char*>(std::malloc(nBytes)); }

char* AenderAbbild(char* p, std::size_t, std::size_t nNeu) noexcept
{
    return static_cast<char*>(std::realloc(p, nNeu));
}

void GibAbbildFrei(char* p, std::size_t) noexcept
{
    MEMORY_BASIC_INFORMATION info;
    if (p && VirtualQuery(p, &info, sizeof info) == sizeof info && info.Type == MEM_MAPPED)
        UnmapViewOfFile(p);
    else
        std::free(p);
}

// Unlocking pages that were never locked takes them out of the working set, which is what is
// wanted; the call reports that as a failure, which changes nothing.
void GibSeitenZurueck(char* p, std::size_t nBytes) noexcept { VirtualUnlock(p, nBytes); }
