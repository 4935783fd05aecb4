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

#include "platform/Betriebssystem.h"
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

int FindeZiel(const std::string& strName, ErsatzZiel& ziel)
{
    const HANDLE h = OeffneZumPruefen(Breit(strName));
    if (h == INVALID_HANDLE_VALUE) return ErrnoAus(GetLastError());
    ziel.bRegulaer = IstRegulaer(h);
    if (!ziel.bRegulaer) {
        CloseHandle(h);
        return 0;
    }
    // The path of the file itself, as the system names it (\\?\C:\...).
    std::wstring strEcht(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, strEcht.data(), static_cast<DWORD>(strEcht.size()), FILE_NAME_NORMALIZED);
    if (n >= strEcht.size()) {
        // Too small: n is the size needed, its terminating zero included.
        strEcht.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(h, strEcht.data(), static_cast<DWORD>(strEcht.size()), FILE_NAME_NORMALIZED);
    }
    const DWORD nFehler = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= strEcht.size()) return ErrnoAus(nFehler);
    strEcht.resize(n);
    ziel.strPfad = Schmal(strEcht);
    ziel.nModus = GetFileAttributesW(strEcht.c_str());
    // A read-only file is meant to stay as it is; the system would refuse the move over it too.
    return ziel.nModus != INVALID_FILE_ATTRIBUTES && (ziel.nModus & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
}

// The separators are "/", "\\" and the ":" after a drive ("C:name").
std::size_t NamensAnfang(const std::string& strPfad) noexcept
{
    const std::size_t i = strPfad.find_last_of("/\\:");
    return i == std::string::npos ? 0 : i + 1;
}

// Without the prefix \\?\ of the system's own paths; a drive's root keeps its separator ("C:\").
std::string OrdnerName(std::string strPfad)
{
    if (strPfad.rfind("\\\\?\\UNC\\", 0) == 0) {
        strPfad.replace(0, 8, "\\\\");
    } else if (strPfad.rfind("\\\\?\\", 0) == 0) {
        strPfad.erase(0, 4);
    }
    std::string strOrdner = strPfad.substr(0, NamensAnfang(strPfad));
    if (strOrdner.empty()) return ".";
    while (strOrdner.size() > 1 && (strOrdner.back() == '\\' || strOrdner.back() == '/') &&
           strOrdner[strOrdner.size() - 2] != ':')
        strOrdner.pop_back();
    return strOrdner;
}

bool IstVerknuepfung(const std::string& strPfad)
{
    const DWORD nAttribute = GetFileAttributesW(Breit(strPfad).c_str());
    return nAttribute != INVALID_FILE_ATTRIBUTES && (nAttribute & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Six characters after strAnfang, of a sequence that starts from the time and the process; a
// name taken already is tried again, up to 100 times.
int LegeNeueDateiAn(const std::string& strAnfang, std::string& strNeu)
{
    const char kZeichen[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long nZufall = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    int nErrno = EEXIST;
    for (int nVersuch = 0; nVersuch < 100 && nErrno == EEXIST; ++nVersuch) {
        nZufall = nZufall * 6364136223846793005ULL + 1442695040888963407ULL;
        strNeu = strAnfang;
        for (int i = 0; i < 6; ++i) strNeu += kZeichen[(nZufall >> (20 + 5 * i)) % 36];
        std::wstring strBreit = Breit(strNeu);
        const Sperre sperre;
        const int fd =
            _wopen(strBreit.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            s_aufraeumen.hDatei = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
            s_aufraeumen.strPfad.swap(strBreit);
            SetConsoleCtrlHandler(Abbruch, TRUE);
            return fd;
        }
        nErrno = errno;
    }
    return -nErrno;
}

// The hidden, system, archive and not-indexed attributes go over (through the handler's path).
int UebernimmRechte(int, const ErsatzZiel& ziel) noexcept
{
    constexpr DWORD kUebernommen =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (ziel.nModus == INVALID_FILE_ATTRIBUTES || (ziel.nModus & kUebernommen) == 0) return 0;
    return SetFileAttributesW(s_aufraeumen.strPfad.c_str(), ziel.nModus & kUebernommen) ? 0 : ErrnoAus(GetLastError());
}

int SichereDatei(int fd) noexcept { return _commit(fd) != 0 ? errno : 0; }

int SchliesseNeueDatei(int fd) noexcept
{
    const Sperre sperre;
    s_aufraeumen.hDatei = INVALID_HANDLE_VALUE;
    return _close(fd) != 0 ? errno : 0;
}

// The handler's path of the new file is the one moved.
int ErsetzeDurch(const std::string&, const std::string& strZiel)
{
    const std::wstring strBreit = Breit(strZiel);
    {
        const Sperre sperre;
        if (!MoveFileExW(s_aufraeumen.strPfad.c_str(), strBreit.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ErrnoAus(GetLastError());
        s_aufraeumen.strPfad.clear();
    }
    SetConsoleCtrlHandler(Abbruch, FALSE);
    return 0;
}

// MoveFileExW returns once the move is on disk (MOVEFILE_WRITE_THROUGH).
int SichereOrdner(const std::string&) noexcept { return 0; }

void VerwirfNeueDatei(int fd, const std::string& strNeu) noexcept
{
    {
        const Sperre sperre;
        if (fd >= 0) _close(fd);
        s_aufraeumen.hDatei = INVALID_HANDLE_VALUE;
        if (strNeu.empty()) return;
        _wunlink(s_aufraeumen.strPfad.c_str());
        s_aufraeumen.strPfad.clear();
    }
    SetConsoleCtrlHandler(Abbruch, FALSE);
}
