// The narrow codec of the tests: bytes as UTF-16 units and back, the way the reference model
// sees a narrow document (UTF-8, byte-transparent).
//
// Decoding is strict UTF-8 (no overlong forms, no encoded surrogates, nothing above U+10FFFF).
// Each byte that is not part of a valid sequence becomes the unit U+DC00 + byte (always
// U+DC80..U+DCFF); code points above U+FFFF become a surrogate pair; a zero byte becomes U+0000.
// Encoding: a valid surrogate pair becomes 4-byte UTF-8; a lone unit U+DC80..U+DCFF becomes its
// single byte; any other lone surrogate becomes U+FFFD; the rest is plain UTF-8. So any bytes
// decoded and encoded again come out identical.
#pragma once

#include <cstddef>
#include <cstdint>

// Number of UTF-16 units that n bytes decode to (never more than n).
std::int64_t SchmalZaehle(const unsigned char* pBytes, std::size_t n) noexcept;

// Decodes n bytes into pZiel, which has room for SchmalZaehle(pBytes, n) units; returns the
// number of units written.
std::size_t SchmalZuUtf16(char16_t* pZiel, const unsigned char* pBytes, std::size_t n) noexcept;

// Number of bytes that n units encode to (at most 3 per unit).
std::size_t Utf16SchmalLaenge(const char16_t* pText, std::size_t n) noexcept;

// Encodes n units into pZiel, which has room for Utf16SchmalLaenge(pText, n) bytes; returns the
// number of bytes written. A high surrogate that is the last of the n units counts as lone:
// callers that encode a text piece by piece never cut between the two units of a pair.
std::size_t Utf16ZuSchmal(char* pZiel, const char16_t* pText, std::size_t n) noexcept;
