#include "app/Treiber.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "app/Kette.h"
#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"

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

// What --help adds behind the usage text.
constexpr std::string_view kHilfeZusatz =
    "\n"
    "-sTagname,Tagname1,..   - wie -tTagname,..: eine Zeile (CR LF) je Tag Tagname auf oberster\n"
    "                          Ebene; mit Tagname1,.. nur Start-Tag, diese inneren Tags, End-Tag.\n"
    "                          Die Liste darf auch das nächste Argument sein.\n"
    "-STagname               - überspringe die Tags Tagname auf oberster Ebene und behalte nur den\n"
    "                          Text hinter dem letzten; der Name darf das nächste Argument sein.\n"
    "--help                  - zeige diese Hilfe\n"
    "--version               - zeige Name und Version\n"
    "\n"
    "Rückgabewerte: 0 Erfolg; 1 Startfehler (kein Speicher); 2 Eingabe nicht lesbar, Ausgabe nicht\n"
    "schreibbar oder nicht genug Speicher; 255 unbekannte Option (die Kurzhilfe steht dann auf\n"
    "stderr).\n"
    "\n"
    "Beispiel: brixfilter -f katalog.xml -c -d -sbook,title\n";

// Writes "brixfilter: ", the option being handled (if given) and the message as one line on the
// error stream; a failure there is ignored, as there is nowhere left to report it.
void Melde(CStdioFile& fehler, std::string_view strMeldung, const CString* pOption = nullptr) noexcept
{
    try {
        std::string strZeile = "brixfilter: ";
        if (pOption) strZeile += "Option \"" + std::string(pOption->Sicht()) + "\": ";
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

}  // namespace

std::string HilfeText() { return std::string(kVerwendung) + std::string(kHilfeZusatz); }

int FuehreBrixfilterAus(const std::vector<CString>& argumente, const TreiberKanaele& kanaele)
{
    CStdioFile eingabe(kanaele.fdEingabe);
    CStdioFile ausgabe(kanaele.fdAusgabe);
    CStdioFile fehler(kanaele.fdFehler);
    std::size_t nAktuell = argumente.size();  // the argument being handled, for messages
    try {
        const Aufruf aufruf = LiesKommandozeile(argumente);
        if (aufruf.eEnde == OptionsArt::Hilfe || aufruf.eEnde == OptionsArt::Version)
            return BeantworteInfo(aufruf.eEnde, ausgabe, fehler, kanaele.bAusgabeSchliessen);

        // The document is read before a usage error is reported, as its failure counts first.
        CString text;
        EingabeWache wache;
        DateiFehler f;
        const bool bGelesen = aufruf.strDatei.IsEmpty() ? LiesStream(text, eingabe, &f, &wache)
                                                        : LiesDatei(text, aufruf.strDatei, &f, &wache);
        if (!bGelesen) {
            Melde(fehler, f.strMeldung);
            return kStatusEAFehler;
        }
        if (aufruf.nEnde >= 0) {
            SchreibeAusgabe(CString(kVerwendung), fehler);
            return kStatusAufruf;
        }

        try {
            AusgabeStrom strom(ausgabe, text.Form(), &wache);
            Kette(aufruf.aSchritte).Laufe(text, strom, nAktuell);
            nAktuell = argumente.size();
            strom.Fertig();
            if (kanaele.bAusgabeSchliessen) ausgabe.Close();
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
