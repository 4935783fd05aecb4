#include "app/Treiber.h"

#include <cerrno>
#include <cstdint>
#include <memory>
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

// Reads the document (a file, or standard input) piece by piece, each piece handed to weiter.
bool Lies(const Aufruf& aufruf, CString& text, CStdioFile& eingabe, const Weiterleitung& weiter, DateiFehler& f,
          EingabeWache& wache)
{
    return aufruf.strDatei.IsEmpty() ? LiesStream(text, eingabe, weiter, &f, &wache)
                                     : LiesDatei(text, aufruf.strDatei, weiter, &f, &wache);
}

// The run of the chain over the document as it is read: its result goes to standard output, or
// (-i) into a new file that replaces the input file once all went well. The output and the chain
// are made when the first piece has come, which tells the document's form; the new file too, so
// that an input that cannot be opened is reported as before anything is made.
class Lauf {
public:
    Lauf(const Aufruf& aufruf, CString& text, CStdioFile& ausgabe, const EingabeWache& wache, std::size_t& nAktuell)
        : m_aufruf(aufruf), m_text(text), m_ausgabe(ausgabe), m_wache(wache), m_nAktuell(nAktuell)
    {}

    // A piece has come (see Weiterleitung).
    void Weiter(bool bEnde, bool bStrom)
    {
        if (!m_pKette) {
            if (m_aufruf.bImOrt) m_pNeu = std::make_unique<CErsatzDatei>(m_aufruf.strDatei);
            // A file edited in place keeps the form it was read in; standard output is narrow.
            m_pStrom = std::make_unique<AusgabeStrom>(m_pNeu ? *m_pNeu : m_ausgabe, m_text.Form(), &m_wache,
                                                      m_pNeu ? AusgabeForm::WieGelesen : AusgabeForm::Schmal);
            m_pKette = std::make_unique<Kette>(m_aufruf.aSchritte, m_text, *m_pStrom);
        }
        m_pKette->Weiter(bEnde, m_nAktuell);
        // What is final goes out before the next piece is waited for.
        if (bEnde)
            m_pStrom->Fertig();
        else if (bStrom)
            m_pStrom->Spuele();
    }

    // The new file of -i, once it is made.
    CErsatzDatei* Neu() noexcept { return m_pNeu.get(); }
    // What is final so far goes out, as far as it can: the input broke off.
    void Abbruch() noexcept
    {
        try {
            if (m_pStrom) m_pStrom->Spuele();
        } catch (...) {
        }
    }

private:
    const Aufruf& m_aufruf;
    CString& m_text;
    CStdioFile& m_ausgabe;
    const EingabeWache& m_wache;
    std::size_t& m_nAktuell;
    std::unique_ptr<CErsatzDatei> m_pNeu;
    std::unique_ptr<AusgabeStrom> m_pStrom;
    std::unique_ptr<Kette> m_pKette;
};

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
        if (aufruf.nEnde >= 0) {
            // The document is read to its end first (its failure counts first), but not held.
            const Weiterleitung verwirf = [&](bool, bool) { text.VerwirfVorne(text.GetLength()); };
            if (!Lies(aufruf, text, eingabe, verwirf, f, wache)) {
                Melde(fehler, f.strMeldung);
                return kStatusEAFehler;
            }
            return MeldeAufruffehler(fehler, Ablehnung(argumente[static_cast<std::size_t>(aufruf.nEnde)].Sicht()));
        }

        try {
            Lauf lauf(aufruf, text, ausgabe, wache, nAktuell);
            const Weiterleitung weiter = [&](bool bEnde, bool bStrom) { lauf.Weiter(bEnde, bStrom); };
            if (!Lies(aufruf, text, eingabe, weiter, f, wache)) {
                // What was written stays written; under -i the new file goes, the old one stays.
                lauf.Abbruch();
                Melde(fehler, f.strMeldung);
                return kStatusEAFehler;
            }
            nAktuell = argumente.size();
            if (CErsatzDatei* pNeu = lauf.Neu()) {
                // The input is let go first: some systems (Windows) cannot replace a file that is
                // still mapped or open.
                text.Freigeben();
                wache.Vergiss();
                pNeu->Ersetze();
            } else if (kanaele.bAusgabeSchliessen) {
                ausgabe.Close();
            }
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
