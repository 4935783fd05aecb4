// The file calls of POSIX systems: descriptors, read and write, mmap for regular files, and the
// SIGBUS handler that lets a mapped file shrink.
#include "platform/Datei.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/Betriebssystem.h"

std::int64_t LiesHoechstens(int fd, void* p, std::size_t n) noexcept
{
    const ssize_t nGelesen = read(fd, p, n);
    return nGelesen >= 0 ? nGelesen : -errno;
}

std::int64_t SchreibeHoechstens(int fd, const void* p, std::size_t n) noexcept
{
    const ssize_t nGeschrieben = write(fd, p, n);
    return nGeschrieben >= 0 ? nGeschrieben : -errno;
}

// A descriptor that does not block (set so by whoever passed it): poll until it is ready.
bool WarteBereit(int fd, bool bSchreiben) noexcept
{
    pollfd p{fd, static_cast<short>(bSchreiben ? POLLOUT : POLLIN), 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    return true;
}

int StatusVon(int fd, CFileStatus& status) noexcept
{
    struct stat st;
    if (fstat(fd, &st) != 0) return errno;
    status.m_bRegulaer = S_ISREG(st.st_mode);
    status.m_bVerzeichnis = S_ISDIR(st.st_mode);
    status.m_size = status.m_bRegulaer ? static_cast<std::int64_t>(st.st_size) : 0;
    return 0;
}

std::int64_t PositionVon(int fd) noexcept
{
    const off_t nPos = lseek(fd, 0, SEEK_CUR);
    return nPos < 0 ? -1 : static_cast<std::int64_t>(nPos);
}

void SetzePosition(int fd, std::int64_t nPos) noexcept { lseek(fd, static_cast<off_t>(nPos), SEEK_SET); }

char* BildeAb(int fd, std::int64_t nVersatz, std::size_t n) noexcept
{
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, static_cast<off_t>(nVersatz));
    if (p == MAP_FAILED) return nullptr;
    madvise(p, n, MADV_SEQUENTIAL);  // only a hint
    return static_cast<char*>(p);
}

bool IstKonsole(int fd) noexcept { return isatty(fd) == 1; }

int OeffneZumLesen(const std::string& strPfad) noexcept
{
    int fd;
    do {
        fd = open(strPfad.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : -errno;
}

int SchliesseDeskriptor(int fd) noexcept
{
    // EINTR is not retried: the descriptor is released already.
    return close(fd) != 0 && errno != EINTR ? errno : 0;
}

int PfadFehler(const std::string& strPfad) noexcept
{
    struct stat st;
    return stat(strPfad.c_str(), &st) == 0 ? 0 : errno;
}

// --- Mapped files ---

std::size_t SeitenGroesse() noexcept
{
    const long n = sysconf(_SC_PAGESIZE);
    return n > 0 ? static_cast<std::size_t>(n) : 4096;
}

namespace {

// A read from a mapped page whose file has shrunk away below it (BUS_ADRERR): a zero page takes
// its place and the read is made again. Any other SIGBUS ends the process as it would have.
void Abbildfehler(int nSignal, siginfo_t* pInfo, void*)
{
    if (pInfo != nullptr && pInfo->si_code == BUS_ADRERR) {
        const auto nSeite = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        void* pSeite = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(pInfo->si_addr) & ~(nSeite - 1));
        if (mmap(pSeite, nSeite, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
            return;
    }
    signal(nSignal, SIG_DFL);
}

}  // namespace

void SchuetzeAbbilder() noexcept
{
    struct sigaction a {};
    a.sa_sigaction = Abbildfehler;
    a.sa_flags = SA_SIGINFO;
    sigemptyset(&a.sa_mask);
    sigaction(SIGBUS, &a, nullptr);
}
