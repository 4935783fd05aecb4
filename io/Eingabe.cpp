#include "io/Eingabe.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/Ausnahmen.h"
#include "platform/Grenzen.h"
#include "platform/SchmalCodec.h"

namespace {

void MeldeFehler(DateiFehler* pFehler, std::string strMeldung, int nErrno)
{
    if (!pFehler) return;
    pFehler->strMeldung = std::move(strMeldung);
    pFehler->nErrno = nErrno;
}

// Refuses a regular file before it is read when even the fewest units its bytes can give pass
// the limit: narrow text takes at most 3 bytes per unit, UTF-16 2 bytes behind its 2-byte mark.
void PruefeMindestLaenge(std::int64_t nMindestens)
{
    if (nMindestens > MaxTextLaenge())
        throw CLaengenException("Text zu lang: mindestens " + std::to_string(nMindestens) +
                                " Zeichen, erlaubt sind höchstens " + std::to_string(MaxTextLaenge()));
}

// Bytes handed to one read call while decoding: small enough to stay in the cache between the
// read and the decoding.
constexpr std::size_t kStueckBytes = 256 * 1024;

// Number of bytes at the end of p[0, n) that must wait for the next piece: a lead byte in the
// last three whose sequence is not complete yet. Each byte from C0 on is never a continuation,
// so decoding always stops at it, and the bytes before it decode the same whatever follows.
std::size_t OffenesEnde(const unsigned char* p, std::size_t n) noexcept
{
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const unsigned b = p[n - k];
        if (b < 0xC0) continue;
        const std::size_t nLaenge = b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 1;
        return nLaenge > k ? k : 0;
    }
    return 0;
}

// Decodes a document that arrives in pieces straight into the text. The text grows as needed;
// once the units pass the limit they are only counted, so the refusal names the full count.
class StueckDekodierer {
public:
    // nErwartet: units to make room for at once (the byte count when it is known).
    StueckDekodierer(CString& text, std::int64_t nErwartet) : m_text(text)
    {
        if (nErwartet > MaxTextLaenge()) nErwartet = MaxTextLaenge();
        if (nErwartet > 0) Wachse(nErwartet);
    }

    // Narrow bytes; a sequence cut short at their end is decoded as cut short, so callers hold
    // such an end back until the input ends.
    void Schmal(const unsigned char* p, std::size_t n)
    {
        if (n == 0) return;
        if (!m_bZaehlen && !Platz(static_cast<std::int64_t>(n), [&] { return SchmalZaehle(p, n); })) return;
        if (m_bZaehlen) {
            m_nUnits += SchmalZaehle(p, n);
            return;
        }
        m_nUnits += static_cast<std::int64_t>(SchmalZuUtf16(m_pZiel + m_nUnits, p, n));
    }

    // UTF-16LE bytes, an even number of them.
    void Utf16(const unsigned char* p, std::size_t n)
    {
        const std::int64_t nNeu = static_cast<std::int64_t>(n / 2);
        if (nNeu == 0) return;
        if (!m_bZaehlen && !Platz(nNeu, [&] { return nNeu; })) return;
        if (m_bZaehlen) {
            m_nUnits += nNeu;
            return;
        }
        char16_t* q = m_pZiel + m_nUnits;
        for (std::int64_t i = 0; i < nNeu; ++i, p += 2) q[i] = static_cast<char16_t>(p[0] | (p[1] << 8));
        m_nUnits += nNeu;
    }

    // Ends the text; a count beyond the limit throws CLaengenException.
    void Abschliessen()
    {
        PruefeTextLaenge(m_nUnits);
        m_text.ReleaseBuffer(static_cast<int>(m_nUnits));
    }

private:
    // Makes room for at most nHoechstens more units; when that passes the limit, asks zaehle for
    // the exact number. False (and counting from now on) when the units do not fit.
    template <class Zaehle>
    bool Platz(std::int64_t nHoechstens, Zaehle zaehle)
    {
        if (m_nUnits + nHoechstens <= m_nKapazitaet) return true;
        if (m_nUnits + nHoechstens > MaxTextLaenge()) {
            const std::int64_t nGenau = zaehle();
            if (m_nUnits + nGenau > MaxTextLaenge()) {
                m_bZaehlen = true;
                m_nUnits += nGenau;
                return false;
            }
            nHoechstens = nGenau;
        }
        std::int64_t nNeu = m_nKapazitaet + m_nKapazitaet / 2;
        if (nNeu < m_nUnits + nHoechstens) nNeu = m_nUnits + nHoechstens;
        if (nNeu < static_cast<std::int64_t>(kStueckBytes)) nNeu = kStueckBytes;
        if (nNeu > MaxTextLaenge()) nNeu = MaxTextLaenge();
        if (nNeu < m_nUnits + nHoechstens) nNeu = m_nUnits + nHoechstens;
        Wachse(nNeu);
        return true;
    }

    void Wachse(std::int64_t nKapazitaet)
    {
        m_pZiel = m_text.GetBufferSetLength(nKapazitaet);
        m_nKapazitaet = nKapazitaet;
    }

    CString& m_text;
    char16_t* m_pZiel = nullptr;
    std::int64_t m_nKapazitaet = 0;
    std::int64_t m_nUnits = 0;
    bool m_bZaehlen = false;
};

// How a reader takes its bytes.
struct LeseArt {
    std::int64_t nGenau = -1;      // a regular file of this many bytes; -1: read to the end
    std::int64_t nHinweis = 0;     // expected bytes when reading to the end
    bool bUtf16Erlaubt = false;    // FF FE at the start means UTF-16LE (files, not streams)
    bool bZeilenEnde = false;      // line mode: a final line feed is added when missing
};

// Reads the whole input in pieces and decodes each as it arrives, so no byte copy of the
// document is ever held. UTF-16LE behind the mark FF FE (an odd last byte is dropped), else
// narrow text.
void LiesUndDekodiere(CString& text, CFile& datei, const LeseArt& art)
{
    std::unique_ptr<unsigned char[]> pPuffer(new unsigned char[kStueckBytes + 4]);
    unsigned char* const puffer = pPuffer.get();
    StueckDekodierer dekodierer(text, art.nGenau >= 0 ? art.nGenau : art.nHinweis);
    enum class Form { Offen, Schmal, Utf16 } form = art.bUtf16Erlaubt ? Form::Offen : Form::Schmal;
    std::size_t nUebertrag = 0;   // bytes waiting at the start of the buffer
    std::int64_t nGelesen = 0;
    unsigned char nLetztes = 0;
    for (;;) {
        std::size_t nWunsch = kStueckBytes;
        if (art.nGenau >= 0) {
            if (nGelesen == art.nGenau) break;
            if (static_cast<std::int64_t>(nWunsch) > art.nGenau - nGelesen)
                nWunsch = static_cast<std::size_t>(art.nGenau - nGelesen);
        }
        const std::size_t nStueck = datei.Read(puffer + nUebertrag, nWunsch);
        if (nStueck == 0) {
            if (art.nGenau >= 0) datei.ScheitereKuerzer();  // the file shrank while it was read
            break;
        }
        nGelesen += static_cast<std::int64_t>(nStueck);
        const std::size_t n = nUebertrag + nStueck;
        nLetztes = puffer[n - 1];
        if (form == Form::Offen) {
            if (n < 2) {
                nUebertrag = n;  // the mark needs two bytes
                continue;
            }
            form = puffer[0] == 0xFF && puffer[1] == 0xFE ? Form::Utf16 : Form::Schmal;
            if (form == Form::Utf16) {
                // Drop the mark: the rest moves to the front.
                std::memmove(puffer, puffer + 2, n - 2);
                nUebertrag = n - 2;
                const std::size_t nGerade = nUebertrag & ~std::size_t{1};
                dekodierer.Utf16(puffer, nGerade);
                if (nGerade < nUebertrag) puffer[0] = puffer[nGerade];
                nUebertrag -= nGerade;
                continue;
            }
        }
        std::size_t nFertig;
        if (form == Form::Utf16) {
            nFertig = n & ~std::size_t{1};
            dekodierer.Utf16(puffer, nFertig);
        } else {
            nFertig = n - OffenesEnde(puffer, n);
            dekodierer.Schmal(puffer, nFertig);
        }
        nUebertrag = n - nFertig;
        if (nUebertrag > 0) std::memmove(puffer, puffer + nFertig, nUebertrag);
    }
    // What waits at the end: an incomplete sequence (its bytes are escaped), or an odd byte of
    // UTF-16, which is dropped.
    if (form != Form::Utf16) dekodierer.Schmal(puffer, nUebertrag);
    if (art.bZeilenEnde && nGelesen > 0 && nLetztes != '\n') {
        const unsigned char lf = '\n';
        dekodierer.Schmal(&lf, 1);
    }
    dekodierer.Abschliessen();
}

// Runs a read under the handlers every reader shares: on failure the text is released, the
// message names the file, and the result is false.
template <class Lesen>
bool LiesMitBericht(CString& text, const CFile& datei, DateiFehler* pFehler, Lesen lesen)
{
    try {
        lesen();
        return true;
    } catch (const CFileException& e) {
        text.Freigeben();
        MeldeFehler(pFehler, e.Meldung(), e.Fehlernummer());
    } catch (const CException& e) {
        text.Freigeben();
        MeldeFehler(pFehler, datei.Bezeichnung() + " kann nicht gelesen werden: " + e.Meldung(), 0);
    } catch (const std::bad_alloc&) {
        text.Freigeben();
        MeldeFehler(pFehler, datei.Bezeichnung() + " kann nicht gelesen werden: Nicht genug Speicher", ENOMEM);
    }
    return false;
}

}  // namespace

bool DateiExistiert(const CString& strName, int* pnErrno)
{
    const std::string strPfad = ZuSchmal(strName.Sicht());
    struct stat st;
    int nErrno = 0;
    if (strPfad.empty() || strPfad.find('\0') != std::string::npos)
        nErrno = ENOENT;
    else if (stat(strPfad.c_str(), &st) != 0)
        nErrno = errno;
    if (pnErrno) *pnErrno = nErrno;
    return nErrno == 0;
}

bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler)
{
    text.Empty();
    CFile datei;
    try {
        int nErrno = 0;
        if (!DateiExistiert(strName, &nErrno)) {
            MeldeFehler(pFehler, "Datei \"" + ZuSchmal(strName.Sicht()) + "\" kann nicht geöffnet werden: " +
                                     FehlerText(nErrno), nErrno);
            return false;
        }
        datei.Open(strName);
    } catch (const CFileException& e) {
        MeldeFehler(pFehler, e.Meldung(), e.Fehlernummer());
        return false;
    } catch (const std::bad_alloc&) {
        MeldeFehler(pFehler, "Nicht genug Speicher", ENOMEM);
        return false;
    }
    return LiesDateiInhalt(text, datei, pFehler);
}

bool LiesDateiInhalt(CString& text, CFile& datei, DateiFehler* pFehler)
{
    text.Empty();
    return LiesMitBericht(text, datei, pFehler, [&] {
        const CFileStatus status = datei.GetStatus();
        LeseArt art;
        art.bUtf16Erlaubt = true;
        if (status.m_bRegulaer && status.m_size > 0) {
            PruefeMindestLaenge((status.m_size - 2) / 3);
            art.nGenau = status.m_size;
        }
        // Otherwise: pipes, terminals and files whose length says nothing (such as those in /proc).
        LiesUndDekodiere(text, datei, art);
    });
}

std::int64_t ZaehleZeichen(const unsigned char* pBytes, std::size_t n) noexcept { return SchmalZaehle(pBytes, n); }

void ZeichenZuUnicode(char16_t* pZiel, const unsigned char* pBytes, std::size_t n) noexcept
{
    SchmalZuUtf16(pZiel, pBytes, n);
}

bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler)
{
    if (!stream.IsOpen()) {
        MeldeFehler(pFehler, stream.Bezeichnung() + " kann nicht gelesen werden: " + FehlerText(EBADF), EBADF);
        return false;
    }
    text.Empty();
    return LiesMitBericht(text, stream, pFehler, [&] {
        const CFileStatus status = stream.GetStatus();
        LeseArt art;
        if (status.m_bRegulaer) {
            // Whole-read mode: from the current offset to the end; the length is only a hint.
            const std::int64_t nPos = stream.GetPosition();
            const std::int64_t nRest = status.m_size - (nPos > 0 ? nPos : 0);
            PruefeMindestLaenge(nRest / 3);
            art.nHinweis = nRest > 0 ? nRest : 0;
        } else {
            // Line mode: every line, the last one included, ends in a line feed.
            art.bZeilenEnde = true;
        }
        LiesUndDekodiere(text, stream, art);
    });
}
