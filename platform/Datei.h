// Stand-ins for the framework's file classes, over POSIX descriptors: CFile opens a named file
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
// (0 when the failure has none, as for a text beyond the length limit).
struct DateiFehler {
    std::string strMeldung;
    int nErrno = 0;
};

// Largest request handed to a single read or write call.
inline constexpr std::size_t kMaxEinzelZugriff = 1048576;

// German text for an errno value; a generic text with the number for the rare ones.
std::string FehlerText(int nErrno);

// Narrow bytes (UTF-8, byte-transparent) of a text: the form file names and messages take.
std::string ZuSchmal(std::u16string_view text);

// A growable byte buffer that is not zero-filled, for whole-file reads.
class CBytePuffer {
public:
    unsigned char* Daten() noexcept { return m_pDaten.get(); }
    const unsigned char* Daten() const noexcept { return m_pDaten.get(); }
    std::size_t Groesse() const noexcept { return m_nGroesse; }
    // Makes room for nKapazitaet bytes, keeping the content; throws std::bad_alloc.
    void Reserviere(std::size_t nKapazitaet);
    // Appends one byte.
    void Anhaengen(unsigned char b);

private:
    friend class CFile;
    std::unique_ptr<unsigned char[]> m_pDaten;
    std::size_t m_nGroesse = 0;
    std::size_t m_nKapazitaet = 0;
};

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

    // Opens the named file for reading; other processes may read and write it meanwhile.
    // A directory is refused (EISDIR). Throws CFileException.
    void Open(const CString& strName);
    bool IsOpen() const noexcept { return m_fd >= 0; }
    int Deskriptor() const noexcept { return m_fd; }
    // How messages name the file: Datei "name", or Standardeingabe and its kin.
    const std::string& Bezeichnung() const noexcept { return m_strBezeichnung; }

    // Reads up to n bytes (at most kMaxEinzelZugriff per call); returns the count, 0 at the end.
    std::size_t Read(void* p, std::size_t n);
    // Reads exactly n bytes into puffer (replacing its content); a file that ends early throws.
    void LiesGenau(CBytePuffer& puffer, std::size_t n);
    // Reads everything up to the end into puffer (replacing its content); nHinweis is the
    // expected size, used to size the buffer once when it is right.
    void LiesBisEnde(CBytePuffer& puffer, std::size_t nHinweis);
    // Writes all n bytes, in calls of at most kMaxEinzelZugriff, through short writes and EINTR.
    void Write(const void* p, std::size_t n);
    CFileStatus GetStatus() const;
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

// A descriptor the program did not open: standard input, output, error, or any other given.
// The destructor leaves it open. A negative descriptor means "no stream attached".
class CStdioFile : public CFile {
public:
    explicit CStdioFile(int fd) noexcept;
};
