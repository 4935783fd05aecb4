// Replays fuzz inputs without libFuzzer: every file named on the command line, or found in a
// directory named there (recursively), is passed once to LLVMFuzzerTestOneInput. Builds with any
// compiler, so the seed corpus runs as an ordinary test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse);

namespace {
void SpieleAb(const std::filesystem::path& datei, int& nAnzahl)
{
    std::ifstream ein(datei, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(ein)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++nAnzahl;
}
}  // namespace

int main(int argc, char** argv)
{
    int nAnzahl = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path pfad(argv[i]);
        if (std::filesystem::is_directory(pfad)) {
            for (const auto& eintrag : std::filesystem::recursive_directory_iterator(pfad))
                if (eintrag.is_regular_file()) SpieleAb(eintrag.path(), nAnzahl);
        } else {
            SpieleAb(pfad, nAnzahl);
        }
    }
    std::printf("%d Eingaben abgespielt\n", nAnzahl);
    return nAnzahl > 0 ? 0 : 1;
}
