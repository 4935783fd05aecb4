// What the Windows files share: paths in UTF-8 turned into the UTF-16 the system takes, and the
// system's error codes turned into errno values, so that messages read as on other systems.
#pragma once

#include <windows.h>

#include <string>

// The UTF-16 form of a UTF-8 path (invalid bytes become U+FFFD). Throws std::bad_alloc.
std::wstring Breit(const std::string& strUtf8);

// The UTF-8 form of a UTF-16 path. Throws std::bad_alloc.
std::string Schmal(const std::wstring& strBreit);

// The errno value that stands for a Windows error code (GetLastError); EIO for the rare ones.
int ErrnoAus(unsigned long nFehler) noexcept;

// Opens a path for nothing but its attributes, a folder or a device too (others may do anything
// with it meanwhile): the handle, or INVALID_HANDLE_VALUE with the error in GetLastError.
HANDLE OeffneZumPruefen(const std::wstring& strPfad) noexcept;
// Whether an open handle is a regular file: on a disk and no folder (NUL and consoles are not).
bool IstRegulaer(HANDLE h) noexcept;
