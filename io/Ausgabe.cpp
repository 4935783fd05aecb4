#include "io/Ausgabe.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "platform/Ausnahmen.h"
#include "platform/SchmalCodec.h"

namespace {

// Output bytes gathered before each write call.
constexpr std::size_t kBlockBytes = 1048576;
// Worst case of narrow bytes per unit.
constexpr std::size_t kMaxBytesJeUnit = 3;

inline bool IstHoch(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }

}  // namespace

CString ErzeugeString(const BrixSubString& view)
{
    if (!view.HatDaten() || view.Laenge() <= 0) return CString();
    return CString(view.Daten(), view.Laenge());
}

CString& Zuweisen(CString& target, const BrixSubString& view)
{
    if (view.m_pString == &target) {
        // Resizing the target would move or overwrite the units being copied: copy them first.
        CString kopie = ErzeugeString(view);
        target.Tausche(kopie);
    } else if (view.HatDaten() && view.Laenge() > 0) {
        const int n = view.Laenge();
        char16_t* p = target.GetBufferSetLength(n);
        std::copy(view.Daten(), view.Daten() + n, p);
        target.ReleaseBuffer(n);
    } else {
        target.Empty();
    }
    return target;
}

bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler)
{
    const std::size_t nUnits = text.HatDaten() && text.Laenge() > 0 ? static_cast<std::size_t>(text.Laenge()) : 0;
    if (nUnits == 0) return true;
    const char16_t* pText = text.Daten();
    try {
        // A small text gets a buffer of its exact worst case and goes out in one write.
        const std::size_t nPuffer =
            nUnits * kMaxBytesJeUnit < kBlockBytes ? nUnits * kMaxBytesJeUnit : kBlockBytes;
        std::unique_ptr<char[]> pPuffer(new char[nPuffer]);
        std::size_t nFuellung = 0;
        std::size_t i = 0;
        while (i < nUnits) {
            // As many units as surely fit into the space left.
            std::size_t nStueck = (nPuffer - nFuellung) / kMaxBytesJeUnit;
            if (nStueck > nUnits - i) nStueck = nUnits - i;
            // Keep a pair together: a high surrogate at the cut waits for the next piece.
            if (nStueck > 0 && i + nStueck < nUnits && IstHoch(pText[i + nStueck - 1])) --nStueck;
            if (nStueck == 0) {
                stream.Write(pPuffer.get(), nFuellung);
                nFuellung = 0;
                continue;
            }
            nFuellung += Utf16ZuSchmal(pPuffer.get() + nFuellung, pText + i, nStueck);
            i += nStueck;
            // Nearly full: write now rather than encode tiny pieces.
            if (nPuffer - nFuellung < 64 * kMaxBytesJeUnit && i < nUnits) {
                stream.Write(pPuffer.get(), nFuellung);
                nFuellung = 0;
            }
        }
        if (nFuellung > 0) stream.Write(pPuffer.get(), nFuellung);
        return true;
    } catch (const CFileException& e) {
        if (pFehler) {
            pFehler->strMeldung = e.Meldung();
            pFehler->nErrno = e.Fehlernummer();
        }
    } catch (const std::bad_alloc&) {
        if (pFehler) {
            pFehler->strMeldung = stream.Bezeichnung() + " kann nicht geschrieben werden: Nicht genug Speicher";
            pFehler->nErrno = ENOMEM;
        }
    }
    return false;
}

bool SchreibeAusgabe(const CString& text, CStdioFile& stream, DateiFehler* pFehler)
{
    return SchreibeAusgabe(BrixSubString(text), stream, pFehler);
}
