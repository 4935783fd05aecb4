#include "support/Bruecke.h"

#include <algorithm>
#include <cstdio>

#include "platform/Textform.h"
#include "support/SchmalCodec.h"

std::string SchmalAus(std::u16string_view units)
{
    std::string bytes(Utf16SchmalLaenge(units.data(), units.size()), '\0');
    bytes.resize(Utf16ZuSchmal(bytes.data(), units.data(), units.size()));
    return bytes;
}

std::u16string UnitsAus(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::u16string units(static_cast<std::size_t>(SchmalZaehle(p, bytes.size())), u'\0');
    units.resize(SchmalZuUtf16(units.data(), p, bytes.size()));
    return units;
}

CString SchmalText(std::string_view bytes) { return CString(bytes); }

std::string Utf16Datei(std::u16string_view units)
{
    std::string s = "\xFF\xFE";
    for (const char16_t u : units) {
        s += static_cast<char>(u & 0xFF);
        s += static_cast<char>(u >> 8);
    }
    return s;
}

CString Utf16TextAusBytes(std::string_view le)
{
    const auto* p = reinterpret_cast<const unsigned char*>(le.data());
    const std::size_t n = le.size();
    CString s;
    char* q = s.GetBufferSetLength(static_cast<std::ptrdiff_t>(Utf16InternLaenge(p, n)));
    s.ReleaseBuffer(static_cast<std::ptrdiff_t>(Utf16ZuIntern(q, p, n)));
    s.SetzeForm(TextForm::AusUtf16);
    return s;
}

CString Utf16MitEinzelbyte(std::u16string_view units, unsigned char nByte)
{
    return Utf16TextAusBytes(Utf16Datei(units).substr(2) + static_cast<char>(nByte));
}

CString Utf16Text(std::u16string_view units)
{
    return Utf16TextAusBytes(std::string_view(Utf16Datei(units)).substr(2));
}

std::string AusgabeVon(std::string_view bytes, TextForm eForm)
{
    if (eForm == TextForm::Schmal) return std::string(bytes);
    std::string aus(bytes.size(), '\0');
    aus.resize(InternZuAusgabe(aus.data(), bytes.data(), bytes.size()));
    return aus;
}

std::string AusgabeVon(const CString& s) { return AusgabeVon(s.Sicht(), s.Form()); }

std::string Utf16Von(std::string_view intern)
{
    std::string le(2 * intern.size(), '\0');
    le.resize(InternZuUtf16(le.data(), intern.data(), intern.size()));
    return le;
}

std::string InternAus(std::u16string_view units)
{
    std::string s;
    auto folge = [&s](unsigned c, int nStelle) { s += static_cast<char>(0x80 | ((c >> (6 * nStelle)) & 0x3F)); };
    for (std::size_t i = 0; i < units.size(); ++i) {
        unsigned c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00u);
            s += static_cast<char>(0xF0 | (c >> 18));
            folge(c, 2);
            folge(c, 1);
            folge(c, 0);
        } else if (c >= 0x800) {
            s += static_cast<char>(0xE0 | (c >> 12));
            folge(c, 1);
            folge(c, 0);
        } else if (c >= 0x80) {
            s += static_cast<char>(0xC0 | (c >> 6));
            folge(c, 0);
        } else {
            s += static_cast<char>(c);
        }
    }
    return s;
}

std::u16string UnitsAusIntern(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::u16string units;
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        std::size_t nLaenge = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (b == 0xF8) {
            i += 3;  // the odd byte: no unit
            continue;
        }
        nLaenge = std::min(nLaenge, n - i);
        unsigned c = nLaenge == 1 ? b : nLaenge == 2 ? b & 0x1F : nLaenge == 3 ? b & 0x0F : b & 0x07;
        for (std::size_t k = 1; k < nLaenge; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
        i += nLaenge;
    }
    return units;
}

std::vector<std::ptrdiff_t> ByteVersaetze(std::u16string_view units, TextForm eForm)
{
    std::vector<std::ptrdiff_t> aVersatz(units.size() + 1, -1);
    std::ptrdiff_t nByte = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        aVersatz[i] = nByte;
        const char16_t u = units[i];
        const bool bPaar = u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                           units[i + 1] <= 0xDFFF;
        if (bPaar) {
            nByte += 4;
            ++i;  // its second unit starts no character: -1
            continue;
        }
        const bool bEinzeln = u >= 0xD800 && u <= 0xDFFF;
        if (eForm == TextForm::Schmal && bEinzeln) {
            nByte += u >= 0xDC80 && u <= 0xDCFF ? 1 : 3;  // its byte, or U+FFFD
        } else {
            nByte += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    aVersatz[units.size()] = nByte;
    return aVersatz;
}

std::string LesbareBytes(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            char puffer[8];
            std::snprintf(puffer, sizeof puffer, "\\x%02X", b);
            out += puffer;
        }
    }
    return out;
}
