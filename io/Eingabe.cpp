#include "io/Eingabe.h"

#include <cerrno>
#include <cstring>
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

// Bytes asked of one read call while a stream is read to its end.
constexpr std::ptrdiff_t kStueckBytes = 256 * 1024;

// Reads datei from where it stands to its end into text, which grows geometrically; nHinweis is
// the expected number of bytes (0: unknown). With nGenau >= 0 exactly that many bytes are
// wanted, and a file that ends sooner fails (it shrank while it was read).
void LiesBisEnde(CString& text, CFile& datei, std::int64_t nHinweis, std::int64_t nGenau = -1)
{
    text.Reserviere(nGenau >= 0 ? nGenau : (nHinweis > 0 ? nHinweis + 1 : kStueckBytes));
    std::ptrdiff_t n = 0;
    for (;;) {
        if (nGenau >= 0 && n == nGenau) break;
        // The text's length is n, so growing keeps what was read.
        if (n == text.GetAllocLength()) text.Reserviere(n + (n / 2 > kStueckBytes ? n / 2 : kStueckBytes));
        std::ptrdiff_t nWunsch = text.GetAllocLength() - n;
        if (nGenau >= 0 && nWunsch > nGenau - n) nWunsch = nGenau - n;
        char* p = text.GetBufferSetLength(text.GetAllocLength());
        const std::size_t nStueck = datei.Read(p + n, static_cast<std::size_t>(nWunsch));
        n += static_cast<std::ptrdiff_t>(nStueck);
        text.ReleaseBuffer(n);
        if (nStueck == 0) {
            if (nGenau >= 0) datei.ScheitereKuerzer();  // the file shrank while it was read
            break;
        }
    }
}

// Maps the regular file datei from nVersatz to nGroesse into text; false when it cannot be
// mapped (the caller reads it instead).
bool Bilde(CString& text, const CFile& datei, std::int64_t nVersatz, std::int64_t nGroesse)
{
    const auto nSeite = static_cast<std::int64_t>(SeitenGroesse());
    const std::int64_t nBasis = nVersatz / nSeite * nSeite;
    const auto nAbbild = static_cast<std::size_t>(nGroesse - nBasis);
    char* p = datei.Abbilden(nBasis, nAbbild);
    if (!p) return false;
    text.Uebernimm(p, nAbbild, nVersatz - nBasis, nGroesse - nVersatz);
    return true;
}

// A regular file from nVersatz on: mapped, or read whole where it cannot be. The file stays
// watched (pWache) while its mapped bytes are in use.
void LiesRegulaer(CString& text, CFile& datei, std::int64_t nVersatz, std::int64_t nGroesse, EingabeWache* pWache,
                  std::unique_ptr<CFile>& pEigen)
{
    if (nGroesse <= nVersatz) return;
    if (Bilde(text, datei, nVersatz, nGroesse)) {
        // As a read to the end would, the offset moves to the end.
        datei.Setze(nGroesse);
        if (pWache) pWache->Bewache(datei, nGroesse, std::move(pEigen));
        return;
    }
    LiesBisEnde(text, datei, 0, nGroesse - nVersatz);
}

// A text that starts with FF FE is UTF-16LE: its bytes behind the mark, converted.
void WandleUtf16(CString& text, EingabeWache* pWache)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.GetString());
    const auto n = static_cast<std::size_t>(text.GetLength());
    if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return;
    CString intern;
    char* q = intern.GetBufferSetLength(static_cast<std::ptrdiff_t>(Utf16InternLaenge(p + 2, n - 2)));
    intern.ReleaseBuffer(static_cast<std::ptrdiff_t>(Utf16ZuIntern(q, p + 2, n - 2)));
    intern.SetzeForm(TextForm::AusUtf16);
    // The bytes converted were all there: a file that shrank meanwhile gave zero bytes instead.
    // Then the mapping goes, and with it what there was to watch.
    if (pWache) pWache->Pruefe();
    text.Tausche(intern);
    intern.Freigeben();
    if (pWache) pWache->Vergiss();
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

bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler, EingabeWache* pWache)
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
        const CFileStatus status = datei.GetStatus();
        if (status.m_bRegulaer && status.m_size > 0) {
            LiesRegulaer(text, datei, 0, status.m_size, pWache, pDatei);
        } else {
            // Pipes, terminals and files whose length says nothing (such as those in /proc).
            LiesBisEnde(text, datei, 0);
        }
        WandleUtf16(text, pWache);
    });
}

bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler, EingabeWache* pWache)
{
    if (!stream.IsOpen()) {
        MeldeFehler(pFehler, stream.Bezeichnung() + " kann nicht gelesen werden: " + FehlerText(EBADF), EBADF);
        return false;
    }
    text.Freigeben();
    return LiesMitBericht(text, stream, pFehler, [&] {
        const CFileStatus status = stream.GetStatus();
        if (status.m_bRegulaer) {
            // From the current offset to the end; a file whose length says nothing (such as those
            // in /proc) is read to its end.
            if (status.m_size > 0) {
                const std::int64_t nPos = stream.GetPosition();
                std::unique_ptr<CFile> pKeins;
                LiesRegulaer(text, stream, nPos > 0 ? nPos : 0, status.m_size, pWache, pKeins);
            } else {
                LiesBisEnde(text, stream, 0);
            }
            return;
        }
        // Every line, the last one included, ends in a line feed.
        LiesBisEnde(text, stream, 0);
        const std::ptrdiff_t n = text.GetLength();
        if (n > 0 && text[n - 1] != '\n') {
            char* p = text.GetBufferSetLength(n + 1);
            p[n] = '\n';
        }
    });
}
