#include "app/Treiber.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "app/Kette.h"
#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"
#include "platform/ErsatzDatei.h"

#ifndef BRIX_VERSION
#define BRIX_VERSION "0"
#endif

namespace {

// The usage text; it lists "-r" and "-t" but neither "-s" nor "-S".
constexpr std::string_view kVerwendung =
    "-fDateiname             - statt stdin\n"
    "-d --delete-empty-tags  - entferne leere XML-Tags\n"
    "-c --strip-xml-comments - entferne XML-Kommentare\n"
    "-r --strip-xml-tags     - entferne XML-Tags\n"
    "-tTagname,Tagname1,..\t- Zeige Tagblocks Tagname1,.. in Tags Tagname\n"
    "-RTagname=Inhalt        - Ersetze Inhalt von Tag Tagname\n";

// What --help writes: every option once, in the order of the man page, at most 80 columns.
constexpr std::string_view kHilfe =
    "Aufruf: brixfilter [-f DATEI] OPTION ...\n"
    "Filtert ein XML-artiges Dokument (die Datei DATEI oder stdin) mit den Optionen\n"
    "von links nach rechts und schreibt das Ergebnis auf stdout.\n"
    "\n"
    "  -fDATEI, -f DATEI         lies das Dokument aus DATEI statt von stdin\n"
    "  -c, --strip-xml-comments  entferne XML-Kommentare\n"
    "  -t, -r, --strip-xml-tags  entferne alles Markup (jedes <...>)\n"
    "  -d, --delete-empty-tags   entferne die leeren Elemente der obersten Ebene\n"
    "  -sNAME[,INNEN,...]        liste die Elemente NAME der obersten Ebene, eines je\n"
    "  -tNAME,INNEN[,...]        Zeile (CR LF); mit INNEN nur Start-Tag, die inneren\n"
    "                            Elemente INNEN und End-Tag; die Liste von -s darf\n"
    "                            auch das nächste Argument sein\n"
    "  -SNAME                    überspringe die Elemente NAME der obersten Ebene und\n"
    "                            behalte den Text hinter dem letzten; der Name darf\n"
    "                            auch das nächste Argument sein\n"
    "  -RNAME=TEXT               ersetze den Inhalt jedes Elements NAME durch TEXT\n"
    "  -i, --in-place            schreibe das Ergebnis statt auf stdout atomar in die\n"
    "                            Datei von -f, in ihrer Kodierung\n"
    "      --help                zeige diese Hilfe\n"
    "      --version             zeige Name und Version\n"
    "\n"
    "Rückgabewerte: 0 Erfolg; 1 Startfehler (kein Speicher); 2 Eingabe nicht lesbar,\n"
    "Ausgabe nicht schreibbar oder nicht genug Speicher; 255 unbekannte Option (eine\n"
    "Zeile und die Kurzhilfe auf stderr).\n"
    "\n"
    "Beispiel: brixfilter -f katalog.xml -c -d -sbook,title\n";

// At most this many bytes of an argument are quoted in a message.
constexpr std::size_t kZitatLaenge = 60;

// An argument as messages name it: in double quotes; a longer one cut after at most
// kZitatLaenge bytes, at the start of a UTF-8 character, marked by "..." and its length.
std::string Zitat(std::string_view arg)
{
    std::string strZitat = "\"";
    if (arg.size() <= kZitatLaenge) return strZitat.append(arg).append("\"");
    std::size_t n = kZitatLaenge;
    // Back off over continuation bytes (at most three) so no character is split.
    for (int i = 0; i < 3 && (static_cast<unsigned char>(arg[n]) & 0xC0) == 0x80; ++i) --n;
    return strZitat.append(arg.substr(0, n)).append("...\" (").append(std::to_string(arg.size())).append(" Bytes)");
}

// The line that names the argument the command line rejected, before the usage text.
std::string Ablehnung(std::string_view arg)
{
    const std::string strHinweis = "; Hilfe: brixfilter --help";
    if (arg.size() > 1 && arg[0] == '-') return "unbekannte Option " + Zitat(arg) + strHinweis;
    return Zitat(arg) + " ist keine Option" + strHinweis;
}

// Writes "brixfilter: ", the option being handled (if given) and the message as one line on the
// error stream; a failure there is ignored, as there is nowhere left to report it.
void Melde(CStdioFile& fehler, std::string_view strMeldung, const CString* pOption = nullptr) noexcept
{
    try {
        std::string strZeile = "brixfilter: ";
        if (pOption) strZeile += "Option " + Zitat(pOption->Sicht()) + ": ";
        strZeile += strMeldung;
        strZeile += '\n';
        fehler.Write(strZeile.data(), strZeile.size());
    } catch (...) {
    }
}

// A failed write of the result: a reader that went away (EPIPE with SIGPIPE ignored) ends the
// run quietly, anything else is reported.
int MeldeSchreibfehler(CStdioFile& fehler, const CFileException& e)
{
    if (e.Fehlernummer() != EPIPE) Melde(fehler, e.Meldung());
    return kStatusEAFehler;
}

// Writes --help or --version on standard output: status 0, or 2 when it cannot be written.
int BeantworteInfo(OptionsArt art, CStdioFile& ausgabe, CStdioFile& fehler, bool bSchliessen)
{
    const std::string strVersion = std::string("brixfilter ") + BRIX_VERSION + "\n";
    const std::string text = art == OptionsArt::Hilfe ? HilfeText() : strVersion;
    try {
        ausgabe.Write(text.data(), text.size());
        if (bSchliessen) ausgabe.Close();
    } catch (const CFileException& e) {
        return MeldeSchreibfehler(fehler, e);
    }
    return kStatusErfolg;
}

// Writes the usage error of the arguments: a line that says what is wrong, then the usage text.
int MeldeAufruffehler(CStdioFile& fehler, std::string_view strMeldung)
{
    Melde(fehler, strMeldung);
    SchreibeAusgabe(CString(kVerwendung), fehler);
    return kStatusAufruf;
}

// Runs the chain over text and writes the result to ziel, then closes ziel when asked to
// (standard output) or lets the new file replace the input file (-i).
void Filtere(const Aufruf& aufruf, CString& text, CStdioFile& ziel, const EingabeWache& wache, std::size_t& nAktuell,
             bool bSchliessen)
{
    // A file edited in place keeps the form it was read in; standard output is narrow.
    AusgabeStrom strom(ziel, text.Form(), &wache, aufruf.bImOrt ? AusgabeForm::WieGelesen : AusgabeForm::Schmal);
    Kette(aufruf.aSchritte).Laufe(text, strom, nAktuell);
    strom.Fertig();
    if (bSchliessen) ziel.Close();
}

}  // namespace

std::string HilfeText() { return std::string(kHilfe); }

int FuehreBrixfilterAus(std::span<const CString> argumente, const TreiberKanaele& kanaele)
{
    CStdioFile eingabe(kanaele.fdEingabe);
    CStdioFile ausgabe(kanaele.fdAusgabe);
    CStdioFile fehler(kanaele.fdFehler);
    std::size_t nAktuell = argumente.size();  // the argument being handled, for messages
    try {
        const Aufruf aufruf = LiesKommandozeile(argumente);
        if (aufruf.eEnde == OptionsArt::Hilfe || aufruf.eEnde == OptionsArt::Version)
            return BeantworteInfo(aufruf.eEnde, ausgabe, fehler, kanaele.bAusgabeSchliessen);

        if (aufruf.bImOrt) {
            // Nothing to replace: refused before anything is read.
            if (aufruf.strDatei.IsEmpty())
                return MeldeAufruffehler(fehler,
                                         "-i braucht eine Datei, die mit -f genannt wird; Hilfe: brixfilter --help");
            if (IstKeineRegulaereDatei(aufruf.strDatei)) {
                Melde(fehler, "Datei \"" + std::string(aufruf.strDatei.Sicht()) +
                                  "\" kann nicht ersetzt werden: Keine reguläre Datei");
                return kStatusEAFehler;
            }
        }

        // A usage error is reported before the document is read, whose failure would count
        // first, only when the document would come from a terminal: waiting there for input
        // that is then dropped would make a typo look like a hang.
        if (aufruf.nEnde >= 0 && aufruf.strDatei.IsEmpty() && eingabe.IstTerminal())
            return MeldeAufruffehler(fehler, Ablehnung(argumente[static_cast<std::size_t>(aufruf.nEnde)].Sicht()));

        CString text;
        EingabeWache wache;
        DateiFehler f;
        const bool bGelesen = aufruf.strDatei.IsEmpty() ? LiesStream(text, eingabe, &f, &wache)
                                                        : LiesDatei(text, aufruf.strDatei, &f, &wache);
        if (!bGelesen) {
            Melde(fehler, f.strMeldung);
            return kStatusEAFehler;
        }
        if (aufruf.nEnde >= 0)
            return MeldeAufruffehler(fehler, Ablehnung(argumente[static_cast<std::size_t>(aufruf.nEnde)].Sicht()));

        try {
            if (aufruf.bImOrt) {
                // The new file is removed when anything fails before it replaces the old one.
                CErsatzDatei neu(aufruf.strDatei);
                Filtere(aufruf, text, neu, wache, nAktuell, false);
                // The input is let go first: some systems (Windows) cannot replace a file that is
                // still mapped or open.
                text.Freigeben();
                wache.Vergiss();
                neu.Ersetze();
            } else {
                Filtere(aufruf, text, ausgabe, wache, nAktuell, kanaele.bAusgabeSchliessen);
            }
            nAktuell = argumente.size();
        } catch (const CFileException& e) {
            // The output could not be written, or the mapped input shrank while it was used.
            return MeldeSchreibfehler(fehler, e);
        }
        return kStatusErfolg;
    } catch (const std::bad_alloc&) {
        Melde(fehler, "Nicht genug Speicher", nAktuell < argumente.size() ? &argumente[nAktuell] : nullptr);
    }
    return kStatusEAFehler;
}
