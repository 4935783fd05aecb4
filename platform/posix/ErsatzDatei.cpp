#include "platform/ErsatzDatei.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/CString.h"

bool IstKeineRegulaereDatei(const CString& strName) noexcept
{
    struct stat st {};
    return stat(strName.GetString(), &st) == 0 && !S_ISREG(st.st_mode);
}

namespace {

[[noreturn]] void Scheitere(const std::string& strBezeichnung, const char* pVorgang, int nErrno)
{
    throw CFileException(strBezeichnung + " kann nicht " + pVorgang + " werden: " + FehlerText(nErrno), nErrno);
}

// The folder part of a path as messages name it: "." for a bare name, "/" at the root.
std::string Ordner(const std::string& strPfad)
{
    const std::size_t i = strPfad.rfind('/');
    if (i == std::string::npos) return ".";
    const std::size_t nEnde = strPfad.find_last_not_of('/', i);
    return nEnde == std::string::npos ? "/" : strPfad.substr(0, nEnde + 1);
}

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

CErsatzDatei::CErsatzDatei(const CString& strZiel) : CStdioFile(-1)
{
    const std::string strBezeichnung = "Datei \"" + std::string(strZiel.Sicht()) + "\"";
    Verbinde(-1, false, strBezeichnung);
    // The file a symbolic link points to is the one replaced.
    const std::unique_ptr<char, decltype(&std::free)> pEcht(realpath(strZiel.GetString(), nullptr), &std::free);
    if (!pEcht) Scheitere(strBezeichnung, "ersetzt", errno);
    m_strZiel = pEcht.get();
    struct stat st {};
    if (stat(m_strZiel.c_str(), &st) != 0) Scheitere(strBezeichnung, "ersetzt", errno);
    if (!S_ISREG(st.st_mode)) {
        throw CFileException(strBezeichnung + " kann nicht ersetzt werden: Keine reguläre Datei", EINVAL);
    }

    // mkostemp creates the file exclusively (O_EXCL) with mode 0600. The file and the signal
    // handler that removes it come together.
    std::string strMuster = m_strZiel.substr(0, m_strZiel.rfind('/') + 1) + ".brixfilter-XXXXXX";
    if (strMuster.size() >= sizeof s_aufraeumen.aPfad) Scheitere(strBezeichnung, "ersetzt", ENAMETOOLONG);
    int fd = -1;
    int nErrno = 0;
    {
        const Sperre sperre;
        fd = mkostemp(strMuster.data(), O_CLOEXEC);
        nErrno = errno;
        if (fd >= 0) MeldeAn(strMuster);
    }
    if (fd < 0) {
        // The folder is to blame: as the user named it, or the link's target's.
        struct stat stName {};
        const std::string strName(strZiel.Sicht());
        const bool bLink = lstat(strName.c_str(), &stName) == 0 && S_ISLNK(stName.st_mode);
        throw CFileException(strBezeichnung + " kann nicht ersetzt werden: Im Ordner \"" +
                                 Ordner(bLink ? m_strZiel : strName) +
                                 "\" kann keine Datei angelegt werden: " + FehlerText(nErrno),
                             nErrno);
    }
    m_strNeu = std::move(strMuster);
    Verbinde(fd, false, strBezeichnung);
    // The old file's owner and group go first, since changing the owner clears the set-user-ID
    // and set-group-ID bits.
    if (fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not allowed (another owner): the new file keeps ours, and no set-ID bit goes over.
        st.st_mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    if (fchmod(fd, st.st_mode & 07777) != 0) {
        nErrno = errno;
        Entferne();  // the destructor does not run for a constructor that throws
        Scheitere(strBezeichnung, "ersetzt", nErrno);
    }
}

CErsatzDatei::~CErsatzDatei() { Entferne(); }

void CErsatzDatei::Entferne() noexcept
{
    const Sperre sperre;
    if (Deskriptor() >= 0) close(Deskriptor());
    Verbinde(-1, false, Bezeichnung());
    if (m_strNeu.empty()) return;
    unlink(m_strNeu.c_str());
    m_strNeu.clear();
    MeldeAb();
}

void CErsatzDatei::Ersetze()
{
    const int fd = Deskriptor();
    if (fsync(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    Verbinde(-1, false, Bezeichnung());
    if (close(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    int nFehler = 0;
    {
        // Once renamed, the new file is the old one's and no signal may remove it.
        const Sperre sperre;
        if (rename(m_strNeu.c_str(), m_strZiel.c_str()) == 0) {
            m_strNeu.clear();
            MeldeAb();
        } else {
            nFehler = errno;
        }
    }
    if (nFehler != 0) Scheitere(Bezeichnung(), "ersetzt", nFehler);
    // The rename is on disk once the folder is; a file system that cannot sync a folder
    // (EINVAL) keeps it as it keeps any rename.
    const std::string strOrdner = m_strZiel.substr(0, m_strZiel.rfind('/') + 1);
    const int fdOrdner = open(strOrdner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdOrdner < 0) Scheitere(Bezeichnung(), "ersetzt", errno);
    const int nSync = fsync(fdOrdner);
    const int nErrno = errno;
    close(fdOrdner);
    if (nSync != 0 && nErrno != EINVAL) Scheitere(Bezeichnung(), "ersetzt", nErrno);
}
