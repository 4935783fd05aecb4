// The calls of platform/Betriebssystem.h on POSIX systems, and the parts of platform/Datei.h and
// platform/ErsatzDatei.h that are the system's: descriptors, read and write, mmap for regular
// files and the SIGBUS handler that lets a mapped file shrink; the new file of a replacement,
// made with mkostemp next to the old one and renamed over it, and the handler of SIGINT, SIGTERM
// and SIGHUP that removes it when the process is ended from outside meanwhile.
#include "platform/Betriebssystem.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/CString.h"
#include "platform/Datei.h"
#include "platform/ErsatzDatei.h"

// --- Descriptors ---

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
    const int fd = open(strPfad.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return fd >= 0 ? fd : -errno;
}

int SchliesseDeskriptor(int fd) noexcept { return close(fd) != 0 ? errno : 0; }

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

// --- Replacing a file ---

bool IstKeineRegulaereDatei(const CString& strName) noexcept
{
    struct stat st {};
    return stat(strName.GetString(), &st) == 0 && !S_ISREG(st.st_mode);
}

namespace {

// The signals that end a run from outside: Ctrl-C, kill and a terminal that went away.
constexpr int kSignale[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kAnzahlSignale = 3;

// What the handler of those signals needs to remove the new file before the process ends. A
// signal handler reaches nothing but statics, so this is the one static they need; it changes
// only while they are blocked (Sperre), and serves one new file at a time.
struct Aufraeumen {
    char aPfad[PATH_MAX + 32];              // the new file; empty while there is none
    struct sigaction aAlt[kAnzahlSignale];  // the dispositions the handler took the place of
    bool abErsetzt[kAnzahlSignale];         // which ones it took (an ignored signal stays ignored)
};
Aufraeumen s_aufraeumen;

// Removes the new file, then lets the signal end the process as it would have without this
// handler, so the caller sees death by that signal. Only async-signal-safe calls.
void Abbruch(int nSignal)
{
    EntferneNeueDateiSofort();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(nSignal, &standard, nullptr);
    // Blocked while the handler runs: delivered, with the default action, as it returns.
    raise(nSignal);
}

// Blocks the three signals while it lives, so that the new file and the handler's path change
// together: no signal can leave the file behind, nor remove it once it has replaced the old one.
class Sperre {
public:
    Sperre() noexcept
    {
        sigset_t menge;
        sigemptyset(&menge);
        for (const int nSignal : kSignale) sigaddset(&menge, nSignal);
        pthread_sigmask(SIG_BLOCK, &menge, &m_alt);
    }
    Sperre(const Sperre&) = delete;
    Sperre& operator=(const Sperre&) = delete;
    ~Sperre() { pthread_sigmask(SIG_SETMASK, &m_alt, nullptr); }

private:
    sigset_t m_alt;
};

// With the signals blocked: the handler takes over every signal of the three that is not ignored
// and is to remove the file strNeu.
void MeldeAn(const std::string& strNeu) noexcept
{
    std::memcpy(s_aufraeumen.aPfad, strNeu.c_str(), strNeu.size() + 1);
    struct sigaction neu {};
    neu.sa_handler = Abbruch;
    sigemptyset(&neu.sa_mask);
    for (const int nSignal : kSignale) sigaddset(&neu.sa_mask, nSignal);
    for (int i = 0; i < kAnzahlSignale; ++i) {
        struct sigaction& alt = s_aufraeumen.aAlt[i];
        s_aufraeumen.abErsetzt[i] = sigaction(kSignale[i], nullptr, &alt) == 0 &&
                                    ((alt.sa_flags & SA_SIGINFO) != 0 || alt.sa_handler != SIG_IGN) &&
                                    sigaction(kSignale[i], &neu, nullptr) == 0;
    }
}

// With the signals blocked: there is no new file any more; the dispositions are as before.
void MeldeAb() noexcept
{
    s_aufraeumen.aPfad[0] = '\0';
    for (int i = 0; i < kAnzahlSignale; ++i) {
        if (s_aufraeumen.abErsetzt[i]) sigaction(kSignale[i], &s_aufraeumen.aAlt[i], nullptr);
        s_aufraeumen.abErsetzt[i] = false;
    }
}

}  // namespace

void EntferneNeueDateiSofort() noexcept
{
    if (s_aufraeumen.aPfad[0] != '\0') unlink(s_aufraeumen.aPfad);
}

int FindeZiel(const std::string& strName, ErsatzZiel& ziel)
{
    const std::unique_ptr<char, decltype(&std::free)> pEcht(realpath(strName.c_str(), nullptr), &std::free);
    if (!pEcht) return errno;
    struct stat st {};
    if (stat(pEcht.get(), &st) != 0) return errno;
    ziel.bRegulaer = S_ISREG(st.st_mode);
    if (!ziel.bRegulaer) return 0;
    ziel.strPfad = pEcht.get();
    ziel.nModus = st.st_mode;
    ziel.nBesitzer = st.st_uid;
    ziel.nGruppe = st.st_gid;
    // The handler keeps the new file's path, the folder's and ".brixfilter-XXXXXX", in its buffer.
    return NamensAnfang(ziel.strPfad) + sizeof ".brixfilter-XXXXXX" > sizeof s_aufraeumen.aPfad ? ENAMETOOLONG : 0;
}

std::size_t NamensAnfang(const std::string& strPfad) noexcept
{
    const std::size_t i = strPfad.rfind('/');
    return i == std::string::npos ? 0 : i + 1;
}

// The separator is "/"; the root is "/" itself.
std::string OrdnerName(std::string strPfad)
{
    const std::size_t i = strPfad.rfind('/');
    if (i == std::string::npos) return ".";
    const std::size_t nEnde = strPfad.find_last_not_of('/', i);
    return nEnde == std::string::npos ? "/" : strPfad.substr(0, nEnde + 1);
}

bool IstVerknuepfung(const std::string& strPfad)
{
    struct stat st {};
    return lstat(strPfad.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// mkostemp creates the file exclusively (O_EXCL) with mode 0600.
int LegeNeueDateiAn(const std::string& strAnfang, std::string& strNeu)
{
    strNeu = strAnfang + "XXXXXX";
    const Sperre sperre;
    const int fd = mkostemp(strNeu.data(), O_CLOEXEC);
    if (fd < 0) return -errno;
    MeldeAn(strNeu);
    return fd;
}

int UebernimmRechte(int fd, const ErsatzZiel& ziel) noexcept
{
    auto nModus = static_cast<mode_t>(ziel.nModus);
    // The owner and group go first, since changing the owner clears the set-user-ID and
    // set-group-ID bits.
    if (fchown(fd, static_cast<uid_t>(ziel.nBesitzer), static_cast<gid_t>(ziel.nGruppe)) != 0) {
        // Not allowed (another owner): the new file keeps ours, and no set-ID bit goes over.
        nModus &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    return fchmod(fd, nModus & 07777) != 0 ? errno : 0;
}

int SichereDatei(int fd) noexcept { return fsync(fd) != 0 ? errno : 0; }

int SchliesseNeueDatei(int fd) noexcept { return close(fd) != 0 ? errno : 0; }

int ErsetzeDurch(std::string& strNeu, const std::string& strZiel)
{
    {
        const Sperre sperre;
        if (rename(strNeu.c_str(), strZiel.c_str()) != 0) return errno;
        strNeu.clear();
        MeldeAb();
    }
    // The rename is on disk once the folder is; a file system that cannot sync a folder (EINVAL)
    // keeps it as it keeps any rename.
    const int fd = open(strZiel.substr(0, NamensAnfang(strZiel)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int nSync = fsync(fd);
    const int nErrno = errno;
    close(fd);
    return nSync != 0 && nErrno != EINVAL ? nErrno : 0;
}

void VerwirfNeueDatei(int fd, const std::string& strNeu) noexcept
{
    const Sperre sperre;
    if (fd >= 0) close(fd);
    if (strNeu.empty()) return;
    unlink(strNeu.c_str());
    MeldeAb();
}
