// Fuzz target: the whole command line, run in-process through the same function that main calls.
// The fuzz bytes hold up to four arguments (separated by 0xFF) and then the standard input.
// Arguments that would name an input file are dropped: the fuzzer must not read the machine's
// files. Checks: the status is one the program documents; a usage error writes nothing to
// standard output; with no argument the input bytes come back unchanged.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
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
    const int nArgumente = leser.Byte() % 5;
    std::vector<CString> argumente;
    for (int i = 0; i < nArgumente; ++i) {
        const std::string_view arg = leser.BisTrenner();
        if (arg.substr(0, 2) == "-f") continue;
        argumente.push_back(CString::AusSchmal(arg));
    }
    const std::string_view eingabe = leser.RestBytes();

    TreiberKanaele kanaele;
    kanaele.fdEingabe = SpeicherDatei("eingabe", eingabe);
    kanaele.fdAusgabe = SpeicherDatei("ausgabe", {});
    kanaele.fdFehler = SpeicherDatei("fehler", {});
    const int nStatus = FuehreBrixfilterAus(argumente, kanaele);
    const std::string ausgabe = LiesAlles(kanaele.fdAusgabe);
    const std::string fehler = LiesAlles(kanaele.fdFehler);
    close(kanaele.fdEingabe);
    close(kanaele.fdAusgabe);
    close(kanaele.fdFehler);

    FUZZ_PRUEFE(nStatus == kStatusErfolg || nStatus == kStatusAufruf);
    if (nStatus == kStatusAufruf) FUZZ_PRUEFE(ausgabe.empty() && !fehler.empty());
    if (argumente.empty()) FUZZ_PRUEFE(nStatus == kStatusErfolg && ausgabe == eingabe && fehler.empty());
    return 0;
}
