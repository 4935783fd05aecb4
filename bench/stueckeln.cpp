// Writes a file to standard output in small pieces, so that a program reading a pipe gets it a
// piece at a time; and the two ends of a measurement of the time to the first output byte.
//
//   stueckeln [--seed N] [--stats] FILE
//   stueckeln --first-pause MS FILE
//   stueckeln --first-byte
//
// Pieces: each piece is written only once the pipe is empty again (the reader has taken all before
// it; the writer yields and sleeps a few microseconds while it waits), so each read of the reader
// returns exactly one piece. Piece lengths come from a seeded stream: mostly a few bytes, now and
// then a longer stretch. Every other piece ends on purpose at the next place where a cut is
// delicate: inside "-->", "<!--", "</" or CR LF, inside a UTF-8 character, and in a UTF-16LE file
// (one that starts with FF FE) inside its byte-order mark, between the two units of a surrogate
// pair and inside those markers as UTF-16LE. The same seed gives the same pieces. --stats prints
// to standard error how many pieces were written and how many end at a delicate place. Without a
// pipe on standard output it cannot see what the reader took and sleeps 100 us after each piece.
//
// --first-pause MS: writes the first record (everything up to the line end behind the first
// "</book>"), prints to standard error the time it began to write it and its length ("first piece
// at T N", seconds of the monotonic clock), waits MS milliseconds and writes the rest.
// --first-byte: reads standard input to its end and prints the time its first byte came (the same
// clock; "none" when nothing came), the number of bytes that came within a second after it, and
// the number of all bytes.
//
// Exit status: 0; 1 when the reader went away (EPIPE); 2 on a bad argument or an unreadable file.

#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "zufall.h"

namespace {

void Schlafe(long nNanos) {
    timespec t{nNanos / 1000000000L, nNanos % 1000000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// True when a cut before byte p of doc is delicate (see above).
bool Heikel(std::string_view doc, size_t p, bool bUtf16) {
    static const std::string_view kSchmal[] = {"-->", "<!--", "</", "\r\n"};
    static const std::string_view kBreit[] = {{"-\0-\0>\0", 6}, {"<\0!\0-\0-\0", 8}, {"<\0/\0", 4}, {"\r\0\n\0", 4}};
    const std::string_view* pMarken = bUtf16 ? kBreit : kSchmal;
    for (int i = 0; i < 4; ++i) {
        const std::string_view m = pMarken[i];
        for (size_t k = 1; k < m.size(); ++k)
            if (p >= k && doc.substr(p - k, m.size()) == m) return true;
    }
    const auto b = [&](size_t i) { return static_cast<unsigned char>(doc[i]); };
    if (!bUtf16) return (b(p) & 0xC0) == 0x80;  // a continuation byte
    if (p == 1) return true;                     // inside the mark
    if (p % 2 == 1) return false;                // inside a unit: only where it matters above
    // Between the units of a pair.
    return p + 1 < doc.size() && (b(p + 1) & 0xFC) == 0xDC && (b(p - 1) & 0xFC) == 0xD8;
}

// Writes n bytes; false when the reader went away.
bool Schreibe(const char* p, size_t n) {
    while (n > 0) {
        const ssize_t k = write(1, p, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

// Waits until the reader has taken everything from the pipe on standard output.
void WarteAufLeser() {
    for (int nRunde = 0;; ++nRunde) {
        int nImRohr = 0;
        if (ioctl(1, FIONREAD, &nImRohr) != 0) {
            Schlafe(100000);
            return;
        }
        if (nImRohr == 0) return;
        if (nRunde < 20)
            sched_yield();
        else
            Schlafe(20000);
    }
}

double Jetzt() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// --first-byte: the time of the first byte on standard input, the count of those that came
// within a second after it, and the count of all.
int ErstesByte() {
    static char puffer[1 << 16];
    double t = -1;
    uint64_t n = 0, nErste = 0;
    for (;;) {
        const ssize_t k = read(0, puffer, sizeof puffer);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break;
        const double jetzt = Jetzt();
        if (n == 0) t = jetzt;
        n += static_cast<uint64_t>(k);
        if (jetzt <= t + 1) nErste = n;
    }
    if (t < 0)
        std::printf("none 0 %llu\n", static_cast<unsigned long long>(n));
    else
        std::printf("%.6f %llu %llu\n", t, static_cast<unsigned long long>(nErste), static_cast<unsigned long long>(n));
    return 0;
}

[[noreturn]] void Aufruf() {
    std::fprintf(stderr,
                 "usage: stueckeln [--seed N] [--stats] FILE\n"
                 "       stueckeln --first-pause MS FILE\n"
                 "       stueckeln --first-byte\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t nSaat = 1;
    long nPauseMs = -1;
    bool bStatistik = false;
    const char* pPfad = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seed" && i + 1 < argc) nSaat = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--first-pause" && i + 1 < argc) nPauseMs = std::strtol(argv[++i], nullptr, 10);
        else if (a == "--stats") bStatistik = true;
        else if (a == "--first-byte" && argc == 2) return ErstesByte();
        else if (!pPfad && !a.empty() && a[0] != '-') pPfad = argv[i];
        else Aufruf();
    }
    if (!pPfad) Aufruf();
    std::ifstream ein(pPfad, std::ios::binary);
    if (!ein) {
        std::perror(pPfad);
        return 2;
    }
    const std::string inhalt((std::istreambuf_iterator<char>(ein)), std::istreambuf_iterator<char>());
    const std::string_view doc(inhalt);
    signal(SIGPIPE, SIG_IGN);

    if (nPauseMs >= 0) {
        size_t n = doc.find("</book>");
        if (n != std::string_view::npos) n = doc.find('\n', n);
        n = n == std::string_view::npos ? doc.size() : n + 1;
        const double t = Jetzt();
        if (!Schreibe(doc.data(), n)) return 1;
        std::fprintf(stderr, "first piece at %.6f %zu\n", t, n);
        Schlafe(nPauseMs * 1000000L);
        return Schreibe(doc.data() + n, doc.size() - n) ? 0 : 1;
    }

    static const uint32_t kLaengen[] = {1, 1, 1, 2, 3, 5, 8, 13, 40, 300, 4096};
    const bool bUtf16 = doc.size() >= 2 && doc.substr(0, 2) == "\xFF\xFE";
    Zufall z{nSaat * 0x2545F4914F6CDD1Dull + 7};
    uint64_t nStuecke = 0, nHeikel = 0;
    for (size_t p = 0; p < doc.size();) {
        const size_t nMax = std::min<size_t>(doc.size() - p, 1 + z.unter(kLaengen[z.unter(11)]));
        size_t n = nMax;
        if (z.unter(2) == 0) {
            for (size_t k = 1; k < nMax; ++k) {
                if (Heikel(doc, p + k, bUtf16)) {
                    n = k;
                    break;
                }
            }
        }
        if (p + n < doc.size() && Heikel(doc, p + n, bUtf16)) ++nHeikel;
        if (!Schreibe(doc.data() + p, n)) return 1;
        p += n;
        ++nStuecke;
        WarteAufLeser();
    }
    if (bStatistik)
        std::fprintf(stderr, "stueckeln: %llu pieces, %llu end inside a delicate place\n",
                     static_cast<unsigned long long>(nStuecke), static_cast<unsigned long long>(nHeikel));
    return 0;
}
