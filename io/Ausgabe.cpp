#include "io/Ausgabe.h"

#include <algorithm>
#include <cstring>
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
// Units of small pieces gathered before they are encoded together (fits a core's cache).
constexpr std::size_t kStufeUnits = 32768;

inline bool IstHoch(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IstTief(char16_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }

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

AusgabeStrom::AusgabeStrom(CStdioFile& stream)
    : m_stream(stream), m_pStufe(new char16_t[kStufeUnits])
{
    m_pW = m_pStufe.get();
    m_pEnde = m_pW + kStufeUnits;
}

AusgabeStrom::~AusgabeStrom() = default;

void AusgabeStrom::Ueberlauf(const char16_t* p, std::size_t n)
{
    Kodiere(m_pStufe.get(), static_cast<std::size_t>(m_pW - m_pStufe.get()));
    m_pW = m_pStufe.get();
    if (n >= kStufeUnits / 4) {
        // Large enough to be encoded where it is, without being gathered first.
        Kodiere(p, n);
    } else {
        std::memcpy(m_pW, p, n * sizeof(char16_t));
        m_pW += n;
    }
}

void AusgabeStrom::Fertig()
{
    Kodiere(m_pStufe.get(), static_cast<std::size_t>(m_pW - m_pStufe.get()));
    m_pW = m_pStufe.get();
    if (m_nHoch != 0) {
        // Nothing followed: the held unit is a lone surrogate.
        const char16_t nHoch = m_nHoch;
        m_nHoch = 0;
        KodiereGanz(&nHoch, 1);
    }
    if (m_nBytes > 0) Schreibe();
}

void AusgabeStrom::Kodiere(const char16_t* p, std::size_t n)
{
    if (n == 0) return;
    if (m_nHoch != 0) {
        // The held unit and this piece's first one form a pair, or the held one stands alone.
        const char16_t aPaar[2] = {m_nHoch, p[0]};
        m_nHoch = 0;
        if (IstTief(p[0])) {
            KodiereGanz(aPaar, 2);
            ++p;
            --n;
        } else {
            KodiereGanz(aPaar, 1);
        }
    }
    if (n > 0 && IstHoch(p[n - 1])) {
        m_nHoch = p[n - 1];
        --n;
    }
    KodiereGanz(p, n);
}

void AusgabeStrom::KodiereGanz(const char16_t* p, std::size_t n)
{
    if (n > 0 && m_nKapazitaet < kBlockBytes && m_nKapazitaet - m_nBytes < n * kMaxBytesJeUnit) {
        // The byte buffer grows to the block size as it is needed: a short result (a usage
        // text, a small document) does not take a whole block.
        std::size_t nNeu = std::max(2 * m_nKapazitaet, m_nBytes + n * kMaxBytesJeUnit);
        if (nNeu > kBlockBytes) nNeu = kBlockBytes;
        std::unique_ptr<char[]> pNeu(new char[nNeu]);
        if (m_nBytes > 0) std::memcpy(pNeu.get(), m_pBytes.get(), m_nBytes);
        m_pBytes = std::move(pNeu);
        m_nKapazitaet = nNeu;
    }
    while (n > 0) {
        // As many units as surely fit into the space left.
        std::size_t nStueck = (m_nKapazitaet - m_nBytes) / kMaxBytesJeUnit;
        if (nStueck > n) nStueck = n;
        // Keep a pair together: a high surrogate at the cut goes into the next round.
        if (nStueck > 0 && nStueck < n && IstHoch(p[nStueck - 1])) --nStueck;
        if (nStueck == 0) {
            Schreibe();
            continue;
        }
        m_nBytes += Utf16ZuSchmal(m_pBytes.get() + m_nBytes, p, nStueck);
        p += nStueck;
        n -= nStueck;
        // Nearly full: write now rather than encode tiny pieces.
        if (m_nKapazitaet == kBlockBytes && kBlockBytes - m_nBytes < 64 * kMaxBytesJeUnit) Schreibe();
    }
}

void AusgabeStrom::Schreibe()
{
    const std::size_t n = m_nBytes;
    m_nBytes = 0;
    m_stream.Write(m_pBytes.get(), n);
}

bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler)
{
    if (!text.HatDaten() || text.Laenge() <= 0) return true;
    try {
        AusgabeStrom strom(stream);
        strom.Anhaengen(text);
        strom.Fertig();
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
