#include "app/Treiber.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"
#include "platform/Grenzen.h"
#include "xml/Filter.h"

#ifndef BRIX_VERSION
#define BRIX_VERSION "0"
#endif

const OptionsSchreibweise kOptionen[] = {
    {u"-d", false, OptionsArt::LeereLoeschen},
    {u"--delete-empty-tags", false, OptionsArt::LeereLoeschen},
    {u"-t", false, OptionsArt::TagsEntfernen},
    {u"-r", false, OptionsArt::TagsEntfernen},
    {u"--strip-xml-tags", false, OptionsArt::TagsEntfernen},
    {u"-c", false, OptionsArt::KommentareEntfernen},
    {u"--strip-xml-comments", false, OptionsArt::KommentareEntfernen},
    {u"-S", true, OptionsArt::Ueberspringen},
    {u"-s", true, OptionsArt::Zeigen},
    {u"-t", true, OptionsArt::Zeigen},
    {u"-f", true, OptionsArt::Datei},
    {u"-R", true, OptionsArt::Ersetzen},
    {u"--help", false, OptionsArt::Hilfe},
    {u"--version", false, OptionsArt::Version},
};
const std::size_t kAnzahlOptionen = sizeof kOptionen / sizeof kOptionen[0];

OptionsArt Klassifiziere(std::u16string_view arg) noexcept
{
    for (const OptionsSchreibweise& o : kOptionen) {
        // A prefix spelling compares the first two units; a shorter argument never matches.
        if (o.bPraefix ? arg.size() >= 2 && arg.substr(0, 2) == o.text : arg == o.text) return o.art;
    }
    return OptionsArt::Keine;
}

namespace {

// The usage text; it lists "-r" and "-t" but neither "-s" nor "-S".
constexpr std::u16string_view kVerwendung =
    u"-fDateiname             - statt stdin\n"
    u"-d --delete-empty-tags  - entferne leere XML-Tags\n"
    u"-c --strip-xml-comments - entferne XML-Kommentare\n"
    u"-r --strip-xml-tags     - entferne XML-Tags\n"
    u"-tTagname,Tagname1,..\t- Zeige Tagblocks Tagname1,.. in Tags Tagname\n"
    u"-RTagname=Inhalt        - Ersetze Inhalt von Tag Tagname\n";

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
    "schreibbar oder Text zu lang; 255 unbekannte Option (die Kurzhilfe steht dann auf stderr).\n"
    "\n"
    "Beispiel: brixfilter -f katalog.xml -c -d -sbook,title\n";

// Writes "brixfilter: ", the option being handled (if given) and the message as one line on the
// error stream; a failure there is ignored, as there is nowhere left to report it.
void Melde(CStdioFile& fehler, std::string_view strMeldung, const CString* pOption = nullptr) noexcept
{
    try {
        std::string strZeile = "brixfilter: ";
        if (pOption) strZeile += "Option \"" + ZuSchmal(pOption->Sicht()) + "\": ";
        strZeile += strMeldung;
        strZeile += '\n';
        fehler.Write(strZeile.data(), strZeile.size());
    } catch (...) {
    }
}

// A failed write of the result: a reader that went away (EPIPE with SIGPIPE ignored) ends the
// run quietly, anything else is reported.
int MeldeSchreibfehler(CStdioFile& fehler, const DateiFehler& f)
{
    if (f.nErrno != EPIPE) Melde(fehler, f.strMeldung);
    return kStatusEAFehler;
}

// The input file: named by the first argument that begins with "-f", either behind those two
// units or, for "-f" alone, by the whole next argument. Empty: standard input.
CString SucheDateiname(const std::vector<CString>& argumente)
{
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        const CString& arg = argumente[i];
        if (arg.GetLength() < 2 || arg.Sicht().substr(0, 2) != u"-f") continue;
        if (arg.GetLength() > 2) return CString(arg.Sicht().substr(2));
        return i + 1 < argumente.size() ? argumente[i + 1] : CString();
    }
    return CString();
}

// The value of "-s", "-S" and "-t": behind the option's two units, or, when the option stands
// alone, the whole next argument, which is consumed (no data when there is none).
BrixSubString Wert(const std::vector<CString>& argumente, std::size_t& i)
{
    const CString& arg = argumente[i];
    if (arg.GetLength() > 2) return BrixSubString(arg).Mitte(2);
    ++i;
    return i < argumente.size() ? BrixSubString(argumente[i]) : BrixSubString();
}

// The first argument that the walk would not take as an option or an option's value, or -1.
// "--help" and "--version" are answered when they are that argument, before any input is read.
std::ptrdiff_t ErstesFremdesArgument(const std::vector<CString>& argumente) noexcept
{
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        const OptionsArt art = Klassifiziere(argumente[i].Sicht());
        const bool bAllein = argumente[i].GetLength() == 2;
        switch (art) {
        case OptionsArt::Ueberspringen:
        case OptionsArt::Zeigen:
        case OptionsArt::Datei:
            if (bAllein) ++i;  // the next argument is the value
            break;
        case OptionsArt::Hilfe:
        case OptionsArt::Version:
        case OptionsArt::Keine:
            return static_cast<std::ptrdiff_t>(i);
        default:
            break;
        }
    }
    return -1;
}

// Writes --help or --version on standard output: status 0, or 2 when it cannot be written.
int BeantworteInfo(OptionsArt art, CStdioFile& ausgabe, CStdioFile& fehler, bool bSchliessen);

bool UeberdecktGanz(const BrixSubString& view, const CString& s) noexcept
{
    return view.m_pString == &s && view.m_nStart == 0 && view.m_nEnd == s.GetLength();
}

// One filter the walk runs: its kind, its values (views of the arguments) and the argument.
struct Schritt {
    OptionsArt art;
    BrixSubString wert;    // the name (-S, -R) or the name list (-s)
    BrixSubString ersatz;  // the replacement of -R
    std::size_t nArgument;
};

// The option walk: the filters to run, in order. Options that run nothing (-f, a missing or
// empty name) give no step. At an argument that is no option the walk stops and reports
// bAufrufFehler; the steps before it still run.
std::vector<Schritt> Plane(const std::vector<CString>& argumente, bool& bAufrufFehler)
{
    std::vector<Schritt> aSchritte;
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        const CString& arg = argumente[i];
        const std::size_t nArgument = i;
        const OptionsArt art = Klassifiziere(arg.Sicht());
        switch (art) {
        case OptionsArt::LeereLoeschen:
        case OptionsArt::TagsEntfernen:
        case OptionsArt::KommentareEntfernen:
            aSchritte.push_back({art, {}, {}, nArgument});
            break;
        case OptionsArt::Ueberspringen:
        case OptionsArt::Zeigen: {
            const BrixSubString wert = Wert(argumente, i);
            if (wert.Laenge() > 0) aSchritte.push_back({art, wert, {}, nArgument});
            break;
        }
        case OptionsArt::Datei:
            // The file was read already; "-f" alone also consumes the file name.
            if (arg.GetLength() == 2) ++i;
            break;
        case OptionsArt::Ersetzen: {
            // "-Rname=replacement"; without "=" (or with "=" first) the whole rest is the name and
            // the replacement has no data.
            const BrixSubString rest = BrixSubString(arg).Mitte(2);
            const int nGleich = rest.FindeZeichen(u'=');
            BrixSubString name = rest;
            BrixSubString ersatz;
            if (nGleich >= 1) {
                name = rest.Links(nGleich);
                ersatz = rest.Mitte(nGleich + 1);
            }
            if (name.Laenge() > 0) aSchritte.push_back({OptionsArt::Ersetzen, name, ersatz, nArgument});
            break;
        }
        case OptionsArt::Hilfe:  // answered before the document is read; a usage error here
        case OptionsArt::Version:
        case OptionsArt::Keine:
            bAufrufFehler = true;
            return aSchritte;
        }
    }
    return aSchritte;
}

// Runs one filter over text into out (a string, or the output stream for the last one).
void FuehreAus(const Schritt& schritt, const BrixSubString& text, TextZiel& out)
{
    switch (schritt.art) {
    case OptionsArt::LeereLoeschen:
        LoescheLeereTags(text, out);
        break;
    case OptionsArt::TagsEntfernen:
        text.EntferneTags(out);
        break;
    case OptionsArt::KommentareEntfernen:
        text.EntferneKommentare(out);
        break;
    case OptionsArt::Ueberspringen:
        UeberspringeTagBlocks(text, schritt.wert, out);
        break;
    case OptionsArt::Zeigen:
        ZeigeTagBlocks(text, schritt.wert, out);
        break;
    case OptionsArt::Ersetzen:
        ErsetzeTagInhalt(text, schritt.wert, out, schritt.ersatz);
        break;
    default:
        break;
    }
}

// Whether the filter only leaves text out, in order (-c, -t, -d): each piece it writes is a
// stretch of its input at or behind everything written before, and it never reads text it has
// passed. Such a filter may write its result over its input.
bool LaesstNurAus(OptionsArt art) noexcept
{
    return art == OptionsArt::KommentareEntfernen || art == OptionsArt::TagsEntfernen ||
           art == OptionsArt::LeereLoeschen;
}

// Whether the result of the filter surely stays within the length limit, so that it may go
// straight to the output: a result that would pass the limit must fail before anything is
// written, as it does when it is made in memory.
bool BleibtImLimit(const Schritt& schritt, const BrixSubString& text) noexcept
{
    const std::int64_t n = text.Laenge();
    std::int64_t nHoechstens = n;  // -c, -t, -d and -S only leave text out
    if (schritt.art == OptionsArt::Zeigen) {
        // Each line holds at most one element of its own (at least one unit) plus CR LF.
        nHoechstens = 3 * n;
    } else if (schritt.art == OptionsArt::Ersetzen) {
        // Each replacement stands in an element of that name, which takes at least the name
        // plus "</>" (or "<" and "/>") of the text.
        const std::int64_t nJeElement = schritt.wert.Laenge() + 3;
        nHoechstens = n + (n / nJeElement + 1) * schritt.ersatz.Laenge();
    }
    return nHoechstens <= MaxTextLaenge();
}

// Runs the planned filters over the document in strEingabe. The last one writes straight to
// the output stream when the walk ended without a usage error and its result surely stays
// within the length limit (bGestreamt); otherwise the view of the final text is returned.
// nAktuell tells which argument is being handled.
BrixSubString Filtere(const std::vector<Schritt>& aSchritte, bool bAufrufFehler, CString& strEingabe,
                      CString& strErgebnis, AusgabeStrom* pStrom, std::size_t& nAktuell, bool& bGestreamt)
{
    BrixSubString aktuell(strEingabe);
    for (std::size_t k = 0; k < aSchritte.size(); ++k) {
        const Schritt& schritt = aSchritte[k];
        nAktuell = schritt.nArgument;
        // The filter reads the input text and writes the result text. After a filter the current
        // view covers the whole result, and swapping the two strings does what a copy would.
        if (UeberdecktGanz(aktuell, strErgebnis))
            strEingabe.Tausche(strErgebnis);
        else if (!UeberdecktGanz(aktuell, strEingabe))
            Zuweisen(strEingabe, aktuell);
        aktuell = BrixSubString(strEingabe);

        if (k + 1 == aSchritte.size() && !bAufrufFehler && pStrom && BleibtImLimit(schritt, aktuell)) {
            // The result is not needed in memory: it goes out while it is made.
            strErgebnis.Freigeben();
            FuehreAus(schritt, aktuell, *pStrom);
            pStrom->Fertig();
            bGestreamt = true;
            return BrixSubString();
        }
        if (LaesstNurAus(schritt.art)) {
            // The result takes the text's own place: no second buffer.
            {
                EigenZiel ziel(strEingabe);
                FuehreAus(schritt, aktuell, ziel);
            }
            aktuell = BrixSubString(strEingabe);
            continue;
        }
        strErgebnis.Empty();
        {
            StringZiel ziel(strErgebnis);
            FuehreAus(schritt, aktuell, ziel);
        }
        aktuell = BrixSubString(strErgebnis);
    }
    return aktuell;
}

int BeantworteInfo(OptionsArt art, CStdioFile& ausgabe, CStdioFile& fehler, bool bSchliessen)
{
    const std::string strVersion = std::string("brixfilter ") + BRIX_VERSION + "\n";
    const std::string text = art == OptionsArt::Hilfe ? HilfeText() : strVersion;
    try {
        ausgabe.Write(text.data(), text.size());
        if (bSchliessen) ausgabe.Close();
    } catch (const CFileException& e) {
        return MeldeSchreibfehler(fehler, DateiFehler{e.Meldung(), e.Fehlernummer()});
    }
    return kStatusErfolg;
}

}  // namespace

std::string HilfeText()
{
    return ZuSchmal(kVerwendung) + std::string(kHilfeZusatz);
}

int FuehreBrixfilterAus(const std::vector<CString>& argumente, const TreiberKanaele& kanaele)
{
    CStdioFile eingabe(kanaele.fdEingabe);
    CStdioFile ausgabe(kanaele.fdAusgabe);
    CStdioFile fehler(kanaele.fdFehler);
    std::size_t nAktuell = argumente.size();  // the argument being handled, for messages
    auto Option = [&]() -> const CString* { return nAktuell < argumente.size() ? &argumente[nAktuell] : nullptr; };
    try {
        const std::ptrdiff_t nFremd = ErstesFremdesArgument(argumente);
        if (nFremd >= 0) {
            const OptionsArt art = Klassifiziere(argumente[static_cast<std::size_t>(nFremd)].Sicht());
            if (art == OptionsArt::Hilfe || art == OptionsArt::Version)
                return BeantworteInfo(art, ausgabe, fehler, kanaele.bAusgabeSchliessen);
        }
        CString strEingabe;
        {
            DateiFehler f;
            const CString strDatei = SucheDateiname(argumente);
            const bool bGelesen =
                strDatei.IsEmpty() ? LiesStream(strEingabe, eingabe, &f) : LiesDatei(strEingabe, strDatei, &f);
            if (!bGelesen) {
                Melde(fehler, f.strMeldung);
                return kStatusEAFehler;
            }
        }

        bool bAufrufFehler = false;
        const std::vector<Schritt> aSchritte = Plane(argumente, bAufrufFehler);
        CString strErgebnis;
        AusgabeStrom strom(ausgabe);
        bool bGestreamt = false;
        BrixSubString ergebnis;
        try {
            ergebnis = Filtere(aSchritte, bAufrufFehler, strEingabe, strErgebnis, &strom, nAktuell, bGestreamt);
        } catch (const CFileException& e) {
            // Only the output stream throws this: the last filter's result could not be written.
            return MeldeSchreibfehler(fehler, DateiFehler{e.Meldung(), e.Fehlernummer()});
        }
        nAktuell = argumente.size();
        if (bAufrufFehler) {
            SchreibeAusgabe(CString(kVerwendung), fehler);
            return kStatusAufruf;
        }

        DateiFehler f;
        if (!bGestreamt && !SchreibeAusgabe(ergebnis, ausgabe, &f)) return MeldeSchreibfehler(fehler, f);
        if (kanaele.bAusgabeSchliessen) {
            try {
                ausgabe.Close();
            } catch (const CFileException& e) {
                return MeldeSchreibfehler(fehler, DateiFehler{e.Meldung(), e.Fehlernummer()});
            }
        }
        return kStatusErfolg;
    } catch (const CLaengenException& e) {
        Melde(fehler, e.Meldung(), Option());
    } catch (const std::bad_alloc&) {
        Melde(fehler, "Nicht genug Speicher", Option());
    }
    return kStatusEAFehler;
}
