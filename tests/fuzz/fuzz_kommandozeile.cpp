// Fuzz target: the whole command line, run in-process through the same function that main calls.
// The fuzz bytes hold a steering byte (the count of arguments, and in its top bit whether the
// document is a UTF-16 file), up to four arguments (separated by 0xFF) and then the document.
// Arguments that would name an input file are dropped: the fuzzer must not read the machine's
// files. The document comes on standard input, or, as a UTF-16 file (the mark FF FE and the
// bytes), from an in-memory file the target names itself. Checks: the status is one the program
// documents; a usage error writes nothing to standard output; with no argument the input bytes
// come back unchanged, and a UTF-16 file comes back as its units written as UTF-8 (with an odd
// last byte behind them as it is).
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <string_view>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    FuzzLeser leser(pDaten, nGroesse);
    const std::uint8_t nSteuer = leser.Byte();
    const int nArgumente = (nSteuer & 0x7F) % 5;
    const bool bUtf16 = (nSteuer & 0x80) != 0;
    std::vector<CString> argumente;
    for (int i = 0; i < nArgumente; ++i) {
        const std::string_view arg = leser.BisTrenner();
        // The file is the target's own; editing in place would replace it (-i has end-to-end tests).
        if (arg.substr(0, 2) == "-f" || arg == "-i" || arg == "--in-place") continue;
        argumente.push_back(CString(arg));
    }
    const bool bFilter = !argumente.empty();
    const std::string_view eingabe = leser.RestBytes();

    TreiberKanaele kanaele;
    int fdDatei = -1;
    if (bUtf16) {
        fdDatei = SpeicherDatei("utf16", "\xFF\xFE" + std::string(eingabe));
        argumente.insert(argumente.begin(), CString("-f/proc/self/fd/" + std::to_string(fdDatei)));
        kanaele.fdEingabe = SpeicherDatei("eingabe", {});
    } else {
        kanaele.fdEingabe = SpeicherDatei("eingabe", eingabe);
    }
    kanaele.fdAusgabe = SpeicherDatei("ausgabe", {});
    kanaele.fdFehler = SpeicherDatei("fehler", {});
    const int nStatus = FuehreBrixfilterAus(argumente, kanaele);
    const std::string ausgabe = LiesAlles(kanaele.fdAusgabe);
    const std::string fehler = LiesAlles(kanaele.fdFehler);
    close(kanaele.fdEingabe);
    close(kanaele.fdAusgabe);
    close(kanaele.fdFehler);
    if (fdDatei >= 0) close(fdDatei);

    FUZZ_PRUEFE(nStatus == kStatusErfolg || nStatus == kStatusAufruf);
    if (nStatus == kStatusAufruf) FUZZ_PRUEFE(ausgabe.empty() && !fehler.empty());
    if (!bFilter) {
        FUZZ_PRUEFE(nStatus == kStatusErfolg && fehler.empty());
        if (bUtf16) {
            const FuzzDokument dok = FuzzText(eingabe, true);
            FUZZ_PRUEFE(ausgabe == SchmalAus(dok.einheiten) + dok.strNachsatz);
        } else {
            FUZZ_PRUEFE(ausgabe == eingabe);
        }
    }
    return 0;
}
