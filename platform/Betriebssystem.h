// What each system provides to the shared code of platform/ (platform/posix/Betriebssystem.cpp or
// platform/windows/Betriebssystem.cpp, one of which is built): small calls that return a count
// or an error number. None of them retries, reports or throws (but std::bad_alloc where a path is
// converted); the loops, the retries after EINTR and EAGAIN and the German messages are
// platform/'s, once for every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct CFileStatus;

// --- Descriptors (for CFile, platform/Datei.cpp) ---

// Reads at most n bytes: the count, 0 at the end, or -errno (EINTR and EAGAIN included).
std::int64_t LiesHoechstens(int fd, void* p, std::size_t n) noexcept;
// Writes at most n bytes (n > 0): the count, or -errno (EINTR and EAGAIN included).
std::int64_t SchreibeHoechstens(int fd, const void* p, std::size_t n) noexcept;
// After EAGAIN: waits until fd can be read (or written, bSchreiben); false where the system does
// not wait (Windows), and EAGAIN is a failure.
bool WarteBereit(int fd, bool bSchreiben) noexcept;
// Fills status with what fd is: 0, or errno.
int StatusVon(int fd, CFileStatus& status) noexcept;
// The current offset of fd, or -1 when it has none (a pipe, a console).
std::int64_t PositionVon(int fd) noexcept;
// Moves the offset of fd (a regular file) to nPos.
void SetzePosition(int fd, std::int64_t nPos) noexcept;
// Maps n bytes (n > 0) of fd from nVersatz, private and writable (writes go to copies); null
// when it cannot be mapped.
char* BildeAb(int fd, std::int64_t nVersatz, std::size_t n) noexcept;
// Whether fd is a terminal (a console), where input is typed.
bool IstKonsole(int fd) noexcept;
// Opens the file at strPfad for reading (others may read, write and rename it meanwhile): the
// descriptor, or -errno.
int OeffneZumLesen(const std::string& strPfad) noexcept;
// Closes a descriptor: 0, or the errno of a failed close (the descriptor is gone either way).
int SchliesseDeskriptor(int fd) noexcept;

// --- Replacing a file (for CErsatzDatei, platform/ErsatzDatei.cpp) ---

// The file a CErsatzDatei is to replace, as the system finds it.
struct ErsatzZiel {
    std::string strPfad;     // the file itself, symbolic links resolved (only for a regular file)
    bool bRegulaer = false;  // only a regular file is replaced
    // What the new file takes over: on POSIX mode, owner and group; on Windows the attributes (nModus).
    std::uint32_t nModus = 0, nBesitzer = 0, nGruppe = 0;
};

// Finds the file strName names (a symbolic link followed): 0, or errno. For a regular file also
// EACCES on Windows when it is read-only (meant to stay as it is), ENAMETOOLONG on POSIX when the
// path of a new file beside it would not fit the signal handler's buffer.
int FindeZiel(const std::string& strName, ErsatzZiel& ziel);
// Where the name of the file begins in a path: after its last separator; 0 for a bare name.
std::size_t NamensAnfang(const std::string& strPfad) noexcept;
// The folder of a path as messages name it: without its last separator (but for a root), "."
// for a bare name.
std::string OrdnerName(std::string strPfad);
// Whether strPfad names a symbolic link itself (on Windows any reparse point).
bool IstVerknuepfung(const std::string& strPfad);
// Creates a new file named strAnfang and six more characters (strNeu), exclusively, for writing
// and for nobody but its owner, and hands it to the handler that removes it when the process is
// ended from outside, both at once: the descriptor, or -errno.
int LegeNeueDateiAn(const std::string& strAnfang, std::string& strNeu);
// Gives the new file fd what it takes over from the file of ziel: 0, or errno.
int UebernimmRechte(int fd, const ErsatzZiel& ziel) noexcept;
// Writes what fd holds through to the disk: 0, or errno.
int SichereDatei(int fd) noexcept;
// Closes the new file fd (the handler forgets its descriptor): 0, or errno.
int SchliesseNeueDatei(int fd) noexcept;
// Renames the new file strNeu over strZiel and takes it from the handler, both at once (strNeu is
// then emptied), and writes the rename through to the disk: 0, or errno.
int ErsetzeDurch(std::string& strNeu, const std::string& strZiel);
// Closes fd (unless negative), removes the new file strNeu (unless empty) and takes it from the
// handler, all at once.
void VerwirfNeueDatei(int fd, const std::string& strNeu) noexcept;
