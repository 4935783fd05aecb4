// Large anonymous buffers, taken from the system directly rather than from the heap, and the
// release of every mapping (anonymous ones and those of files, CFile::Abbilden).
#pragma once

#include <cstddef>

// A new buffer of nBytes (a multiple of a huge page), aligned to a huge page where the system
// can back it with huge pages; null when there is no memory.
char* NeuesAbbild(std::size_t nBytes) noexcept;
// Grows or shrinks a buffer of NeuesAbbild from nAlt to nNeu bytes, keeping its content; it may
// move. Null when there is no memory (the old buffer then stays as it was).
char* AenderAbbild(char* p, std::size_t nAlt, std::size_t nNeu) noexcept;
// Releases nBytes at p: a buffer of NeuesAbbild or AenderAbbild, or a mapped file.
void GibAbbildFrei(char* p, std::size_t nBytes) noexcept;
// Gives the memory of the whole pages of a mapped file in nBytes at p back to the system, which
// is done with them (only a hint: they stay readable).
void GibSeitenZurueck(char* p, std::size_t nBytes) noexcept;
