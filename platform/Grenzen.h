// The one length limit of every text: positions are int, so no text may pass INT_MAX units.
#pragma once

#include <cstdint>

// Longest text, in UTF-16 units, that the program accepts or produces.
inline constexpr std::int64_t kMaxTextLaenge = 2147483647;

// The limit in force. It is kMaxTextLaenge, except in tests that lower it to exercise the
// refusal paths without allocating gigabytes.
std::int64_t MaxTextLaenge() noexcept;

// Sets the limit in force; values outside 0..kMaxTextLaenge are clamped. For tests.
void SetzeMaxTextLaenge(std::int64_t nLaenge) noexcept;

// Throws CLaengenException when nLaenge passes the limit in force. All length arithmetic that
// could pass the int range ends here, computed in 64 bits.
void PruefeTextLaenge(std::int64_t nLaenge);
