#include "platform/Datei.h"

#include <cerrno>

#include "platform/Betriebssystem.h"
#include "platform/CString.h"

std::string FehlerText(int nErrno)
{
    switch (nErrno) {
    case ENOENT: return "Datei nicht gefunden";
    case EACCES: return "Keine Berechtigung";
    case EPERM: return "Vorgang nicht erlaubt";
    case EISDIR: return "Ist ein Verzeichnis";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Verzeichnis";
    case EIO: return "Ein-/Ausgabefehler";
    case ENOSPC: return "Kein Platz auf dem Gerät";
#ifdef EDQUOT
    case EDQUOT: return "Speicherkontingent überschritten";
#endif
    case EFBIG: return "Datei zu groß";
    case EBADF: return "Ungültiger oder geschlossener Dateideskriptor";
    case EPIPE: return "Der Leser hat die Verbindung geschlossen";
    case ENOMEM: return "Nicht genug Speicher";
    case EMFILE: return "Zu viele offene Dateien";
    case ENFILE: return "Zu viele offene Dateien im System";
    case ENAMETOOLONG: return "Dateiname zu lang";
    case ELOOP: return "Zu viele Ebenen symbolischer Verknüpfungen";
    case EROFS: return "Dateisystem nur lesbar";
    case ENXIO: return "Gerät oder Adresse nicht vorhanden";
    case ENODEV: return "Gerät nicht vorhanden";
    case EINVAL: return "Ungültiges Argument";
    case ETXTBSY: return "Datei wird gerade benutzt";
    case EAGAIN: return "Vorübergehend nicht verfügbar";
    default: return "Systemfehler " + std::to_string(nErrno);
    }
}

// --- CFile: what every system shares ---

void CFile::Verbinde(int fd, bool bEigen, std::string strBezeichnung) noexcept
{
    m_fd = fd;
    m_bEigen = bEigen;
    m_strBezeichnung = std::move(strBezeichnung);
}

void CFile::Scheitern(const char* pVorgang, int nErrno) const
{
    throw CFileException(m_strBezeichnung + " kann nicht " + pVorgang + " werden: " + FehlerText(nErrno), nErrno);
}

void CFile::ScheitereKuerzer() const
{
    throw CFileException(m_strBezeichnung + " kann nicht gelesen werden: Die Datei wurde beim Lesen kürzer", 0);
}

// --- CStdioFile ---

namespace {

std::string StandardBezeichnung(int fd)
{
    switch (fd) {
    case 0: return "Standardeingabe";
    case 1: return "Standardausgabe";
    case 2: return "Standardfehlerausgabe";
    default: return "Dateideskriptor " + std::to_string(fd);
    }
}

}  // namespace

CStdioFile::CStdioFile(int fd) noexcept
{
    try {
        Verbinde(fd, false, StandardBezeichnung(fd));
    } catch (...) {
        Verbinde(fd, false, {});  // no memory even for the name: messages lose it
    }
}

// --- CFile, over the calls of platform/Betriebssystem.h ---

namespace {

// After a failed read or write: 0 when the call is to be made again (it was interrupted, or fd
// was not ready and is now), else the errno that stands.
int BleibenderFehler(int nErrno, int fd, bool bSchreiben) noexcept
{
    if (nErrno == EINTR) return 0;
    if ((nErrno == EAGAIN || nErrno == EWOULDBLOCK) && WarteBereit(fd, bSchreiben)) return 0;
    return nErrno;
}

}  // namespace

std::size_t CFile::Read(void* p, std::size_t n)
{
    if (m_fd < 0) Scheitern("gelesen", EBADF);
    if (n > kMaxEinzelZugriff) n = kMaxEinzelZugriff;
    for (;;) {
        const std::int64_t nGelesen = LiesHoechstens(m_fd, p, n);
        if (nGelesen >= 0) return static_cast<std::size_t>(nGelesen);
        if (const int nErrno = BleibenderFehler(static_cast<int>(-nGelesen), m_fd, false)) Scheitern("gelesen", nErrno);
    }
}

void CFile::Write(const void* p, std::size_t n)
{
    if (m_fd < 0) Scheitern("geschrieben", EBADF);
    const char* q = static_cast<const char*>(p);
    while (n > 0) {
        const std::size_t nStueck = n < kMaxEinzelZugriff ? n : kMaxEinzelZugriff;
        const std::int64_t nGeschrieben = SchreibeHoechstens(m_fd, q, nStueck);
        if (nGeschrieben < 0) {
            if (const int nErrno = BleibenderFehler(static_cast<int>(-nGeschrieben), m_fd, true))
                Scheitern("geschrieben", nErrno);
            continue;
        }
        q += nGeschrieben;
        n -= static_cast<std::size_t>(nGeschrieben);
    }
}

char* CFile::Abbilden(std::int64_t nVersatz, std::size_t n) const noexcept
{
    return m_fd < 0 || n == 0 ? nullptr : BildeAb(m_fd, nVersatz, n);
}

void CFile::Setze(std::int64_t nPos) const noexcept
{
    if (m_fd >= 0) SetzePosition(m_fd, nPos);
}

CFileStatus CFile::GetStatus() const
{
    if (m_fd < 0) Scheitern("gelesen", EBADF);
    CFileStatus status;
    if (const int nErrno = StatusVon(m_fd, status)) Scheitern("gelesen", nErrno);
    return status;
}

bool CFile::IstTerminal() const noexcept { return m_fd >= 0 && IstKonsole(m_fd); }

std::int64_t CFile::GetPosition() const noexcept { return m_fd < 0 ? -1 : PositionVon(m_fd); }

CFile::~CFile()
{
    if (m_bEigen && m_fd >= 0) SchliesseDeskriptor(m_fd);
}

void CFile::Open(const CString& strName)
{
    if (m_bEigen && m_fd >= 0) SchliesseDeskriptor(m_fd);
    const std::string strPfad(strName.Sicht());
    Verbinde(-1, false, "Datei \"" + strPfad + "\"");
    // A zero byte cannot be part of a path; such a name names no file.
    if (strPfad.empty() || strPfad.find('\0') != std::string::npos) Scheitern("geöffnet", ENOENT);
    int fd = OeffneZumLesen(strPfad);
    while (fd == -EINTR) fd = OeffneZumLesen(strPfad);
    if (fd < 0) Scheitern("geöffnet", -fd);
    m_fd = fd;
    m_bEigen = true;
    if (GetStatus().m_bVerzeichnis) {
        Close();
        Scheitern("geöffnet", EISDIR);
    }
}

void CFile::Close()
{
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    // EINTR is no failure: the descriptor is released already, and is not closed again.
    const int nErrno = SchliesseDeskriptor(fd);
    if (nErrno != 0 && nErrno != EINTR) Scheitern("geschlossen", nErrno);
}
