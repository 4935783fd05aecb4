// Small helpers several test files share: repeated text, the process's data size, a child
// process run under a memory limit.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// True in a build with AddressSanitizer, where code runs several times slower: the slowest tests
// use smaller inputs there (deep nesting 100,000 levels instead of a million), and the full sizes
// run in the optimised build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitiert = true;
#else
inline constexpr bool kSanitiert = false;
#endif

// s written n times.
std::string Mal(std::string_view s, std::size_t n);
std::u16string Mal16(std::u16string_view s, std::size_t n);

// Bytes as a readable, quoted string for failure messages: CR as \r, LF as \n, a backslash,
// the other controls and every byte from 0x7F on as \xNN.
std::string Zeige(std::string_view s);

// A file's bytes, read to its end (also where its status gives no length); empty when it cannot
// be opened.
std::string LiesAlles(const std::string& strPfad);

// What /proc/self/statm gives, in bytes: the address space (nArt RLIMIT_AS) or the data, the
// private writable memory (RLIMIT_DATA); -1 when it cannot be read.
std::int64_t Belegt(int nArt);

// Runs lauf in a child process whose limit nArt (RLIMIT_AS or RLIMIT_DATA) lets it take nMehr
// bytes beyond what it holds now, and returns what lauf returned, or a note on how the child
// ended. fdSchliessen, when not -1, is closed in the child first (the far end of a pipe the
// parent writes to).
std::string ImKind(int nArt, std::int64_t nMehr, const std::function<std::string()>& lauf, int fdSchliessen = -1);
