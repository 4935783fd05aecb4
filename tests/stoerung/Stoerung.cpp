// A preload shim that makes reads, writes and opens fail on purpose, so that the I/O error paths
// of the real binary can be tested: LD_PRELOAD=libbrix_stoerung.so brixfilter ...
//
// Controlled by environment variables (unset: the call passes through unchanged):
//   BRIX_STOERUNG_READ   eio      every read of a file (fd > 2) fails with EIO
//                        eio0     every read of standard input fails with EIO
//                        eio0nach reads of standard input fail with EIO once 100,000 bytes came
//                        eintr    every other read is interrupted (EINTR) before it happens
//                        kurz     reads deliver at most 3 bytes
//                        schrumpf a file (fd > 2) ends after its first read (it shrank)
//   BRIX_STOERUNG_WRITE  eintr    every other write is interrupted (EINTR) before it happens
//                        kurz     writes take at most 5 bytes
//                        enospc   every write to standard output fails with ENOSPC
//                        eio2     writes to standard error fail with EIO
//                        enospc3  writes to a file (fd > 2) fail with ENOSPC after its first 3 bytes
//                        eio3     writes to a file (fd > 2) fail with EIO
//   BRIX_STOERUNG_FSYNC  eio      fsync fails with EIO
//                        haengt   fsync waits a minute first (a signal that ends the process ends it)
//                        sighup   fsync raises SIGHUP first
//   BRIX_STOERUNG_RENAME eacces   rename fails with EACCES
//   BRIX_STOERUNG_MKOSTEMP eacces mkostemp fails with EACCES (no new file in the folder)
//   BRIX_STOERUNG_OPEN   eacces   opening any file fails with EACCES
//   BRIX_STOERUNG_MMAP   fehl     mapping a file fails with ENODEV (anonymous memory is granted)
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

template <class F>
F Echt(const char* pName)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, pName));
}

bool Ist(const char* pVariable, const char* pWert)
{
    const char* p = std::getenv(pVariable);
    return p && std::strcmp(p, pWert) == 0;
}

int g_nLeseAufrufe = 0;
int g_nSchreibAufrufe = 0;
bool g_bGelesen[1024] = {};
bool g_bVoll = false;  // enospc3: the disk is full after the first bytes
std::size_t g_nStdinGelesen = 0;  // eio0nach: bytes read from standard input

}  // namespace

extern "C" ssize_t read(int fd, void* pPuffer, size_t n)
{
    static auto echt = Echt<ssize_t (*)(int, void*, size_t)>("read");
    if (Ist("BRIX_STOERUNG_READ", "eio") && fd > 2) { errno = EIO; return -1; }
    if (Ist("BRIX_STOERUNG_READ", "eio0") && fd == 0) { errno = EIO; return -1; }
    if (Ist("BRIX_STOERUNG_READ", "eio0nach") && fd == 0) {
        if (g_nStdinGelesen >= 100'000) { errno = EIO; return -1; }
        const ssize_t nGelesen = echt(fd, pPuffer, n);
        if (nGelesen > 0) g_nStdinGelesen += static_cast<std::size_t>(nGelesen);
        return nGelesen;
    }
    if (Ist("BRIX_STOERUNG_READ", "eintr") && (g_nLeseAufrufe++ % 2) == 0) { errno = EINTR; return -1; }
    if (Ist("BRIX_STOERUNG_READ", "kurz") && n > 3) n = 3;
    if (Ist("BRIX_STOERUNG_READ", "schrumpf") && fd > 2 && fd < 1024) {
        if (g_bGelesen[fd]) return 0;
        g_bGelesen[fd] = true;
        if (n > 2) n = 2;
    }
    return echt(fd, pPuffer, n);
}

extern "C" ssize_t write(int fd, const void* pPuffer, size_t n)
{
    static auto echt = Echt<ssize_t (*)(int, const void*, size_t)>("write");
    if (Ist("BRIX_STOERUNG_WRITE", "eintr") && (g_nSchreibAufrufe++ % 2) == 0) { errno = EINTR; return -1; }
    if (Ist("BRIX_STOERUNG_WRITE", "kurz") && n > 5) n = 5;
    if (Ist("BRIX_STOERUNG_WRITE", "enospc") && fd == 1) { errno = ENOSPC; return -1; }
    if (Ist("BRIX_STOERUNG_WRITE", "eio2") && fd == 2) { errno = EIO; return -1; }
    if (Ist("BRIX_STOERUNG_WRITE", "eio3") && fd > 2) { errno = EIO; return -1; }
    if (Ist("BRIX_STOERUNG_WRITE", "enospc3") && fd > 2) {
        if (g_bVoll) { errno = ENOSPC; return -1; }
        g_bVoll = true;
        if (n > 3) n = 3;
    }
    return echt(fd, pPuffer, n);
}

extern "C" int fsync(int fd)
{
    static auto echt = Echt<int (*)(int)>("fsync");
    if (Ist("BRIX_STOERUNG_FSYNC", "eio")) { errno = EIO; return -1; }
    if (Ist("BRIX_STOERUNG_FSYNC", "haengt")) {
        for (unsigned n = 60; n > 0;) n = sleep(n);  // on through handlers that return
    }
    if (Ist("BRIX_STOERUNG_FSYNC", "sighup")) raise(SIGHUP);
    return echt(fd);
}

extern "C" int mkostemp(char* pMuster, int nFlags)
{
    static auto echt = Echt<int (*)(char*, int)>("mkostemp");
    if (Ist("BRIX_STOERUNG_MKOSTEMP", "eacces")) { errno = EACCES; return -1; }
    return echt(pMuster, nFlags);
}

extern "C" int rename(const char* pAlt, const char* pNeu)
{
    static auto echt = Echt<int (*)(const char*, const char*)>("rename");
    if (Ist("BRIX_STOERUNG_RENAME", "eacces")) { errno = EACCES; return -1; }
    return echt(pAlt, pNeu);
}

namespace {
template <class F>
int Oeffne(F echt, const char* pPfad, int nFlags, va_list args)
{
    mode_t nModus = 0;
    if (nFlags & (O_CREAT | O_TMPFILE)) nModus = static_cast<mode_t>(va_arg(args, int));
    if (Ist("BRIX_STOERUNG_OPEN", "eacces")) { errno = EACCES; return -1; }
    return echt(pPfad, nFlags, nModus);
}
}  // namespace

extern "C" int open(const char* pPfad, int nFlags, ...)
{
    static auto echt = Echt<int (*)(const char*, int, ...)>("open");
    va_list args;
    va_start(args, nFlags);
    const int fd = Oeffne(echt, pPfad, nFlags, args);
    va_end(args);
    return fd;
}

extern "C" int open64(const char* pPfad, int nFlags, ...)
{
    static auto echt = Echt<int (*)(const char*, int, ...)>("open64");
    va_list args;
    va_start(args, nFlags);
    const int fd = Oeffne(echt, pPfad, nFlags, args);
    va_end(args);
    return fd;
}

namespace {
void* Abbilden(void* (*echt)(void*, size_t, int, int, int, off_t), void* pAdresse, size_t n, int nSchutz,
               int nFlags, int fd, off_t nVersatz)
{
    if (Ist("BRIX_STOERUNG_MMAP", "fehl") && fd >= 0 && (nFlags & MAP_ANONYMOUS) == 0) {
        errno = ENODEV;
        return MAP_FAILED;
    }
    return echt(pAdresse, n, nSchutz, nFlags, fd, nVersatz);
}
}  // namespace

extern "C" void* mmap(void* pAdresse, size_t n, int nSchutz, int nFlags, int fd, off_t nVersatz)
{
    static auto echt = Echt<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
    return Abbilden(echt, pAdresse, n, nSchutz, nFlags, fd, nVersatz);
}

extern "C" void* mmap64(void* pAdresse, size_t n, int nSchutz, int nFlags, int fd, off_t nVersatz)
{
    static auto echt = Echt<void* (*)(void*, size_t, int, int, int, off_t)>("mmap64");
    return Abbilden(echt, pAdresse, n, nSchutz, nFlags, fd, nVersatz);
}
