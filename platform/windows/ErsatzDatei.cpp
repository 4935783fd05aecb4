// Replacing a file on Windows: the new file is made next to the old one and moved over it with
// MoveFileExW, which replaces the old one in one step and returns once the move is on disk.
#include "platform/ErsatzDatei.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <new>

#include "platform/CString.h"
#include "platform/windows/System.h"

bool IstKeineRegulaereDatei(const CString& strName) noexcept
{
    try {
        struct _stat64 st;
        return _wstat64(Breit(strName.GetString()).c_str(), &st) == 0 && (st.st_mode & _S_IFMT) != _S_IFREG;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

namespace {

[[noreturn]] void Scheitere(const std::string& strBezeichnung, const char* pVorgang, int nErrno)
{
    throw CFileException(strBezeichnung + " kann nicht " + pVorgang + " werden: " + FehlerText(nErrno), nErrno);
}

// The folder part of a path, with its separator ("" for a bare name, "C:" for "C:name").
std::string Ordner(const std::string& strPfad)
{
    const std::size_t i = strPfad.find_last_of("/\\:");
    return i == std::string::npos ? std::string() : strPfad.substr(0, i + 1);
}

}  // namespace

CErsatzDatei::CErsatzDatei(const CString& strZiel) : CStdioFile(-1)
{
    const std::string strBezeichnung = "Datei \"" + std::string(strZiel.Sicht()) + "\"";
    Verbinde(-1, false, strBezeichnung);
    m_strZiel = strZiel.GetString();
    struct _stat64 st;
    if (_wstat64(Breit(m_strZiel).c_str(), &st) != 0) Scheitere(strBezeichnung, "ersetzt", errno);
    if ((st.st_mode & _S_IFMT) != _S_IFREG) {
        throw CFileException(strBezeichnung + " kann nicht ersetzt werden: Keine reguläre Datei", EINVAL);
    }

    // A new name in the same folder, made exclusively; a name taken already is tried again.
    const std::string strOrdner = Ordner(m_strZiel);
    const char kZeichen[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long nZufall = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    int fd = -1;
    std::string strNeu;
    for (int nVersuch = 0; nVersuch < 100 && fd < 0; ++nVersuch) {
        nZufall = nZufall * 6364136223846793005ULL + 1442695040888963407ULL;
        std::string strEnde(6, '0');
        for (std::size_t i = 0; i < strEnde.size(); ++i) strEnde[i] = kZeichen[(nZufall >> (20 + 5 * i)) % 36];
        strNeu = strOrdner + ".brixfilter-" + strEnde;
        fd = _wopen(Breit(strNeu).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) Scheitere(strBezeichnung, "ersetzt", errno);
    m_strNeu = strNeu;
    Verbinde(fd, false, strBezeichnung);
}

CErsatzDatei::~CErsatzDatei()
{
    if (Deskriptor() >= 0) _close(Deskriptor());
    if (!m_strNeu.empty()) {
        try {
            _wunlink(Breit(m_strNeu).c_str());
        } catch (const std::bad_alloc&) {
        }
    }
}

void CErsatzDatei::Ersetze()
{
    const int fd = Deskriptor();
    if (_commit(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    Verbinde(-1, false, Bezeichnung());
    if (_close(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    if (!MoveFileExW(Breit(m_strNeu).c_str(), Breit(m_strZiel).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Scheitere(Bezeichnung(), "ersetzt", ErrnoAus(GetLastError()));
    }
    m_strNeu.clear();
}
