// Entry point: turns argv into the program's strings (the bytes as given) and hands over to the
// driver.
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

#include "app/Treiber.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"
#include "platform/Start.h"

int main(int argc, char** argv)
{
    RichteKanaeleEin();
    SchuetzeAbbilder();
    std::vector<CString> argumente;
    try {
        argumente.reserve(argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
        for (int i = 1; i < argc; ++i) argumente.emplace_back(std::string_view(argv[i]));
    } catch (const std::bad_alloc&) {
        std::cerr << kStartFehlerText << std::endl;
        return kStatusStartFehler;
    } catch (const CException&) {
        std::cerr << kStartFehlerText << std::endl;
        return kStatusStartFehler;
    }
    TreiberKanaele kanaele;
    kanaele.bAusgabeSchliessen = true;
    return FuehreBrixfilterAus(argumente, kanaele);
}
