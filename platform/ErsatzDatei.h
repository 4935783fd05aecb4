// Replacing a file as a whole, atomically: the new content goes into a new file next to the old
// one, which then takes the old one's name in a single rename. Whatever fails before that, the
// old file stays as it was and the new one is removed; so it is when the process is ended from
// outside meanwhile (POSIX: SIGINT, SIGTERM, SIGHUP, unless ignored; Windows: Ctrl-C, Ctrl-Break,
// closing the console): the new file is removed first, then the process ends as it would have
// (by that signal; on Windows with STATUS_CONTROL_C_EXIT). One new file at a time.
#pragma once

#include <string>

#include "platform/Datei.h"

class CString;

// Whether the named file (a symbolic link followed) exists and is no regular file: a FIFO, a
// device, a folder. Such a file cannot be replaced; a missing one is left to the reader to report.
bool IstKeineRegulaereDatei(const CString& strName) noexcept;

// Removes the new file of a CErsatzDatei that has not replaced its old file yet, for a process
// that ends at once without unwinding (async-signal-safe on POSIX).
void EntferneNeueDateiSofort() noexcept;

// The new file that is to replace strZiel. Writing goes through the descriptor (CFile::Write);
// its failures name the file being replaced.
class CErsatzDatei : public CStdioFile {
public:
    // Creates the new file, exclusively, in the folder of the file strZiel names (a symbolic
    // link is followed: its target is replaced, the link stays), with the old file's permission
    // bits and, where the process may set them, its owner and group. Throws CFileException when
    // strZiel is no regular file or the new file cannot be made (the message then names the
    // folder: as strZiel names it, for a symbolic link the target's).
    explicit CErsatzDatei(const CString& strZiel);
    // Removes the new file unless it has replaced the old one.
    ~CErsatzDatei() override;

    // Flushes the new file to the disk, renames it over the old one and flushes the folder.
    // Throws CFileException; until the rename the old file is untouched.
    void Ersetze();

private:
    // Closes the new file and removes it unless it has replaced the old one.
    void Entferne() noexcept;

    std::string m_strZiel;  // the path of the file replaced (links resolved)
    std::string m_strNeu;   // the path of the new file; empty once it has replaced the old one
};
