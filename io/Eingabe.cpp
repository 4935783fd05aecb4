#include "io/Eingabe.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "platform/Ausnahmen.h"
#include "platform/Textform.h"

namespace {

void MeldeFehler(DateiFehler* pFehler, std::string strMeldung, int nErrno)
{
    if (!pFehler) return;
    pFehler->strMeldung = std::move(strMeldung);
    pFehler->nErrno = nErrno;
}

// Bytes asked of one read call.
constexpr std::ptrdiff_t kLeseStueck = 256 * 1024;
// A mapped file becomes text this much at a time.
constexpr std::ptrdiff_t kAbbildStueck = std::ptrdiff_t{4} << 20;

// What the Weiterleitung threw, carried through the reader's own handlers unchanged.
struct Durchreichen {
    std::exception_ptr pAusnahme;
};

// Maps the regular file datei from nVersatz to nGroesse into abbild; false when it cannot be
// mapped (the caller reads it instead).
bool Bilde(CString& abbild, const CFile& datei, std::int64_t nVersatz, std::int64_t nGroesse)
{
    const auto nSeite = static_cast<std::int64_t>(SeitenGroesse());
    const std::int64_t nBasis = nVersatz / nSeite * nSeite;
    const auto nAbbild = static_cast<std::size_t>(nGroesse - nBasis);
    char* p = datei.Abbilden(nBasis, nAbbild);
    if (!p) return false;
    abbild.Uebernimm(p, nAbbild, nVersatz - nBasis, nGroesse - nVersatz);
    return true;
}

// One reading of a document, piece by piece, into text.
class Leser {
public:
    Leser(CString& text, CFile& datei, const Weiterleitung& weiter, EingabeWache* pWache)
        : m_text(text), m_datei(datei), m_weiter(weiter), m_pWache(pWache)
    {}

    // A regular file from nVersatz to nGroesse: mapped, or read where it cannot be. A named file
    // that starts with FF FE is UTF-16LE. The file stays watched (pWache) while its mapped bytes
    // are in use.
    void LiesRegulaer(std::int64_t nVersatz, std::int64_t nGroesse, bool bBenannt, std::unique_ptr<CFile>& pEigen)
    {
        if (nGroesse <= nVersatz) {
            Gib(true, false);
            return;
        }
        CString abbild;
        if (!Bilde(abbild, m_datei, nVersatz, nGroesse)) {
            LiesStrom(bBenannt, false, nGroesse - nVersatz);
            return;
        }
        // As a read to the end would, the offset moves to the end.
        m_datei.Setze(nGroesse);
        if (m_pWache) m_pWache->Bewache(m_datei, nGroesse, std::move(pEigen));
        const auto* p = reinterpret_cast<const unsigned char*>(abbild.GetString());
        if (bBenannt && abbild.GetLength() >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
            abbild.VerwirfVorne(2);
            m_text.SetzeForm(TextForm::AusUtf16);
            while (!Wandle(abbild, true)) Gib(false, false);
            Gib(true, false);
            return;
        }
        // The mapped bytes are the text; it grows over them a piece at a time.
        const std::ptrdiff_t nGanz = abbild.GetLength();
        m_text.Tausche(abbild);
        for (std::ptrdiff_t nGezeigt = 0; nGezeigt < nGanz;) {
            nGezeigt = std::min(nGanz, nGezeigt + kAbbildStueck);
            m_text.ZeigeAbbild(nGezeigt - m_text.Basis());
            Gib(nGezeigt == nGanz, false);
        }
    }

    // Anything read as it comes. nGenau > 0: exactly that many bytes are wanted (a regular file
    // that cannot be mapped), and a file that ends sooner has shrunk while it was read. A named
    // file that starts with FF FE is UTF-16LE; bZeilenende appends a missing last line feed.
    void LiesStrom(bool bBenannt, bool bZeilenende, std::int64_t nGenau = 0)
    {
        const bool bStrom = nGenau == 0;
        CString roh;  // UTF-16: the bytes not yet converted
        bool bUtf16 = false;
        bool bEntschieden = !bBenannt;  // whether it is UTF-16 is known
        std::int64_t nGelesen = 0;
        char chLetztes = '\n';
        for (;;) {
            if (nGenau > 0 && nGelesen == nGenau) break;
            CString& ziel = bUtf16 || !bEntschieden ? roh : m_text;
            std::ptrdiff_t nWunsch = kLeseStueck;
            if (nGenau > 0 && nWunsch > nGenau - nGelesen) nWunsch = static_cast<std::ptrdiff_t>(nGenau - nGelesen);
            const std::size_t n = LiesAn(ziel, nWunsch);
            if (n == 0) {
                if (nGenau > 0) m_datei.ScheitereKuerzer();  // the file shrank while it was read
                break;
            }
            nGelesen += static_cast<std::int64_t>(n);
            chLetztes = ziel[ziel.GetLength() - 1];
            if (!bEntschieden) {
                if (roh.GetLength() < 2) continue;
                bEntschieden = true;
                const auto* p = reinterpret_cast<const unsigned char*>(roh.GetString());
                bUtf16 = p[0] == 0xFF && p[1] == 0xFE;
                if (bUtf16) {
                    roh.VerwirfVorne(2);
                    m_text.SetzeForm(TextForm::AusUtf16);
                } else {
                    m_text.Tausche(roh);
                }
            }
            if (bUtf16) Wandle(roh, false);
            Gib(false, bStrom);
        }
        if (!bEntschieden) m_text.Tausche(roh);  // fewer than two bytes: narrow
        if (bUtf16) Wandle(roh, true);
        // Every line, the last one included, ends in a line feed.
        if (bZeilenende && nGelesen > 0 && chLetztes != '\n') {
            const std::ptrdiff_t n = m_text.GetLength();
            m_text.GetBufferSetLength(n + 1)[n] = '\n';
        }
        Gib(true, bStrom);
    }

private:
    // Hands a piece over; what the Weiterleitung throws passes the reader's handlers unchanged.
    void Gib(bool bEnde, bool bStrom)
    {
        if (!m_weiter) return;
        try {
            m_weiter(bEnde, bStrom);
        } catch (...) {
            throw Durchreichen{std::current_exception()};
        }
    }

    // Reads up to nWunsch bytes from the file onto the end of ziel; the count, 0 at the end.
    std::size_t LiesAn(CString& ziel, std::ptrdiff_t nWunsch)
    {
        const std::ptrdiff_t n = ziel.GetLength();
        char* p = ziel.GetBufferSetLength(n + nWunsch);
        std::size_t nGelesen = 0;
        try {
            nGelesen = m_datei.Read(p + n, static_cast<std::size_t>(nWunsch));
        } catch (...) {
            ziel.ReleaseBuffer(n);
            throw;
        }
        ziel.ReleaseBuffer(n + static_cast<std::ptrdiff_t>(nGelesen));
        return nGelesen;
    }

    // Converts UTF-16LE bytes from the front of roh onto the end of the text, a piece of at most
    // kAbbildStueck bytes, and drops them from roh: all of them when bEnde, else those that
    // convert the same whatever follows. True when roh is done.
    bool Wandle(CString& roh, bool bEnde)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(roh.GetString());
        const std::ptrdiff_t nDa = roh.GetLength();
        const bool bLetztes = bEnde && nDa <= kAbbildStueck;
        const std::size_t nStueck = static_cast<std::size_t>(std::min(nDa, kAbbildStueck));
        const std::size_t m = bLetztes ? nStueck : Utf16Fertig(p, nStueck);
        const std::ptrdiff_t n = m_text.GetLength();
        char* q = m_text.GetBufferSetLength(n + static_cast<std::ptrdiff_t>(Utf16InternLaenge(p, m)));
        m_text.ReleaseBuffer(n + static_cast<std::ptrdiff_t>(Utf16ZuIntern(q + n, p, m)));
        // The bytes converted were all there: a mapped file that shrank meanwhile gave zero
        // bytes instead.
        if (m_pWache) m_pWache->Pruefe();
        roh.VerwirfVorne(static_cast<std::ptrdiff_t>(m));
        return bLetztes;
    }

    CString& m_text;
    CFile& m_datei;
    const Weiterleitung& m_weiter;
    EingabeWache* m_pWache;
};

// Runs a read under the handlers every reader shares: on failure the text is released, the
// message names the file, and the result is false. What the Weiterleitung threw goes on.
template <class Lesen>
bool LiesMitBericht(CString& text, const CFile& datei, DateiFehler* pFehler, Lesen lesen)
{
    std::exception_ptr pWeiter;
    try {
        lesen();
        return true;
    } catch (const Durchreichen& d) {
        pWeiter = d.pAusnahme;
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
    if (pWeiter) std::rethrow_exception(pWeiter);
    return false;
}

}  // namespace

void EingabeWache::Bewache(const CFile& datei, std::int64_t nEnde, std::unique_ptr<CFile> pEigen) noexcept
{
    m_pEigen = std::move(pEigen);
    m_pDatei = &datei;
    m_nEnde = nEnde;
}

void EingabeWache::Vergiss() noexcept
{
    m_pDatei = nullptr;
    m_pEigen.reset();
    m_nEnde = 0;
}

void EingabeWache::Pruefe() const
{
    if (m_pDatei && m_pDatei->GetStatus().m_size < m_nEnde) m_pDatei->ScheitereKuerzer();
}

bool DateiExistiert(const CString& strName, int* pnErrno)
{
    const std::string strPfad(strName.Sicht());
    int nErrno = 0;
    if (strPfad.empty() || strPfad.find('\0') != std::string::npos)
        nErrno = ENOENT;
    else
        nErrno = PfadFehler(strPfad);
    if (pnErrno) *pnErrno = nErrno;
    return nErrno == 0;
}

bool LiesDatei(CString& text, const CString& strName, const Weiterleitung& weiter, DateiFehler* pFehler,
               EingabeWache* pWache)
{
    text.Freigeben();
    std::unique_ptr<CFile> pDatei;
    try {
        int nErrno = 0;
        if (!DateiExistiert(strName, &nErrno)) {
            MeldeFehler(
                pFehler,
                "Datei \"" + std::string(strName.Sicht()) + "\" kann nicht geöffnet werden: " + FehlerText(nErrno),
                nErrno);
            return false;
        }
        pDatei = std::make_unique<CFile>();
        pDatei->Open(strName);
    } catch (const CFileException& e) {
        MeldeFehler(pFehler, e.Meldung(), e.Fehlernummer());
        return false;
    } catch (const std::bad_alloc&) {
        MeldeFehler(pFehler, "Nicht genug Speicher", ENOMEM);
        return false;
    }
    CFile& datei = *pDatei;
    return LiesMitBericht(text, datei, pFehler, [&] {
        Leser leser(text, datei, weiter, pWache);
        const CFileStatus status = datei.GetStatus();
        if (status.m_bRegulaer && status.m_size > 0) {
            leser.LiesRegulaer(0, status.m_size, true, pDatei);
        } else {
            // Pipes, terminals and files whose length says nothing (such as those in /proc).
            leser.LiesStrom(true, false);
        }
    });
}

bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler, EingabeWache* pWache)
{
    return LiesDatei(text, strName, Weiterleitung(), pFehler, pWache);
}

bool LiesStream(CString& text, CStdioFile& stream, const Weiterleitung& weiter, DateiFehler* pFehler,
                EingabeWache* pWache)
{
    if (!stream.IsOpen()) {
        MeldeFehler(pFehler, stream.Bezeichnung() + " kann nicht gelesen werden: " + FehlerText(EBADF), EBADF);
        return false;
    }
    text.Freigeben();
    return LiesMitBericht(text, stream, pFehler, [&] {
        Leser leser(text, stream, weiter, pWache);
        const CFileStatus status = stream.GetStatus();
        if (status.m_bRegulaer && status.m_size > 0) {
            // From the current offset to the end.
            const std::int64_t nPos = stream.GetPosition();
            std::unique_ptr<CFile> pKeins;
            leser.LiesRegulaer(nPos > 0 ? nPos : 0, status.m_size, false, pKeins);
        } else {
            // A file whose length says nothing (such as those in /proc) is read to its end; a
            // pipe or a terminal too, and then every line, the last one included, ends in a
            // line feed.
            leser.LiesStrom(false, !status.m_bRegulaer);
        }
    });
}

bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler, EingabeWache* pWache)
{
    return LiesStream(text, stream, Weiterleitung(), pFehler, pWache);
}
