#include "platform/ErsatzDatei.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

}  // namespace

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

    // mkostemp creates the file exclusively (O_EXCL) with mode 0600; the old file's owner and
    // group go first, since changing the owner clears the set-user-ID and set-group-ID bits.
    std::string strMuster = m_strZiel.substr(0, m_strZiel.rfind('/') + 1) + ".brixfilter-XXXXXX";
    const int fd = mkostemp(strMuster.data(), O_CLOEXEC);
    if (fd < 0) Scheitere(strBezeichnung, "ersetzt", errno);
    m_strNeu = strMuster;
    Verbinde(fd, false, strBezeichnung);
    if (fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not allowed (another owner): the new file keeps ours, and no set-ID bit goes over.
        st.st_mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    if (fchmod(fd, st.st_mode & 07777) != 0) {
        const int nErrno = errno;
        close(fd);
        unlink(m_strNeu.c_str());  // the destructor does not run for a constructor that throws
        Scheitere(strBezeichnung, "ersetzt", nErrno);
    }
}

CErsatzDatei::~CErsatzDatei()
{
    if (Deskriptor() >= 0) close(Deskriptor());
    if (!m_strNeu.empty()) unlink(m_strNeu.c_str());
}

void CErsatzDatei::Ersetze()
{
    const int fd = Deskriptor();
    if (fsync(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    Verbinde(-1, false, Bezeichnung());
    if (close(fd) != 0) Scheitere(Bezeichnung(), "geschrieben", errno);
    if (rename(m_strNeu.c_str(), m_strZiel.c_str()) != 0) Scheitere(Bezeichnung(), "ersetzt", errno);
    m_strNeu.clear();
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
