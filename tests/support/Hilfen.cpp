#include "support/Hilfen.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

std::string Mal(std::string_view s, std::size_t n)
{
    std::string r;
    r.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) r += s;
    return r;
}

std::u16string Mal16(std::u16string_view s, std::size_t n)
{
    std::u16string r;
    r.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) r += s;
    return r;
}

std::string Zeige(std::string_view s)
{
    std::string r = "\"";
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r') {
            r += "\\r";
        } else if (c == '\n') {
            r += "\\n";
        } else if (b < 0x20 || b >= 0x7F || c == '\\') {
            char a[8];
            std::snprintf(a, sizeof a, "\\x%02X", b);
            r += a;
        } else {
            r += c;
        }
    }
    return r + "\"";
}

std::string LiesAlles(const std::string& strPfad)
{
    std::ifstream datei(strPfad, std::ios::binary);
    std::ostringstream s;
    s << datei.rdbuf();
    return s.str();
}

std::int64_t Belegt(int nArt)
{
    long long nFelder[6] = {};
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    const int n = std::fscanf(f, "%lld %lld %lld %lld %lld %lld", &nFelder[0], &nFelder[1], &nFelder[2],
                              &nFelder[3], &nFelder[4], &nFelder[5]);
    std::fclose(f);
    if (n != 6) return -1;
    return (nArt == RLIMIT_AS ? nFelder[0] : nFelder[5]) * sysconf(_SC_PAGESIZE);
}

std::string ImKind(int nArt, std::int64_t nMehr, const std::function<std::string()>& lauf, int fdSchliessen)
{
    int fd[2];
    if (pipe(fd) != 0) return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        if (fdSchliessen >= 0) close(fdSchliessen);
        const auto n = static_cast<rlim_t>(Belegt(nArt) + nMehr);
        const rlimit grenze{n, n};
        const std::string s = setrlimit(nArt, &grenze) == 0 ? lauf() : "setrlimit failed";
        if (write(fd[1], s.data(), s.size()) < 0) _exit(3);
        _exit(0);
    }
    close(fd[1]);
    std::string ergebnis;
    char puffer[4096];
    for (ssize_t n; (n = read(fd[0], puffer, sizeof puffer)) > 0;) ergebnis.append(puffer, static_cast<std::size_t>(n));
    close(fd[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0) ergebnis += " [child ended with " + std::to_string(nStatus) + "]";
    return ergebnis;
}
