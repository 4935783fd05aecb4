// The command line, read once: every rule about what an argument means lives here. The option
// walk goes from left to right; "-s", "-S" and "-f" standing alone take the next argument as
// their value. The walk ends at the first argument that is no option (a usage error) or that
// asks for --help or --version; "-i" may stand anywhere and runs no filter. Apart from the walk,
// the input file is the first argument that begins with "-f", wherever it stands.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "platform/CString.h"

// What an argument asks for, by the walk's tests in their order.
enum class OptionsArt {
    LeereLoeschen,        // -d, --delete-empty-tags
    TagsEntfernen,        // -t, -r, --strip-xml-tags
    KommentareEntfernen,  // -c, --strip-xml-comments
    Ueberspringen,        // -S with a name
    Zeigen,               // -s or -t with a name list
    Datei,                // -f with a file name
    Ersetzen,             // -R with name=replacement
    ImOrt,                // -i, --in-place: the result replaces the file
    Hilfe,                // --help
    Version,              // --version
    Keine,                // no option: the usage error
};

// One spelling of an option: the whole argument, or (bPraefix) its first two bytes.
struct OptionsSchreibweise {
    std::string_view text;
    bool bPraefix;
    OptionsArt art;
};

// Every spelling the driver knows, in the order in which arguments are tested.
extern const OptionsSchreibweise kOptionen[];
extern const std::size_t kAnzahlOptionen;

// The kind of one argument: the first spelling in kOptionen that it matches.
OptionsArt Klassifiziere(std::string_view arg) noexcept;

// One filter to run: its kind, its values (views of the arguments) and its argument.
struct Schritt {
    OptionsArt art;
    BrixSubString wert;    // the name (-S, -R) or the name list (-s)
    BrixSubString ersatz;  // the replacement of -R (no data: none given)
    std::size_t nArgument;
};

// What the arguments ask for. The views refer to the arguments, which must outlive it.
struct Aufruf {
    CString strDatei;                      // the input file; empty: standard input
    bool bImOrt = false;                   // -i: the result replaces the input file
    std::vector<Schritt> aSchritte;        // the filters, in order (options that run nothing give none)
    std::ptrdiff_t nEnde = -1;             // the argument that ended the walk, or -1
    OptionsArt eEnde = OptionsArt::Keine;  // what it is: Hilfe, Version, or Keine (a usage error)
};

Aufruf LiesKommandozeile(std::span<const CString> argumente);
