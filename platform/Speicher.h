// The memory the process may still take. Linux grants memory it does not have (overcommit) and
// later kills the process that touches it; so every large growth of a text is checked first,
// and refused with std::bad_alloc (reported as "Nicht genug Speicher", status 2) when it would
// pass what the machine and the process's limits allow.
#pragma once

#include <cstdint>

// Growths below this are not checked: they cannot matter, and the check reads files.
inline constexpr std::int64_t kSpeicherPruefSchwelle = std::int64_t{64} << 20;

// Bytes the process may still take: the least of the memory the machine has available
// (MemAvailable and free swap), what RLIMIT_AS and RLIMIT_DATA leave, and what the process's
// cgroup leaves. -1 when none of them can be read.
std::int64_t FreierSpeicher() noexcept;

// False when nBytes more (from kSpeicherPruefSchwelle on) would not fit.
bool SpeicherReicht(std::int64_t nBytes) noexcept;
// Throws std::bad_alloc when nBytes more would not fit (SpeicherReicht).
void PruefeSpeicher(std::int64_t nBytes);
