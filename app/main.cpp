// Entry point: turns argv into the program's strings (the bytes as given) and hands over to the
// driver.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "app/Treiber.h"
#include "platform/Datei.h"
#include "platform/ErsatzDatei.h"
#include "platform/Start.h"

namespace {

// The end of a run that std::terminate would abort: a throw that finds no memory for its
// exception object ends here, and so would a throw that nothing catches. It removes the new file
// of -i, reports with no allocation of its own and ends with a status instead of SIGABRT.
[[noreturn]] void Notausgang() noexcept
{
    const char* pMeldung = "brixfilter: Nicht genug Speicher\n";
    if (const std::exception_ptr pAusnahme = std::current_exception()) {
        try {
            std::rethrow_exception(pAusnahme);
        } catch (const std::bad_alloc&) {
        } catch (...) {
            pMeldung = "brixfilter: Interner Fehler: eine Ausnahme wurde nicht behandelt\n";
        }
    }
    EntferneNeueDateiSofort();  // -i: the original stays, and nothing is left beside it
    std::fputs(pMeldung, stderr);
    std::_Exit(kStatusEAFehler);
}

}  // namespace

int main(int argc, char** argv)
{
    RichteKanaeleEin();
    SchuetzeAbbilder();
    std::set_terminate(Notausgang);
    // The arguments are copied without a throwing allocation: nothing could report its failure.
    const std::size_t nArgumente = argc > 1 ? static_cast<std::size_t>(argc - 1) : 0;
    const std::unique_ptr<CString[]> pArgumente(new (std::nothrow) CString[nArgumente]);
    bool bKopiert = pArgumente != nullptr;
    for (std::size_t i = 0; bKopiert && i < nArgumente; ++i) bKopiert = pArgumente[i].Setze(argv[i + 1]);
    if (!bKopiert) {
        std::fputs(kStartFehlerText, stderr);
        std::fputc('\n', stderr);
        return kStatusStartFehler;
    }
    TreiberKanaele kanaele;
    kanaele.bAusgabeSchliessen = true;
    return FuehreBrixfilterAus(std::span<const CString>(pArgumente.get(), nArgumente), kanaele);
}
