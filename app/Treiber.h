// The driver: reads the command line, reads the document, runs the chain of filters and writes
// the result. It takes the arguments and the three descriptors, so a whole command line can also
// run in-process.
#pragma once

#include <span>
#include <string>

#include "app/Kommandozeile.h"
#include "platform/CString.h"

// Exit statuses.
inline constexpr int kStatusErfolg = 0;       // the run went through
inline constexpr int kStatusStartFehler = 1;  // start-up failed (no memory for the arguments)
inline constexpr int kStatusEAFehler = 2;     // input unreadable, output unwritable, no memory
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

// The text of --help (usage text, the options it does not list, exit statuses, an example).
std::string HilfeText();

// Runs brixfilter with the arguments (the program name not included) and returns the exit status.
int FuehreBrixfilterAus(std::span<const CString> argumente, const TreiberKanaele& kanaele);
