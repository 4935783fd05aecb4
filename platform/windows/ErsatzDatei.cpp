// Replacing a file on Windows: the new file is made next to the old one and moved over it with
// MoveFileExW, which replaces the old one in one step and returns once the move is on disk. A
// symbolic link is followed (the file it points to is replaced), and the new file takes the old
// one's hidden, system and archive attributes. A read-only file is not replaced ("Keine
// Berechtigung"): it stays as it was. Ctrl-C and the like remove the new file before the process
// ends (see platform/ErsatzDatei.h).
#include "platform/ErsatzDatei.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <new>
#include <utility>

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

// The folder of a path as messages name it: without its last separator (but for a root), "."
// for a bare name, and without the prefix \\?\ of the system's own paths.
std::string OrdnerName(std::string strPfad)
{
    if (strPfad.rfind("\\\\?\\UNC\\", 0) == 0) {
        strPfad.replace(0, 8, "\\\\");
    } else if (strPfad.rfind("\\\\?\\", 0) == 0) {
        strPfad.erase(0, 4);
    }
    std::string strOrdner = Ordner(strPfad);
    if (strOrdner.empty()) return ".";
    while (strOrdner.size() > 1 && (strOrdner.back() == '\\' || strOrdner.back() == '/') &&
           strOrdner[strOrdner.size() - 2] != ':')
        strOrdner.pop_back();
    return strOrdner;
}

// What the console's control handler needs to remove the new file before the process ends. The
// handler runs on a thread of its own and reaches nothing but statics, so this is the one static
// it needs; the lock keeps it in step with the new file. One new file at a time.
struct Aufraeumen {
    SRWLOCK sperre = SRWLOCK_INIT;
    HANDLE hDatei = INVALID_HANDLE_VALUE;  // the new file's handle while it is open
    std::wstring strPfad;                  // the new file; empty while there is none
};
Aufraeumen s_aufraeumen;

// Holds the lock while it lives.
class Sperre {
public:
    Sperre() noexcept { AcquireSRWLockExclusive(&s_aufraeumen.sperre); }
    Sperre(const Sperre&) = delete;
    Sperre& operator=(const Sperre&) = delete;
    ~Sperre() { ReleaseSRWLockExclusive(&s_aufraeumen.sperre); }
};

// Ctrl-C, Ctrl-Break, the console closed: the new file is closed and removed, and the process
// ends as the system ends it for Ctrl-C. The lock stays held, so the main thread cannot rename
// the file meanwhile; once it has, the event is left to the system's own handling.
BOOL WINAPI Abbruch(DWORD nEreignis)
{
    if (nEreignis != CTRL_C_EVENT && nEreignis != CTRL_BREAK_EVENT && nEreignis != CTRL_CLOSE_EVENT) return FALSE;
    AcquireSRWLockExclusive(&s_aufraeumen.sperre);
    if (s_aufraeumen.strPfad.empty()) {
        ReleaseSRWLockExclusive(&s_aufraeumen.sperre);
        return FALSE;
    }
    if (s_aufraeumen.hDatei != INVALID_HANDLE_VALUE) CloseHandle(s_aufraeumen.hDatei);
    DeleteFileW(s_aufraeumen.strPfad.c_str());
    // Not ExitProcess: the main thread may hold locks of the C runtime, which its ending waits for.
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

}  // namespace

void EntferneNeueDateiSofort() noexcept
{
    // The process ends at once: the lock is not waited for, in case this thread holds it.
    if (s_aufraeumen.strPfad.empty()) return;
    if (s_aufraeumen.hDatei != INVALID_HANDLE_VALUE) CloseHandle(s_aufraeumen.hDatei);
    DeleteFileW(s_aufraeumen.strPfad.c_str());
}

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

    // A new name in the same folder, made exclusively; a name taken already is tried again. The
    // file and the handler that removes it come together.
    const std::string strOrdner = Ordner(m_strZiel);
    const char kZeichen[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long nZufall = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    int fd = -1;
    int nErrno = 0;
    std::string strNeu;
    for (int nVersuch = 0; nVersuch < 100 && fd < 0; ++nVersuch) {
        nZufall = nZufall * 6364136223846793005ULL + 1442695040888963407ULL;
        std::string strEnde(6, '0');
        for (std::size_t i = 0; i < strEnde.size(); ++i) strEnde[i] = kZeichen[(nZufall >> (20 + 5 * i)) % 36];
        strNeu = strOrdner + ".brixfilter-" + strEnde;
        std::wstring strBreit = Breit(strNeu);
        const Sperre sperre;
        fd = _wopen(strBreit.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        nErrno = errno;
        if (fd >= 0) {
            s_aufraeumen.hDatei = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
            s_aufraeumen.strPfad.swap(strBreit);
            SetConsoleCtrlHandler(Abbruch, TRUE);
        }
        if (fd < 0 && nErrno != EEXIST) break;
    }
    if (fd < 0) {
        // The folder is to blame: as the user named it, or, for a link, the target's.
        const DWORD nName = GetFileAttributesW(Breit(strZiel.GetString()).c_str());
        const bool bLink = nName != INVALID_FILE_ATTRIBUTES && (nName & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        throw CFileException(strBezeichnung + " kann nicht ersetzt werden: Im Ordner \"" +
                                 OrdnerName(bLink ? m_strZiel : std::string(strZiel.Sicht())) +
                                 "\" kann keine Datei angelegt werden: " + FehlerText(nErrno),
                             nErrno);
    }
    m_strNeu = std::move(strNeu);
    Verbinde(fd, false, strBezeichnung);
    if (nAttribute != INVALID_FILE_ATTRIBUTES && (nAttribute & kUebernommen) != 0 &&
        !SetFileAttributesW(s_aufraeumen.strPfad.c_str(), nAttribute & kUebernommen)) {
        nErrno = ErrnoAus(GetLastError());
        Entferne();  // the destructor does not run for a constructor that throws
        Scheitere(strBezeichnung, "ersetzt", nErrno);
    }
}

CErsatzDatei::~CErsatzDatei() { Entferne(); }

void CErsatzDatei::Entferne() noexcept
{
    {
        const Sperre sperre;
        if (Deskriptor() >= 0) _close(Deskriptor());
        Verbinde(-1, false, Bezeichnung());
        s_aufraeumen.hDatei = INVALID_HANDLE_VALUE;
        if (m_strNeu.empty()) return;
        _wunlink(s_aufraeumen.strPfad.c_str());
        s_aufraeumen.strPfad.clear();
        m_strNeu.clear();
    }
    SetConsoleCtrlHandler(Abbruch, FALSE);
}

void CErsatzDatei::Ersetze()
{
    const int fd = Deskriptor();
    if (_commit(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    {
        // Once moved, the new file is the old one's and the handler may not remove it.
        const Sperre sperre;
        s_aufraeumen.hDatei = INVALID_HANDLE_VALUE;
        Verbinde(-1, false, Bezeichnung());
        if (_close(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
        if (!MoveFileExW(s_aufraeumen.strPfad.c_str(), Breit(m_strZiel).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Scheitere(Bezeichnung(), "ersetzt", ErrnoAus(GetLastError()));
        }
        s_aufraeumen.strPfad.clear();
        m_strNeu.clear();
    }
    SetConsoleCtrlHandler(Abbruch, FALSE);
}
