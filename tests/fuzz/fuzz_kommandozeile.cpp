// Fuzz target: the whole command line, run in-process through the same function that main calls.
// The fuzz bytes hold a steering byte (the count of arguments, and in its top bit whether the
// document is a UTF-16 file), up to four arguments (separated by 0xFF) and then the document.
// Arguments that would name an input file are dropped: the fuzzer must not read the machine's
// files. The document comes on standard input, or, as a UTF-16 file (the mark FF FE and the
// bytes), from an in-memory file the target names itself. Checks: the status is one the program
// documents; a usage error writes nothing to standard output; with no argument the input bytes
// come back unchanged, and a UTF-16 file comes back as its units written as UTF-8 (with an odd
// last byte behind them as it is).
//
// Steering bit 6: the piece mode. A further part (to the next 0xFF) gives the lengths of pieces,
// each byte one piece (a 0 adds nothing), taken in turn and over again (no such byte: one byte at
// a time; after 200 pieces the rest at once). The command line runs once more with the document
// coming through a pipe in those pieces, each written only once the one before has been read, so
// that every read takes one piece: narrow text on standard input, a UTF-16 file (its mark
// included, which may be split too) named with -f. It must give the same status, output and
// messages as the document read whole (a narrow one with the line feed that reading a stream
// adds at its end).
#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "FuzzHilfe.h"
#include "app/Treiber.h"

namespace {

// An anonymous in-memory file holding bytes, positioned at its start.
int SpeicherDatei(const char* pName, std::string_view bytes)
{
    const int fd = memfd_create(pName, 0);
    FUZZ_PRUEFE(fd >= 0);
    std::size_t n = 0;
    while (n < bytes.size()) {
        const ssize_t k = write(fd, bytes.data() + n, bytes.size() - n);
        FUZZ_PRUEFE(k > 0);
        n += static_cast<std::size_t>(k);
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string LiesAlles(int fd)
{
    std::string s;
    lseek(fd, 0, SEEK_SET);
    char puffer[65536];
    ssize_t k;
    while ((k = read(fd, puffer, sizeof puffer)) > 0) s.append(puffer, static_cast<std::size_t>(k));
    return s;
}

// Writes bytes into the pipe fd in pieces (see above), each once the one before has been read,
// and closes fd at the end; stops early when bStop is set (the run ended without reading all).
void SchreibeStueckweise(int fd, std::string_view bytes, std::string_view schnitte, const std::atomic<bool>& bStop)
{
    if (schnitte.find_first_not_of('\0') == std::string_view::npos) schnitte = "\1";
    for (std::size_t p = 0, i = 0; p < bytes.size() && !bStop; ++i) {
        std::size_t n =
            std::min<std::size_t>(bytes.size() - p, static_cast<unsigned char>(schnitte[i % schnitte.size()]));
        if (i >= 200) n = bytes.size() - p;
        // The pipe is empty: a piece of at most a few KiB fits.
        FUZZ_PRUEFE(write(fd, bytes.data() + p, n) == static_cast<ssize_t>(n));
        p += n;
        for (int nDa = 1; !bStop && ioctl(fd, FIONREAD, &nDa) == 0 && nDa > 0;) sched_yield();
    }
    close(fd);
}

struct Ergebnis {
    int nStatus;
    std::string ausgabe, fehler;
};

// Runs the command line in-process with fdEingabe as standard input; pfad (if not empty) names
// the document with -f, before the other arguments.
Ergebnis FuehreAus(std::vector<CString> argumente, int fdEingabe, const std::string& pfad)
{
    if (!pfad.empty()) argumente.insert(argumente.begin(), CString("-f" + pfad));
    TreiberKanaele kanaele;
    kanaele.fdEingabe = fdEingabe;
    kanaele.fdAusgabe = SpeicherDatei("ausgabe", {});
    kanaele.fdFehler = SpeicherDatei("fehler", {});
    Ergebnis erg{FuehreBrixfilterAus(argumente, kanaele), LiesAlles(kanaele.fdAusgabe), LiesAlles(kanaele.fdFehler)};
    close(kanaele.fdAusgabe);
    close(kanaele.fdFehler);
    return erg;
}

// The file path of a descriptor of this process.
std::string Pfad(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    FuzzLeser leser(pDaten, nGroesse);
    const std::uint8_t nSteuer = leser.Byte();
    const int nArgumente = (nSteuer & 0x3F) % 5;
    const bool bStuecke = (nSteuer & 0x40) != 0;
    const bool bUtf16 = (nSteuer & 0x80) != 0;
    std::vector<CString> argumente;
    for (int i = 0; i < nArgumente; ++i) {
        const std::string_view arg = leser.BisTrenner();
        // The file is the target's own; editing in place would replace it (-i has end-to-end tests).
        if (arg.substr(0, 2) == "-f" || arg == "-i" || arg == "--in-place") continue;
        argumente.push_back(CString(arg));
    }
    const bool bFilter = !argumente.empty();
    const std::string_view schnitte = bStuecke ? leser.BisTrenner() : std::string_view();
    const std::string_view eingabe = leser.RestBytes();
    // What comes in pieces: narrow text as it is, a UTF-16 file with its mark.
    const std::string strStrom = (bUtf16 ? "\xFF\xFE" : "") + std::string(eingabe);
    // Read whole: narrow text on standard input, with the line feed a stream gets in piece mode.
    std::string strGanz(eingabe);
    if (bStuecke && !bUtf16 && !eingabe.empty() && eingabe.back() != '\n') strGanz += '\n';

    const int fdDatei = bUtf16 ? SpeicherDatei("utf16", strStrom) : -1;
    const int fdEingabe = SpeicherDatei("eingabe", bUtf16 ? std::string() : strGanz);
    const auto [nStatus, ausgabe, fehler] = FuehreAus(argumente, fdEingabe, bUtf16 ? Pfad(fdDatei) : "");
    close(fdEingabe);
    if (fdDatei >= 0) close(fdDatei);

    FUZZ_PRUEFE(nStatus == kStatusErfolg || nStatus == kStatusAufruf);
    if (nStatus == kStatusAufruf) FUZZ_PRUEFE(ausgabe.empty() && !fehler.empty());
    if (!bFilter) {
        FUZZ_PRUEFE(nStatus == kStatusErfolg && fehler.empty());
        if (bUtf16) {
            const FuzzDokument dok = FuzzText(eingabe, true);
            FUZZ_PRUEFE(ausgabe == SchmalAus(dok.einheiten) + dok.strNachsatz);
        } else {
            FUZZ_PRUEFE(ausgabe == strGanz);
        }
    }

    if (bStuecke) {
        int rohr[2];
        FUZZ_PRUEFE(pipe2(rohr, O_CLOEXEC) == 0);
        std::atomic<bool> bStop{false};
        std::thread schreiber(SchreibeStueckweise, rohr[1], std::string_view(strStrom), schnitte, std::cref(bStop));
        const int fdLeer = SpeicherDatei("leer", {});
        const Ergebnis stuecke = FuehreAus(argumente, bUtf16 ? fdLeer : rohr[0], bUtf16 ? Pfad(rohr[0]) : "");
        bStop = true;
        schreiber.join();
        close(rohr[0]);
        close(fdLeer);
        FUZZ_PRUEFE(stuecke.nStatus == nStatus && stuecke.ausgabe == ausgabe && stuecke.fehler == fehler);
    }
    return 0;
}
