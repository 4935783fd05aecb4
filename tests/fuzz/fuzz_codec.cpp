// Fuzz target: the narrow codec. Decoding any bytes and encoding the units again gives the same
// bytes; encoding any units gives bytes that survive a further decode and encode unchanged.
#include <string>
#include <vector>

#include "FuzzHilfe.h"
#include "platform/SchmalCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pDaten, std::size_t nGroesse)
{
    // Bytes -> units -> bytes.
    const std::int64_t nEinheiten = SchmalZaehle(pDaten, nGroesse);
    FUZZ_PRUEFE(nEinheiten >= 0 && static_cast<std::size_t>(nEinheiten) <= nGroesse);
    std::vector<char16_t> einheiten(static_cast<std::size_t>(nEinheiten) + 1);
    FUZZ_PRUEFE(SchmalZuUtf16(einheiten.data(), pDaten, nGroesse) == static_cast<std::size_t>(nEinheiten));
    const std::size_t nBytes = Utf16SchmalLaenge(einheiten.data(), static_cast<std::size_t>(nEinheiten));
    FUZZ_PRUEFE(nBytes == nGroesse);
    std::string zurueck(nBytes, '\0');
    FUZZ_PRUEFE(Utf16ZuSchmal(zurueck.data(), einheiten.data(), static_cast<std::size_t>(nEinheiten)) == nBytes);
    FUZZ_PRUEFE(zurueck == std::string(reinterpret_cast<const char*>(pDaten), nGroesse));

    // Units (taken raw from the bytes) -> bytes -> units.
    std::u16string roh;
    for (std::size_t i = 0; i + 1 < nGroesse; i += 2)
        roh.push_back(static_cast<char16_t>(pDaten[i] | (pDaten[i + 1] << 8)));
    const std::size_t nRohBytes = Utf16SchmalLaenge(roh.data(), roh.size());
    FUZZ_PRUEFE(nRohBytes <= 3 * roh.size());
    std::string bytes(nRohBytes, '\0');
    FUZZ_PRUEFE(Utf16ZuSchmal(bytes.data(), roh.data(), roh.size()) == nRohBytes);
    const auto* pBytes = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::int64_t nWieder = SchmalZaehle(pBytes, bytes.size());
    std::u16string wieder(static_cast<std::size_t>(nWieder), u'\0');
    SchmalZuUtf16(wieder.data(), pBytes, bytes.size());
    // Escaped bytes may join into valid sequences on the way back, so the units can differ;
    // the bytes must not: encoding what was decoded gives the same bytes again.
    std::string nochmal(Utf16SchmalLaenge(wieder.data(), wieder.size()), '\0');
    Utf16ZuSchmal(nochmal.data(), wieder.data(), wieder.size());
    FUZZ_PRUEFE(nochmal == bytes);
    return 0;
}
