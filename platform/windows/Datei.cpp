// The file calls on Windows: C runtime descriptors in binary mode over handles opened with
// UTF-16 paths, 64-bit offsets and sizes. Regular files are mapped as copy-on-write views.
#include "platform/Datei.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "platform/Betriebssystem.h"
#include "platform/windows/System.h"

namespace {

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
