// Small helpers shared by the fuzz targets: turning fuzz bytes into texts in the product's two
// worlds (with what the reference model makes of them), and checking invariants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "platform/CString.h"
#include "platform/Textform.h"
#include "support/Bruecke.h"
#include "support/Referenz.h"

// Aborts with a message when an invariant fails, in every build (assert may be compiled out).
#define FUZZ_PRUEFE(bedingung)                                                              \
    do {                                                                                    \
        if (!(bedingung)) {                                                                 \
            std::fprintf(stderr, "Invariante verletzt: %s (%s:%d)\n", #bedingung, __FILE__, \
                         __LINE__);                                                         \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// Reads fuzz bytes from the front: small numbers that steer a target.
class FuzzLeser {
public:
    FuzzLeser(const std::uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    std::uint8_t Byte() { return m_n ? (--m_n, *m_p++) : 0; }
    std::size_t Rest() const { return m_n; }
    std::string_view RestBytes() const { return {reinterpret_cast<const char*>(m_p), m_n}; }
    // Takes bytes up to (not including) a 0xFF separator, or all that are left.
    std::string_view BisTrenner()
    {
        std::size_t i = 0;
        while (i < m_n && m_p[i] != 0xFF) ++i;
        std::string_view teil(reinterpret_cast<const char*>(m_p), i);
        const std::size_t nVerbraucht = i < m_n ? i + 1 : i;
        m_p += nVerbraucht;
        m_n -= nVerbraucht;
        return teil;
    }

private:
    const std::uint8_t* m_p;
    std::size_t m_n;
};

// A document of fuzz bytes in one of the product's worlds, and the reference model's units of it.
struct FuzzDokument {
    CString text;                       // the product's text
    std::u16string einheiten;           // the reference model's units
    std::vector<std::ptrdiff_t> aByte;  // ByteVersaetze (support/Bruecke.h): where units lie in text
    std::string strNachsatz;            // the odd last byte of a UTF-16 file as it comes out, or empty

    TextForm Form() const { return text.Form(); }
    std::ptrdiff_t Einheiten() const { return static_cast<std::ptrdiff_t>(einheiten.size()); }
    // True when a character starts at unit i (not the second unit of a pair).
    bool IstZeichenanfang(std::ptrdiff_t i) const { return aByte[static_cast<std::size_t>(i)] >= 0; }
    // The start of the character that holds unit i.
    std::ptrdiff_t Zeichenanfang(std::ptrdiff_t i) const { return IstZeichenanfang(i) ? i : i - 1; }
    // The product's view of a reference view whose ends are where characters start; a view to
    // the end of the text takes the odd byte in.
    BrixSubString Sicht(const referenz::Sicht& r) const
    {
        const std::ptrdiff_t nEnde =
            r.nEnd == Einheiten() ? text.GetLength() : aByte[static_cast<std::size_t>(r.nEnd)];
        return BrixSubString(&text, aByte[static_cast<std::size_t>(r.nStart)], nEnde);
    }
    // A buffer index in units as one in bytes; it must be where a character starts.
    std::ptrdiff_t Absolut(std::ptrdiff_t n) const
    {
        FUZZ_PRUEFE(n >= 0 && n <= Einheiten() && IstZeichenanfang(n));
        return aByte[static_cast<std::size_t>(n)];
    }
    // A position relative to the view r, in units, as one relative to Sicht(r), in bytes; a
    // negative one (none, or a mark) stays.
    std::ptrdiff_t Relativ(const referenz::Sicht& r, std::ptrdiff_t n) const
    {
        return n < 0 ? n : Absolut(r.nStart + n) - Absolut(r.nStart);
    }
};

// The fuzz bytes as narrow text, or (bUtf16) as the bytes of a UTF-16LE file behind its mark,
// which may have an odd length: every unit value, lone surrogates and U+0000 included, can occur.
inline FuzzDokument FuzzText(std::string_view bytes, bool bUtf16)
{
    FuzzDokument dok;
    if (!bUtf16) {
        dok.text = SchmalText(bytes);
        dok.einheiten = UnitsAus(bytes);
        dok.aByte = ByteVersaetze(dok.einheiten, TextForm::Schmal);
        FUZZ_PRUEFE(dok.aByte.back() == dok.text.GetLength());
        return dok;
    }
    dok.text = Utf16TextAusBytes(bytes);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        dok.einheiten.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                      (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    if (bytes.size() % 2 == 1) dok.strNachsatz = std::string(1, bytes.back());
    dok.aByte = ByteVersaetze(dok.einheiten, TextForm::AusUtf16);
    // The odd byte is held in three bytes behind the units.
    FUZZ_PRUEFE(dok.aByte.back() + (dok.strNachsatz.empty() ? 0 : 3) == dok.text.GetLength());
    return dok;
}

// A command-line value (a name, a replacement) for a document of the form eForm, as the chain of a
// run makes it.
inline CString FuzzWert(std::string_view bytes, TextForm eForm)
{
    CString wert(eForm == TextForm::Schmal ? std::string(bytes) : SchmalZuIntern(bytes));
    wert.SetzeForm(eForm);
    return wert;
}

// True when every byte of teil occurs in ganz in the same order (teil is a subsequence).
inline bool IstTeilfolge(std::string_view teil, std::string_view ganz)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < ganz.size() && j < teil.size(); ++i)
        if (ganz[i] == teil[j]) ++j;
    return j == teil.size();
}

// A filter's result (bytes in the form of dok) is what the reference model's result (units) comes
// out as, with the odd byte behind it where the filter copies the end of its input.
inline bool GleicheAusgabe(const FuzzDokument& dok, std::string_view ist, const std::u16string& soll, bool bNachsatz)
{
    std::string erwartet = SchmalAus(soll);
    if (bNachsatz) erwartet += dok.strNachsatz;
    if (AusgabeVon(ist, dok.Form()) != erwartet) return false;
    // The held form of a UTF-16 document keeps every unit.
    return dok.Form() == TextForm::Schmal || UnitsAusIntern(ist) == soll;
}
