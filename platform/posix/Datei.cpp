// The file calls of POSIX systems: descriptors, read and write, mmap for regular files.
#include "platform/Datei.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/CString.h"

// --- CFile ---

namespace {

// Waits until a non-blocking descriptor is ready, so that EAGAIN is no failure.
void WarteAuf(int fd, short nEreignis)
{
    pollfd p{fd, nEreignis, 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::size_t CFile::Read(void* p, std::size_t n)
{
    if (m_fd < 0) Scheitern("gelesen", EBADF);
    if (n > kMaxEinzelZugriff) n = kMaxEinzelZugriff;
    for (;;) {
        const ssize_t nGelesen = read(m_fd, p, n);
        if (nGelesen >= 0) return static_cast<std::size_t>(nGelesen);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WarteAuf(m_fd, POLLIN);
            continue;
        }
        Scheitern("gelesen", errno);
    }
}

char* CFile::Abbilden(std::int64_t nVersatz, std::size_t n) const noexcept
{
    if (m_fd < 0 || n == 0) return nullptr;
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE, m_fd, static_cast<off_t>(nVersatz));
    if (p == MAP_FAILED) return nullptr;
    madvise(p, n, MADV_SEQUENTIAL);  // only a hint
    return static_cast<char*>(p);
}

void CFile::Setze(std::int64_t nPos) const noexcept
{
    if (m_fd >= 0) lseek(m_fd, static_cast<off_t>(nPos), SEEK_SET);
}

void CFile::Write(const void* p, std::size_t n)
{
    if (m_fd < 0) Scheitern("geschrieben", EBADF);
    const char* q = static_cast<const char*>(p);
    while (n > 0) {
        const std::size_t nStueck = n < kMaxEinzelZugriff ? n : kMaxEinzelZugriff;
        const ssize_t nGeschrieben = write(m_fd, q, nStueck);
        if (nGeschrieben < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                WarteAuf(m_fd, POLLOUT);
                continue;
            }
            Scheitern("geschrieben", errno);
        }
        q += nGeschrieben;
        n -= static_cast<std::size_t>(nGeschrieben);
    }
}

CFileStatus CFile::GetStatus() const
{
    struct stat st;
    if (m_fd < 0) Scheitern("gelesen", EBADF);
    if (fstat(m_fd, &st) != 0) Scheitern("gelesen", errno);
    CFileStatus status;
    status.m_bRegulaer = S_ISREG(st.st_mode);
    status.m_bVerzeichnis = S_ISDIR(st.st_mode);
    status.m_size = status.m_bRegulaer ? static_cast<std::int64_t>(st.st_size) : 0;
    return status;
}

bool CFile::IstTerminal() const noexcept { return m_fd >= 0 && isatty(m_fd) == 1; }

std::int64_t CFile::GetPosition() const noexcept
{
    if (m_fd < 0) return -1;
    const off_t nPos = lseek(m_fd, 0, SEEK_CUR);
    return nPos < 0 ? -1 : static_cast<std::int64_t>(nPos);
}

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
