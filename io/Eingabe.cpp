#include "io/Eingabe.h"

#include <sys/stat.h>

#include <cerrno>
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

// Narrow bytes into the text, sized once to the exact unit count.
void DekodiereSchmal(CString& text, const unsigned char* pBytes, std::size_t n)
{
    const std::int64_t nUnits = ZaehleZeichen(pBytes, n);
    char16_t* pZiel = text.GetBufferSetLength(nUnits);  // refuses a count beyond the limit
    ZeichenZuUnicode(pZiel, pBytes, n);
    text.ReleaseBuffer(static_cast<int>(nUnits));
}

// File bytes into the text: UTF-16LE behind the mark FF FE (an odd last byte is dropped), else
// narrow text.
void DekodiereDatei(CString& text, const unsigned char* pBytes, std::size_t n)
{
    if (n >= 2 && pBytes[0] == 0xFF && pBytes[1] == 0xFE) {
        const std::int64_t nUnits = static_cast<std::int64_t>((n - 2) / 2);
        char16_t* pZiel = text.GetBufferSetLength(nUnits);
        const unsigned char* p = pBytes + 2;
        for (std::int64_t i = 0; i < nUnits; ++i, p += 2)
            pZiel[i] = static_cast<char16_t>(p[0] | (p[1] << 8));
        text.ReleaseBuffer(static_cast<int>(nUnits));
        return;
    }
    DekodiereSchmal(text, pBytes, n);
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
        CBytePuffer puffer;
        if (status.m_bRegulaer && status.m_size > 0) {
            PruefeMindestLaenge((status.m_size - 2) / 3);
            datei.LiesGenau(puffer, static_cast<std::size_t>(status.m_size));
        } else {
            // Pipes, terminals and files whose length says nothing (such as those in /proc).
            datei.LiesBisEnde(puffer, 0);
        }
        DekodiereDatei(text, puffer.Daten(), puffer.Groesse());
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
        CBytePuffer puffer;
        if (status.m_bRegulaer) {
            // Whole-read mode: from the current offset to the end; the length is only a hint.
            const std::int64_t nPos = stream.GetPosition();
            const std::int64_t nRest = status.m_size - (nPos > 0 ? nPos : 0);
            PruefeMindestLaenge(nRest / 3);
            stream.LiesBisEnde(puffer, nRest > 0 ? static_cast<std::size_t>(nRest) : 0);
        } else {
            // Line mode: every line, the last one included, ends in a line feed.
            stream.LiesBisEnde(puffer, 0);
            if (puffer.Groesse() > 0 && puffer.Daten()[puffer.Groesse() - 1] != '\n') puffer.Anhaengen('\n');
        }
        DekodiereSchmal(text, puffer.Daten(), puffer.Groesse());
    });
}
