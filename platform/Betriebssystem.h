// What each system provides to the shared code of platform/ (platform/posix or platform/windows,
// one of which is built): small calls that return a count or an error number. None of them
// retries, reports or throws (but std::bad_alloc where a path is converted); the loops, the
// retries after EINTR and EAGAIN and the German messages are platform/'s, once for every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct CFileStatus;

// --- Descriptors (platform/<system>/Datei.cpp) ---

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
