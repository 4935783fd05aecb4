// The calls of platform/Betriebssystem.h on Windows, and the parts of platform/Datei.h and
// platform/ErsatzDatei.h that are the system's. Files are C runtime descriptors in binary mode
// over handles opened with UTF-16 paths (the program's paths are UTF-8), with 64-bit offsets and
// sizes; the system's error codes become errno values, so that messages read as on other
// systems. Regular files are mapped as copy-on-write views. The new file of a replacement is
// made next to the old one and moved over it with MoveFileExW, which replaces the old one in one
// step and returns once the move is on disk; a symbolic link is followed (the file it points to
// is replaced), the new file takes the old one's hidden, system and archive attributes, and a
// read-only file is not replaced ("Keine Berechtigung"): it stays as it was. Ctrl-C and the like
// remove the new file before the process ends (see platform/ErsatzDatei.h).
#include "platform/Betriebssystem.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <new>

#include "platform/CString.h"
#include "platform/Datei.h"
#include "platform/ErsatzDatei.h"

namespace {

// The UTF-16 form of a UTF-8 path (invalid bytes become U+FFFD). Throws std::bad_alloc.
std::wstring Breit(const std::string& strUtf8)
{
    if (strUtf8.empty()) return {};
    if (strUtf8.size() > INT_MAX) throw std::bad_alloc();
    const int nEin = static_cast<int>(strUtf8.size());
    const int nAus = MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nEin, nullptr, 0);
    if (nAus <= 0) return {};
    std::wstring strBreit(static_cast<std::size_t>(nAus), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nEin, strBreit.data(), nAus);
    return strBreit;
}

// The UTF-8 form of a UTF-16 path. Throws std::bad_alloc.
std::string Schmal(const std::wstring& strBreit)
{
    if (strBreit.empty()) return {};
    if (strBreit.size() > INT_MAX) throw std::bad_alloc();
    const int nEin = static_cast<int>(strBreit.size());
    const int nAus = WideCharToMultiByte(CP_UTF8, 0, strBreit.data(), nEin, nullptr, 0, nullptr, nullptr);
    if (nAus <= 0) return {};
    std::string strSchmal(static_cast<std::size_t>(nAus), '\0');
    WideCharToMultiByte(CP_UTF8, 0, strBreit.data(), nEin, strSchmal.data(), nAus, nullptr, nullptr);
    return strSchmal;
}

// The errno value that stands for a Windows error code (GetLastError); EIO for the rare ones.
int ErrnoAus(unsigned long nFehler) noexcept
{
    switch (nFehler) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY: return EACCES;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_INVALID_PARAMETER: return EINVAL;
    default: return EIO;
    }
}

// Opens a path for nothing but its attributes, a folder or a device too (others may do anything
// with it meanwhile): the handle, or INVALID_HANDLE_VALUE with the error in GetLastError.
HANDLE OeffneZumPruefen(const std::wstring& strPfad) noexcept
{
    return CreateFileW(strPfad.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Whether an open handle is a regular file: on a disk and no folder (NUL and consoles are not).
bool IstRegulaer(HANDLE h) noexcept
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IstVerzeichnis(const std::wstring& strPfad) noexcept
{
    const DWORD nAttribute = GetFileAttributesW(strPfad.c_str());
    return nAttribute != INVALID_FILE_ATTRIBUTES && (nAttribute & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A failed write to a pipe whose reader has gone: the C runtime reports it as EINVAL (the
// system's ERROR_NO_DATA), which means EPIPE here, as on other systems.
int SchreibFehler(int fd, int nErrno) noexcept
{
    if (nErrno != EINVAL && nErrno != EPIPE) return nErrno;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_PIPE ? EPIPE : nErrno;
}

}  // namespace

// --- Descriptors ---

std::int64_t LiesHoechstens(int fd, void* p, std::size_t n) noexcept
{
    const int nGelesen = _read(fd, p, static_cast<unsigned>(n));
    return nGelesen >= 0 ? nGelesen : -errno;
}

std::int64_t SchreibeHoechstens(int fd, const void* p, std::size_t n) noexcept
{
    const int nGeschrieben = _write(fd, p, static_cast<unsigned>(n));
    if (nGeschrieben > 0) return nGeschrieben;
    // Nothing written without an error: the disk is full.
    return nGeschrieben == 0 ? -ENOSPC : -SchreibFehler(fd, errno);
}

// The C runtime's descriptors block: EAGAIN is not waited out.
bool WarteBereit(int, bool) noexcept { return false; }

int StatusVon(int fd, CFileStatus& status) noexcept
{
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0) return errno;
    status.m_bRegulaer = (st.st_mode & _S_IFMT) == _S_IFREG;
    status.m_bVerzeichnis = (st.st_mode & _S_IFMT) == _S_IFDIR;
    status.m_size = status.m_bRegulaer ? static_cast<std::int64_t>(st.st_size) : 0;
    return 0;
}

// Only a file on a disk has an offset (the C runtime gives one for pipes and consoles too).
std::int64_t PositionVon(int fd) noexcept
{
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return -1;
    const long long nPos = _lseeki64(fd, 0, SEEK_CUR);
    return nPos < 0 ? -1 : static_cast<std::int64_t>(nPos);
}

void SetzePosition(int fd, std::int64_t nPos) noexcept { _lseeki64(fd, nPos, SEEK_SET); }

char* BildeAb(int fd, std::int64_t nVersatz, std::size_t n) noexcept
{
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // Copy-on-write: writes go to private copies of the pages, as with MAP_PRIVATE. The view
    // keeps the mapping object alive after its handle is closed.
    const HANDLE hAbbild = CreateFileMappingW(h, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    if (!hAbbild) return nullptr;
    const auto nVon = static_cast<std::uint64_t>(nVersatz);
    void* p = MapViewOfFile(hAbbild, FILE_MAP_COPY, static_cast<DWORD>(nVon >> 32), static_cast<DWORD>(nVon), n);
    CloseHandle(hAbbild);
    return static_cast<char*>(p);
}

// A console: only a console handle has a console mode (_isatty also says yes for NUL).
bool IstKonsole(int fd) noexcept
{
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD nModus = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &nModus) != 0;
}

int OeffneZumLesen(const std::string& strPfad) noexcept
{
    const std::wstring strBreit = Breit(strPfad);
    // Others may read, write, rename and delete the file meanwhile, as on other systems.
    const HANDLE h = CreateFileW(strBreit.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int nErrno = ErrnoAus(GetLastError());
        // A folder cannot be opened as a file: the system says "access denied".
        return -(nErrno == EACCES && IstVerzeichnis(strBreit) ? EISDIR : nErrno);
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return -EMFILE;
    }
    return fd;
}

int SchliesseDeskriptor(int fd) noexcept { return _close(fd) != 0 ? errno : 0; }

int PfadFehler(const std::string& strPfad) noexcept
{
    // Opened rather than looked up, so that devices such as NUL count as existing.
    try {
        const HANDLE h = OeffneZumPruefen(Breit(strPfad));
        if (h == INVALID_HANDLE_VALUE) return ErrnoAus(GetLastError());
        CloseHandle(h);
        return 0;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

// A view of a file starts at a multiple of the allocation granularity (64 KiB), not of a page.
std::size_t SeitenGroesse() noexcept
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity > 0 ? info.dwAllocationGranularity : 65536;
}

// The system refuses to shorten a file while a view of it exists (ERROR_USER_MAPPED_FILE), so
// there is nothing to protect.
void SchuetzeAbbilder() noexcept {}

// --- Replacing a file ---

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

// The handler's path of the new file is the one moved. MoveFileExW returns once the move is on
// disk (MOVEFILE_WRITE_THROUGH).
int ErsetzeDurch(std::string& strNeu, const std::string& strZiel)
{
    const std::wstring strBreit = Breit(strZiel);
    {
        const Sperre sperre;
        if (!MoveFileExW(s_aufraeumen.strPfad.c_str(), strBreit.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ErrnoAus(GetLastError());
        s_aufraeumen.strPfad.clear();
        strNeu.clear();
    }
    SetConsoleCtrlHandler(Abbruch, FALSE);
    return 0;
}

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
