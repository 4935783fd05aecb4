// The memory left, as Linux tells it: /proc/meminfo, the resource limits against the use that
// /proc/self/statm gives, and the cgroup of /proc/self/cgroup (v2, under /sys/fs/cgroup). A
// system without these files (POSIX systems other than Linux) reads none of them: the memory
// left is unknown (-1), and no growth is refused.
#include "platform/Speicher.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// The value of a "Name: n kB" line of /proc/meminfo in bytes, or -1.
std::int64_t MeminfoWert(const std::string& strText, const char* pName)
{
    const std::size_t i = strText.find(pName);
    if (i == std::string::npos) return -1;
    long long n = -1;
    if (std::sscanf(strText.c_str() + i + std::strlen(pName), " %lld", &n) != 1) return -1;
    return n * 1024;
}

std::string LiesKlein(const std::string& strPfad)
{
    std::ifstream ein(strPfad);
    std::string s, zeile;
    while (std::getline(ein, zeile)) s += zeile + '\n';
    return s;
}

// One number from a file (a cgroup's memory.max or memory.current); -1 for "max" or none.
std::int64_t Zahl(const std::string& strPfad)
{
    const std::string s = LiesKlein(strPfad);
    long long n = -1;
    if (s.empty() || s.compare(0, 3, "max") == 0 || std::sscanf(s.c_str(), "%lld", &n) != 1) return -1;
    return n;
}

// The least of a and b, where -1 means no bound.
std::int64_t Kleiner(std::int64_t a, std::int64_t b) { return a < 0 ? b : b < 0 ? a : (a < b ? a : b); }

// What a soft limit leaves beside nBelegt, or -1 when it sets none.
std::int64_t Rest(int nArt, std::int64_t nBelegt)
{
    rlimit lim{};
    if (getrlimit(nArt, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return -1;
    const auto nGrenze = static_cast<std::int64_t>(lim.rlim_cur);
    return nGrenze > nBelegt ? nGrenze - nBelegt : 0;
}

}  // namespace

std::int64_t FreierSpeicher() noexcept
{
    try {
        std::int64_t nFrei = -1;
        const std::string strMeminfo = LiesKlein("/proc/meminfo");
        const std::int64_t nVerfuegbar = MeminfoWert(strMeminfo, "MemAvailable:");
        if (nVerfuegbar >= 0) nFrei = nVerfuegbar + std::max<std::int64_t>(0, MeminfoWert(strMeminfo, "SwapFree:"));

        // Address space and data: /proc/self/statm gives pages (size, resident, shared, text,
        // lib, data, dirty).
        long long nGroesse = 0, nRes = 0, nGeteilt = 0, nText = 0, nLib = 0, nDaten = 0;
        const std::string strStatm = LiesKlein("/proc/self/statm");
        if (std::sscanf(strStatm.c_str(), "%lld %lld %lld %lld %lld %lld", &nGroesse, &nRes, &nGeteilt, &nText, &nLib,
                        &nDaten) == 6) {
            const std::int64_t nSeite = sysconf(_SC_PAGESIZE);
            nFrei = Kleiner(nFrei, Rest(RLIMIT_AS, nGroesse * nSeite));
            nFrei = Kleiner(nFrei, Rest(RLIMIT_DATA, nDaten * nSeite));
        }

        // The cgroup (v2: one line "0::/path").
        const std::string strGruppe = LiesKlein("/proc/self/cgroup");
        const std::size_t i = strGruppe.find("0::");
        if (i != std::string::npos) {
            std::string strPfad = strGruppe.substr(i + 3);
            strPfad = strPfad.substr(0, strPfad.find('\n'));
            const std::string strOrdner = "/sys/fs/cgroup" + (strPfad == "/" ? std::string() : strPfad);
            const std::int64_t nMax = Zahl(strOrdner + "/memory.max");
            const std::int64_t nJetzt = Zahl(strOrdner + "/memory.current");
            if (nMax >= 0 && nJetzt >= 0) nFrei = Kleiner(nFrei, nMax > nJetzt ? nMax - nJetzt : 0);
        }
        return nFrei;
    } catch (...) {
        return -1;
    }
}
