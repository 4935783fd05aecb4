// Entry point: turns argv into the program's strings (the bytes as given) and hands over to the
// driver.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

#include "app/Treiber.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"

namespace {

// A standard descriptor that the caller closed gets /dev/null in the direction that makes its
// use fail (reading standard input, writing standard output fail with EBADF), so that it is
// reported, and so that no file opened later takes its number and receives the output.
void BelegeGeschlosseneKanaele() noexcept
{
    const int nRichtung[3] = {O_WRONLY, O_RDONLY, O_WRONLY};
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int fdNeu = open("/dev/null", nRichtung[fd]);
        if (fdNeu >= 0 && fdNeu != fd) {
            dup2(fdNeu, fd);
            close(fdNeu);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    BelegeGeschlosseneKanaele();
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
