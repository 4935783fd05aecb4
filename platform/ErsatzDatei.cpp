// Replacing a file, over the calls of platform/Betriebssystem.h: what is refused, where the new
// file goes, the messages, and the order of flushing, renaming and removing.
#include "platform/ErsatzDatei.h"

#include <cerrno>

#include "platform/Betriebssystem.h"
#include "platform/CString.h"

CErsatzDatei::CErsatzDatei(const CString& strZiel) : CStdioFile(-1)
{
    const std::string strName(strZiel.Sicht());
    Verbinde(-1, false, "Datei \"" + strName + "\"");
    // The file a symbolic link points to is the one replaced.
    ErsatzZiel ziel;
    if (const int nErrno = FindeZiel(strZiel.GetString(), ziel)) Scheitern("ersetzt", nErrno);
    if (!ziel.bRegulaer)
        throw CFileException(Bezeichnung() + " kann nicht ersetzt werden: Keine reguläre Datei", EINVAL);
    m_strZiel = std::move(ziel.strPfad);

    std::string strNeu;
    const int fd = LegeNeueDateiAn(m_strZiel.substr(0, NamensAnfang(m_strZiel)) + ".brixfilter-", strNeu);
    if (fd < 0) {
        // The folder is to blame: as the user named it, or, for a symbolic link, the target's.
        throw CFileException(Bezeichnung() + " kann nicht ersetzt werden: Im Ordner \"" +
                                 OrdnerName(IstVerknuepfung(strZiel.GetString()) ? m_strZiel : strName) +
                                 "\" kann keine Datei angelegt werden: " + FehlerText(-fd),
                             -fd);
    }
    m_strNeu = std::move(strNeu);
    Verbinde(fd, false, Bezeichnung());
    if (const int nErrno = UebernimmRechte(fd, ziel)) {
        Entferne();  // the destructor does not run for a constructor that throws
        Scheitern("ersetzt", nErrno);
    }
}

CErsatzDatei::~CErsatzDatei() { Entferne(); }

void CErsatzDatei::Entferne() noexcept
{
    const int fd = Deskriptor();
    Verbinde(-1, false, Bezeichnung());
    VerwirfNeueDatei(fd, m_strNeu);
    m_strNeu.clear();
}

void CErsatzDatei::Ersetze()
{
    const int fd = Deskriptor();
    if (const int nErrno = SichereDatei(fd)) Scheitern("geschrieben", nErrno);
    Verbinde(-1, false, Bezeichnung());
    if (const int nErrno = SchliesseNeueDatei(fd)) Scheitern("geschrieben", nErrno);
    // Once renamed, the new file is the old one's: m_strNeu is emptied, and nothing removes it.
    if (const int nErrno = ErsetzeDurch(m_strNeu, m_strZiel)) Scheitern("ersetzt", nErrno);
}
