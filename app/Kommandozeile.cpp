#include "app/Kommandozeile.h"

const OptionsSchreibweise kOptionen[] = {
    {"-d", false, OptionsArt::LeereLoeschen},
    {"--delete-empty-tags", false, OptionsArt::LeereLoeschen},
    {"-t", false, OptionsArt::TagsEntfernen},
    {"-r", false, OptionsArt::TagsEntfernen},
    {"--strip-xml-tags", false, OptionsArt::TagsEntfernen},
    {"-c", false, OptionsArt::KommentareEntfernen},
    {"--strip-xml-comments", false, OptionsArt::KommentareEntfernen},
    {"-S", true, OptionsArt::Ueberspringen},
    {"-s", true, OptionsArt::Zeigen},
    {"-t", true, OptionsArt::Zeigen},
    {"-f", true, OptionsArt::Datei},
    {"-R", true, OptionsArt::Ersetzen},
    {"-i", false, OptionsArt::ImOrt},
    {"--in-place", false, OptionsArt::ImOrt},
    {"--help", false, OptionsArt::Hilfe},
    {"--version", false, OptionsArt::Version},
};
const std::size_t kAnzahlOptionen = sizeof kOptionen / sizeof kOptionen[0];

OptionsArt Klassifiziere(std::string_view arg) noexcept
{
    for (const OptionsSchreibweise& o : kOptionen) {
        // A prefix spelling compares the first two bytes; a shorter argument never matches.
        if (o.bPraefix ? arg.size() >= 2 && arg.substr(0, 2) == o.text : arg == o.text) return o.art;
    }
    return OptionsArt::Keine;
}

namespace {

// The input file: named by the first argument that begins with "-f", either behind those two
// bytes or, for "-f" alone, by the whole next argument. Empty: standard input.
CString Dateiname(std::span<const CString> argumente)
{
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        const std::string_view arg = argumente[i].Sicht();
        if (arg.size() < 2 || arg.substr(0, 2) != "-f") continue;
        if (arg.size() > 2) return CString(arg.substr(2));
        return i + 1 < argumente.size() ? argumente[i + 1] : CString();
    }
    return CString();
}

// The value of an option that takes one: behind its two bytes, or, when the option stands
// alone, the whole next argument, which is consumed (no data when there is none).
BrixSubString Wert(std::span<const CString> argumente, std::size_t& i)
{
    const CString& arg = argumente[i];
    if (arg.GetLength() > 2) return BrixSubString(arg).Mitte(2);
    ++i;
    return i < argumente.size() ? BrixSubString(argumente[i]) : BrixSubString();
}

}  // namespace

Aufruf LiesKommandozeile(std::span<const CString> argumente)
{
    Aufruf aufruf;
    aufruf.strDatei = Dateiname(argumente);
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        const std::size_t nArgument = i;
        const OptionsArt art = Klassifiziere(argumente[i].Sicht());
        switch (art) {
        case OptionsArt::LeereLoeschen:
        case OptionsArt::TagsEntfernen:
        case OptionsArt::KommentareEntfernen: aufruf.aSchritte.push_back({art, {}, {}, nArgument}); break;
        case OptionsArt::Ueberspringen:
        case OptionsArt::Zeigen: {
            // A missing or empty value runs nothing.
            const BrixSubString wert = Wert(argumente, i);
            if (wert.Laenge() > 0) aufruf.aSchritte.push_back({art, wert, {}, nArgument});
            break;
        }
        case OptionsArt::Datei:
            Wert(argumente, i);  // the file was named above; "-f" alone takes the next argument
            break;
        case OptionsArt::Ersetzen: {
            // "-Rname=replacement"; without "=" (or with "=" first) the whole rest is the name
            // and the replacement has no data.
            const BrixSubString rest = BrixSubString(argumente[i]).Mitte(2);
            const std::ptrdiff_t nGleich = rest.FindeZeichen('=');
            BrixSubString name = rest;
            BrixSubString ersatz;
            if (nGleich >= 1) {
                name = rest.Links(nGleich);
                ersatz = rest.Mitte(nGleich + 1);
            }
            if (name.Laenge() > 0) aufruf.aSchritte.push_back({OptionsArt::Ersetzen, name, ersatz, nArgument});
            break;
        }
        case OptionsArt::ImOrt: aufruf.bImOrt = true; break;
        case OptionsArt::Hilfe:
        case OptionsArt::Version:
        case OptionsArt::Keine:
            aufruf.nEnde = static_cast<std::ptrdiff_t>(i);
            aufruf.eEnde = art;
            return aufruf;
        }
    }
    return aufruf;
}
