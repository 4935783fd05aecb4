// Replacing a file on Windows: the new file is made next to the old one and moved over it with
// MoveFileExW, which replaces the old one in one step and returns once the move is on disk. A
// symbolic link is followed (the file it points to is replaced), and the new file takes the old
// one's hidden, system and archive attributes. A read-only file is not replaced ("Keine
// Berechtigung"): it stays as it was.
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
        const HANDLE h = OeffneZumPruefen(Breit(strName.GetString()));
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool bRegulaer = IstRegulaer(h);
        CloseHandle(h);
        return !bRegulaer;
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

// The path of the file itself, symbolic links resolved, as the system names it (\\?\C:\...).
// Throws when it is no regular file.
std::wstring EchterPfad(const std::wstring& strPfad, const std::string& strBezeichnung)
{
    const HANDLE h = OeffneZumPruefen(strPfad);
    if (h == INVALID_HANDLE_VALUE) Scheitere(strBezeichnung, "ersetzt", ErrnoAus(GetLastError()));
    if (!IstRegulaer(h)) {
        CloseHandle(h);
        throw CFileException(strBezeichnung + " kann nicht ersetzt werden: Keine reguläre Datei", EINVAL);
    }
    std::wstring strEcht(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, strEcht.data(), static_cast<DWORD>(strEcht.size()), FILE_NAME_NORMALIZED);
    if (n >= strEcht.size()) {
        // Too small: n is the size needed, its terminating zero included.
        strEcht.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(h, strEcht.data(), static_cast<DWORD>(strEcht.size()), FILE_NAME_NORMALIZED);
    }
    const DWORD nFehler = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= strEcht.size()) Scheitere(strBezeichnung, "ersetzt", ErrnoAus(nFehler));
    strEcht.resize(n);
    return strEcht;
}

// The attributes the new file takes over from the old one.
constexpr DWORD kUebernommen =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

CErsatzDatei::CErsatzDatei(const CString& strZiel) : CStdioFile(-1)
{
    const std::string strBezeichnung = "Datei \"" + std::string(strZiel.Sicht()) + "\"";
    Verbinde(-1, false, strBezeichnung);
    // The file a symbolic link points to is the one replaced.
    m_strZiel = Schmal(EchterPfad(Breit(strZiel.GetString()), strBezeichnung));
    const DWORD nAttribute = GetFileAttributesW(Breit(m_strZiel).c_str());
    // A read-only file is meant to stay as it is; the system would refuse the move over it too.
    if (nAttribute != INVALID_FILE_ATTRIBUTES && (nAttribute & FILE_ATTRIBUTE_READONLY) != 0)
        Scheitere(strBezeichnung, "ersetzt", EACCES);

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
    if (nAttribute != INVALID_FILE_ATTRIBUTES && (nAttribute & kUebernommen) != 0 &&
        !SetFileAttributesW(Breit(m_strNeu).c_str(), nAttribute & kUebernommen)) {
        const int nErrno = ErrnoAus(GetLastError());
        _close(fd);
        _wunlink(Breit(m_strNeu).c_str());  // the destructor does not run for a constructor that throws
        Scheitere(strBezeichnung, "ersetzt", nErrno);
    }
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
