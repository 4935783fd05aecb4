// The memory left on Windows: what the system can still commit (memory and page file) and the
// address space the process has left.
#include "platform/Speicher.h"

#include <windows.h>

std::int64_t FreierSpeicher() noexcept
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return -1;
    const auto nZusage = static_cast<std::int64_t>(status.ullAvailPageFile);
    const auto nAdressen = static_cast<std::int64_t>(status.ullAvailVirtual);
    return nZusage < nAdressen ? nZusage : nAdressen;
}
