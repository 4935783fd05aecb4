// The two forms of a text, and the moves between them and the outside.
//
// Schmal: the bytes as read from narrow input (UTF-8, or anything). They are filtered as they
// are and written out unchanged. Where the unit count of a text matters (the step of 100 units
// behind an unclosed comment), the bytes count as a strict UTF-8 decoder takes them: a 4-byte
// sequence is two UTF-16 units, every other well-formed sequence one, and every byte that is not
// part of one (a stray continuation, an overlong or cut-short sequence, an encoded surrogate,
// anything above U+10FFFF) one unit of its own.
//
// AusUtf16: a document read as UTF-16LE, held as generalised UTF-8: every unit as UTF-8, a
// surrogate pair as the 4-byte sequence of its code point, a lone surrogate as the 3-byte form of
// its unit (ED A0..BF xx), and the odd last byte of a file of odd length as the three bytes F8,
// 80 + (b >> 6), 80 + (b & 3F), which count for no unit (it is half of one). So every ASCII unit
// is its byte, and equal units are equal bytes.
// On output a lone surrogate DC80..DCFF becomes its low byte, any other U+FFFD (EF BF BD), a high
// and a low surrogate that have come to stand side by side become the 4-byte sequence of their
// code point, and the odd byte itself; the rest is copied. Written back as UTF-16LE (a file edited
// in place), every unit, lone surrogates and the odd byte included, is what it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class TextForm : unsigned char { Schmal, AusUtf16 };

// Length in bytes of the character at p (nRest >= 1 bytes from p on) and, in nUnits, the number
// of UTF-16 units it counts for, by the rules of the form.
int ZeichenLaenge(const unsigned char* p, std::size_t nRest, TextForm eForm, int& nUnits) noexcept;

// The start of the character that holds the unit nUnits units behind the one at p in d[0..n)
// (p < n, p at a character's start), or of the character that holds the last unit when the text
// ends sooner. When that unit is the second of a pair, it is the pair's start: a step never
// splits a character (in the form AusUtf16 neither a 4-byte sequence nor a high and a low
// surrogate side by side, which output joins into one character).
std::ptrdiff_t ZeichenNachUnits(const char* d, std::ptrdiff_t n, std::ptrdiff_t p, std::ptrdiff_t nUnits,
                                TextForm eForm) noexcept;

// Bytes that n bytes of UTF-16LE take in the form AusUtf16 (at most 3 per 2 bytes, and 3 for an
// odd last byte).
std::size_t Utf16InternLaenge(const unsigned char* pBytes, std::size_t n) noexcept;
// Converts n bytes of UTF-16LE into pZiel, which has room for Utf16InternLaenge(pBytes, n)
// bytes; returns the number written.
std::size_t Utf16ZuIntern(char* pZiel, const unsigned char* pBytes, std::size_t n) noexcept;
// How many of n bytes of UTF-16LE convert the same whatever bytes follow them: all but an odd
// last byte and a high surrogate at the end, which may pair with the next unit.
std::size_t Utf16Fertig(const unsigned char* pBytes, std::size_t n) noexcept;

// Narrow bytes (an argument) as the units a strict UTF-8 decoder makes of them, in the form
// AusUtf16: well-formed sequences stay, every other byte b becomes the lone surrogate DC00 + b.
std::string SchmalZuIntern(std::string_view bytes);

// The output bytes of n bytes in the form AusUtf16 (at most n); pZiel has room for n bytes. A
// high surrogate at the end counts as lone: callers that convert a text piece by piece hold one
// back for the next piece (HohesEnde).
std::size_t InternZuAusgabe(char* pZiel, const char* p, std::size_t n) noexcept;
// 3 when the n bytes at p end in a high surrogate (which may pair with what follows), else 0.
std::size_t HohesEnde(const char* p, std::size_t n) noexcept;

// The UTF-16LE bytes (no mark) of n bytes in the form AusUtf16, the exact inverse of
// Utf16ZuIntern: each unit as it was, a 4-byte sequence as its pair, the odd byte as itself; a high
// and a low surrogate side by side are two units anyway. A byte that starts no character (the form
// never holds one) becomes the unit DC00 + b. pZiel has room for 2 * n bytes; returns the number
// written. The n bytes end at a character's end: no character may be cut.
std::size_t InternZuUtf16(char* pZiel, const char* p, std::size_t n) noexcept;
