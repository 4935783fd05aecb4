// The driver: picks the input, reads the document, runs one filter per option from left to
// right, each on the result of the one before, and writes the last result. It takes the
// arguments and the three descriptors, so a whole command line can also run in-process.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/CString.h"

// Exit statuses.
inline constexpr int kStatusErfolg = 0;       // the run went through
inline constexpr int kStatusStartFehler = 1;  // start-up failed (no memory for the arguments)
inline constexpr int kStatusEAFehler = 2;     // input unreadable, output unwritable, text too long
inline constexpr int kStatusAufruf = 255;     // an argument is no option; usage text written

// The start-up failure message, written with a line end.
inline constexpr char kStartFehlerText[] = "Fatal Error: MFC initialization failed";

// Where the run reads and writes.
struct TreiberKanaele {
    int fdEingabe = 0;
    int fdAusgabe = 1;
    int fdFehler = 2;
    // Close the output descriptor at the end and count a failing close as a write failure
    // (the program's own standard output; not for in-process runs).
    bool bAusgabeSchliessen = false;
};

// What an argument asks for, by the walk's tests in their order.
enum class OptionsArt {
    LeereLoeschen,      // -d, --delete-empty-tags
    TagsEntfernen,      // -t, -r, --strip-xml-tags
    KommentareEntfernen,  // -c, --strip-xml-comments
    Ueberspringen,      // -S with a name
    Zeigen,             // -s or -t with a name list
    Datei,              // -f with a file name
    Ersetzen,           // -R with name=replacement
    Hilfe,              // --help
    Version,            // --version
    Keine,              // no option: the usage error
};

// One spelling of an option: the whole argument, or (bPraefix) its first two units.
struct OptionsSchreibweise {
    std::u16string_view text;
    bool bPraefix;
    OptionsArt art;
};

// Every spelling the driver knows, in the order in which arguments are tested.
extern const OptionsSchreibweise kOptionen[];
extern const std::size_t kAnzahlOptionen;

// The kind of one argument: the first spelling in kOptionen that it matches.
OptionsArt Klassifiziere(std::u16string_view arg) noexcept;

// The text of --help (usage text, the options it does not list, exit statuses, an example).
std::string HilfeText();

// Runs brixfilter with the arguments (the program name not included) and returns the exit status.
int FuehreBrixfilterAus(const std::vector<CString>& argumente, const TreiberKanaele& kanaele);
