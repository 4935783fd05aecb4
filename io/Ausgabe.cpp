#include "io/Ausgabe.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "io/Eingabe.h"
#include "platform/Ausnahmen.h"

namespace {

// Output bytes gathered before each write call.
constexpr std::size_t kBlockBytes = 1048576;
// Narrow pieces at least this long are written from where they are, not gathered.
constexpr std::size_t kDirektBytes = 65536;
// The buffer starts this small, so that a short result does not take a whole block.
constexpr std::size_t kErsterPuffer = 4096;
// The byte order mark that UTF-16LE output starts with.
constexpr char kMarke[] = "\xFF\xFE";

// Bytes at the end of p[0, n) (form AusUtf16) that must wait for what follows: a character
// whose bytes are not all there yet, and a high surrogate before it or at the very end, which
// may pair with the next unit.
std::size_t Wartendes(const char* p, std::size_t n) noexcept
{
    std::size_t nUnfertig = 0;
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const auto b = static_cast<unsigned char>(p[n - k]);
        if ((b & 0xC0) == 0x80) continue;  // a continuation byte: the lead stands further back
        if (b >= 0xC0) {
            const std::size_t nLaenge = b < 0xE0 ? 2 : b < 0xF0 ? 3 : (b == 0xF8 ? 3 : 4);
            if (nLaenge > k) nUnfertig = k;
        }
        break;
    }
    return nUnfertig + HohesEnde(p, n - nUnfertig);
}

}  // namespace

CString ErzeugeString(const BrixSubString& view)
{
    CString s;
    if (view.HatDaten() && view.Laenge() > 0) s = CString(view.Daten(), view.Laenge());
    s.SetzeForm(view.Form());
    return s;
}

CString& Zuweisen(CString& target, const BrixSubString& view)
{
    if (view.m_pString == &target) {
        // Resizing the target would move or overwrite the bytes being copied: copy them first.
        CString kopie = ErzeugeString(view);
        target.Tausche(kopie);
        return target;
    }
    const TextForm eForm = view.Form();
    if (view.HatDaten() && view.Laenge() > 0) {
        const std::ptrdiff_t n = view.Laenge();
        std::memcpy(target.GetBufferSetLength(n), view.Daten(), static_cast<std::size_t>(n));
    } else {
        target.Empty();
    }
    target.SetzeForm(eForm);
    return target;
}

AusgabeStrom::AusgabeStrom(CStdioFile& stream, TextForm eForm, const EingabeWache* pWache, AusgabeForm eAusgabe)
    : m_stream(stream),
      m_eForm(eForm),
      m_pWache(pWache),
      m_bUtf16(eForm == TextForm::AusUtf16 && eAusgabe == AusgabeForm::WieGelesen),
      m_bMarke(m_bUtf16)
{}

AusgabeStrom::~AusgabeStrom() = default;

void AusgabeStrom::Ueberlauf(const char* p, std::size_t n)
{
    const std::size_t nGesammelt = m_pW ? static_cast<std::size_t>(m_pW - m_pPuffer.get()) : 0;
    if (m_nKapazitaet < kBlockBytes) {
        // The buffer grows to a block as it is needed.
        std::size_t nNeu = m_nKapazitaet < kErsterPuffer ? kErsterPuffer : 2 * m_nKapazitaet;
        while (nNeu < nGesammelt + n && nNeu < kBlockBytes) nNeu *= 2;
        if (nNeu > kBlockBytes) nNeu = kBlockBytes;
        std::unique_ptr<char[]> pNeu(new char[nNeu]);
        if (nGesammelt > 0) std::memcpy(pNeu.get(), m_pPuffer.get(), nGesammelt);
        m_pPuffer = std::move(pNeu);
        m_nKapazitaet = nNeu;
        m_pW = m_pPuffer.get() + nGesammelt;
        m_pEnde = m_pPuffer.get() + m_nKapazitaet;
    }
    while (n > 0) {
        if (m_eForm == TextForm::Schmal && n >= kDirektBytes) {
            // Large enough to be written where it is.
            Schreibe(true);
            SchreibeRoh(p, n);
            return;
        }
        std::size_t nFrei = static_cast<std::size_t>(m_pEnde - m_pW);
        if (nFrei == 0) {
            Schreibe(false);
            nFrei = static_cast<std::size_t>(m_pEnde - m_pW);
        }
        const std::size_t nStueck = n < nFrei ? n : nFrei;
        std::memcpy(m_pW, p, nStueck);
        m_pW += nStueck;
        p += nStueck;
        n -= nStueck;
    }
}

void AusgabeStrom::Fertig()
{
    Schreibe(true);
    // An empty text too is written as UTF-16: the file keeps its form.
    if (m_bMarke) SchreibeRoh(kMarke, 2);
    m_bMarke = false;
}

void AusgabeStrom::Spuele()
{
    if (m_pPuffer && m_pW != m_pPuffer.get()) Schreibe(false);
}

void AusgabeStrom::Schreibe(bool bAlles)
{
    if (!m_pPuffer) return;
    const auto n = static_cast<std::size_t>(m_pW - m_pPuffer.get());
    if (m_eForm == TextForm::Schmal) {
        SchreibeRoh(m_pPuffer.get(), n);
        m_pW = m_pPuffer.get();
        return;
    }
    const std::size_t nWarten = bAlles ? 0 : Wartendes(m_pPuffer.get(), n);
    // Narrow output never takes more bytes than the text it comes from, UTF-16 at most twice as
    // many and the mark.
    const std::size_t nNoetig = m_bUtf16 ? 2 * m_nKapazitaet + 2 : m_nKapazitaet;
    if (m_nGewandelt < nNoetig) {
        m_pGewandelt.reset(new char[nNoetig]);
        m_nGewandelt = nNoetig;
    }
    std::size_t nAus = 0;
    if (m_bUtf16) {
        if (m_bMarke) {
            std::memcpy(m_pGewandelt.get(), kMarke, 2);
            nAus = 2;
        }
        nAus += InternZuUtf16(m_pGewandelt.get() + nAus, m_pPuffer.get(), n - nWarten);
    } else {
        nAus = InternZuAusgabe(m_pGewandelt.get(), m_pPuffer.get(), n - nWarten);
    }
    SchreibeRoh(m_pGewandelt.get(), nAus);
    m_bMarke = false;
    std::memmove(m_pPuffer.get(), m_pPuffer.get() + n - nWarten, nWarten);
    m_pW = m_pPuffer.get() + nWarten;
}

void AusgabeStrom::SchreibeRoh(const char* p, std::size_t n)
{
    if (n == 0) return;
    // The bytes may come from a mapped input: only when it still holds them may they go out.
    if (m_pWache) m_pWache->Pruefe();
    try {
        m_stream.Write(p, n);
    } catch (const CFileException& e) {
        // The bytes could not be read (the input shrank just now): that is the failure to report.
        if (e.Fehlernummer() == EFAULT && m_pWache) m_pWache->Pruefe();
        throw;
    }
}

bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler, const EingabeWache* pWache)
{
    if (!text.HatDaten() || text.Laenge() <= 0) return true;
    try {
        AusgabeStrom strom(stream, text.Form(), pWache);
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
