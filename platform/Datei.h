// Stand-ins for the framework's file classes, over C runtime descriptors: CFile opens a named file
// for reading, CStdioFile attaches to a descriptor the program already has (0, 1, 2 or any).
// Every failure throws CFileException with a German message that names the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Ausnahmen.h"

class CString;

// What a reader or writer reports when it fails: the German message (naming the file) and errno
// (0 when the failure has none, as for a file that shrank while it was read).
struct DateiFehler {
    std::string strMeldung;
    int nErrno = 0;
};

// Largest request handed to a single read or write call.
inline constexpr std::size_t kMaxEinzelZugriff = 1048576;

// German text for an errno value; a generic text with the number for the rare ones.
std::string FehlerText(int nErrno);

// What the status of an open file tells.
struct CFileStatus {
    std::int64_t m_size = 0;   // length in bytes (0 for pipes and terminals)
    bool m_bRegulaer = false;  // a regular file, whose length can be trusted
    bool m_bVerzeichnis = false;
};

// An open descriptor with a name for messages. Owned descriptors are closed by the destructor.
class CFile {
public:
    // Not open.
    CFile() noexcept = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Opens the named file (its bytes are the path) for reading; other processes may read and
    // write it meanwhile. A directory is refused (EISDIR). Throws CFileException.
    void Open(const CString& strName);
    bool IsOpen() const noexcept { return m_fd >= 0; }
    int Deskriptor() const noexcept { return m_fd; }
    // How messages name the file: Datei "name", or Standardeingabe and its kin.
    const std::string& Bezeichnung() const noexcept { return m_strBezeichnung; }

    // Reads up to n bytes (at most kMaxEinzelZugriff per call); returns the count, 0 at the end.
    std::size_t Read(void* p, std::size_t n);
    // Maps n bytes of the file from offset nVersatz (a multiple of the page size) into memory,
    // private and writable (writes go to copies); null when the file cannot be mapped.
    // A file that shrinks while mapped is no fault here: see SchuetzeAbbilder.
    char* Abbilden(std::int64_t nVersatz, std::size_t n) const noexcept;
    // Moves the offset to nPos (a regular file).
    void Setze(std::int64_t nPos) const noexcept;
    // Writes all n bytes, in calls of at most kMaxEinzelZugriff, through short writes and EINTR.
    void Write(const void* p, std::size_t n);
    CFileStatus GetStatus() const;
    // True when the descriptor is a terminal (a console), where input is typed.
    bool IstTerminal() const noexcept;
    // The current read or write offset, or -1 when the descriptor has none (a pipe).
    std::int64_t GetPosition() const noexcept;
    // Closes the descriptor (owned or not); a failing close throws, the descriptor is gone anyway.
    void Close();
    // Throws the failure of a file that ended before the length its status gave (it shrank
    // while it was read).
    [[noreturn]] void ScheitereKuerzer() const;

protected:
    void Verbinde(int fd, bool bEigen, std::string strBezeichnung) noexcept;
    [[noreturn]] void Scheitern(const char* pVorgang, int nErrno) const;

private:
    int m_fd = -1;
    bool m_bEigen = false;
    std::string m_strBezeichnung;
};

// 0 when the path names a file that exists (a symbolic link followed), else the errno of the
// failed look-up.
int PfadFehler(const std::string& strPfad) noexcept;

// What the offsets of Abbilden are multiples of: the page size (on Windows the allocation
// granularity, 64 KiB).
std::size_t SeitenGroesse() noexcept;

// Makes the reading of a mapped file that shrinks survive: a read beyond its new end gets zero
// bytes instead of the signal that would end the process (SIGBUS). Whoever maps a file checks its
// size before the bytes read from it leave the program, and reports the shrinking. Called once at
// start-up; it sets the handler of SIGBUS, and nothing else.
void SchuetzeAbbilder() noexcept;

// A descriptor the program did not open: standard input, output, error, or any other given.
// The destructor leaves it open. A negative descriptor means "no stream attached".
class CStdioFile : public CFile {
public:
    explicit CStdioFile(int fd) noexcept;
};
