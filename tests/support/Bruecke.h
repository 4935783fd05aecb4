// Between the product's bytes and the reference model's UTF-16 units, for tests that compare
// the two: a narrow document is the bytes the product filters and the units a strict decoder
// makes of them (support/SchmalCodec.h); a document read as UTF-16 is its units, and the product
// holds it in the form AusUtf16 (platform/Textform.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/CString.h"

// The bytes of units, as the narrow encoder writes them (lone surrogates DC80..DCFF as their
// byte, other lone ones as U+FFFD).
std::string SchmalAus(std::u16string_view units);
// The units a strict decoder makes of bytes (each stray byte b as DC00 + b).
std::u16string UnitsAus(std::string_view bytes);
// A narrow text as the product holds it.
CString SchmalText(std::string_view bytes);
// A document of UTF-16 units as the product holds it after reading it from a UTF-16LE file.
CString Utf16Text(std::u16string_view units);
// The same for the bytes of a UTF-16LE file behind its mark FF FE, which may have an odd length.
CString Utf16TextAusBytes(std::string_view le);
// The same for a UTF-16LE file of units and then one odd byte nByte.
CString Utf16MitEinzelbyte(std::u16string_view units, unsigned char nByte);
// The UTF-16LE bytes of units behind the mark FF FE: the file the product would read.
std::string Utf16Datei(std::u16string_view units);
// The bytes the product writes for its text s (converted when s is in the form AusUtf16).
std::string AusgabeVon(const CString& s);
std::string AusgabeVon(std::string_view bytes, TextForm eForm);
// The UTF-16LE bytes (no mark) that -i writes back for a text in the form AusUtf16.
std::string Utf16Von(std::string_view intern);

// Units in the form AusUtf16, as this side writes it: a surrogate pair as the 4-byte sequence of
// its code point, every other unit (lone surrogates included) as the UTF-8 form of its value.
std::string InternAus(std::u16string_view units);
// The units of a text in the form AusUtf16, unit for unit: a 4-byte sequence as its pair, a
// surrogate in its 3-byte form as that unit, the kept odd byte of a file as nothing.
std::u16string UnitsAusIntern(std::string_view bytes);

// Where each unit's character starts in the product's bytes, for a text of units as the product
// holds it in the form eForm (narrow: the bytes the narrow encoder writes for the units, which
// for the units of a strict decoder are the decoded bytes; AusUtf16: as read from a UTF-16 file).
// Entry i is the byte offset of unit i when a character starts there, -1 at the second unit of a
// surrogate pair; the last entry (index units.size()) is the length of all the bytes.
std::vector<std::ptrdiff_t> ByteVersaetze(std::u16string_view units, TextForm eForm);

// Bytes readable in a failure message: printable ASCII as it is, CR and LF as \r and \n, every
// other byte as \xNN.
std::string LesbareBytes(std::string_view bytes);
