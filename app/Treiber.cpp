#include "app/Treiber.h"

#include <cerrno>
#include <new>
#include <string>
#include <string_view>

#include "brix/BrixSubString.h"
#include "io/Ausgabe.h"
#include "io/Eingabe.h"
#include "platform/Ausnahmen.h"
#include "platform/Datei.h"
#include "xml/Filter.h"

namespace {

// The usage text; it lists "-r" and "-t" but neither "-s" nor "-S".
constexpr std::u16string_view kVerwendung =
    u"-fDateiname             - statt stdin\n"
    u"-d --delete-empty-tags  - entferne leere XML-Tags\n"
    u"-c --strip-xml-comments - entferne XML-Kommentare\n"
    u"-r --strip-xml-tags     - entferne XML-Tags\n"
    u"-tTagname,Tagname1,..\t- Zeige Tagblocks Tagname1,.. in Tags Tagname\n"
    u"-RTagname=Inhalt        - Ersetze Inhalt von Tag Tagname\n";

bool IstGleich(const CString& arg, std::u16string_view s) noexcept { return arg.Sicht() == s; }

// True when the first two units are s2; a shorter argument never matches.
bool BeginntMit(const CString& arg, std::u16string_view s2) noexcept
{
    return arg.GetLength() >= 2 && arg.Sicht().substr(0, 2) == s2;
}

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
        if (!BeginntMit(arg, u"-f")) continue;
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

bool UeberdecktGanz(const BrixSubString& view, const CString& s) noexcept
{
    return view.m_pString == &s && view.m_nStart == 0 && view.m_nEnd == s.GetLength();
}

// The option walk over the document in strEingabe. Returns the view of the final text, or a
// view with no data after a usage error. nAktuell tells which argument is being handled.
BrixSubString Filtere(const std::vector<CString>& argumente, CString& strEingabe, CString& strErgebnis,
                      std::size_t& nAktuell, bool& bAufrufFehler)
{
    BrixSubString aktuell(strEingabe);
    for (std::size_t i = 0; i < argumente.size(); ++i) {
        nAktuell = i;
        // The filter reads the input text and writes the result text. After a filter the current
        // view covers the whole result, and swapping the two strings does what a copy would.
        if (UeberdecktGanz(aktuell, strErgebnis))
            strEingabe.Tausche(strErgebnis);
        else if (!UeberdecktGanz(aktuell, strEingabe))
            Zuweisen(strEingabe, aktuell);
        aktuell = BrixSubString(strEingabe);

        const CString& arg = argumente[i];
        bool bGelaufen = false;
        if (IstGleich(arg, u"-d") || IstGleich(arg, u"--delete-empty-tags")) {
            LoescheLeereTags(aktuell, strErgebnis);
            bGelaufen = true;
        } else if (IstGleich(arg, u"-t") || IstGleich(arg, u"-r") || IstGleich(arg, u"--strip-xml-tags")) {
            strErgebnis.Empty();
            aktuell.EntferneTags(strErgebnis);
            bGelaufen = true;
        } else if (IstGleich(arg, u"-c") || IstGleich(arg, u"--strip-xml-comments")) {
            strErgebnis.Empty();
            aktuell.EntferneKommentare(strErgebnis);
            bGelaufen = true;
        } else if (BeginntMit(arg, u"-S")) {
            const BrixSubString name = Wert(argumente, i);
            if (name.Laenge() > 0) {
                UeberspringeTagBlocks(aktuell, name, strErgebnis);
                bGelaufen = true;
            }
        } else if (BeginntMit(arg, u"-s") || BeginntMit(arg, u"-t")) {
            const BrixSubString namen = Wert(argumente, i);
            if (namen.Laenge() > 0) {
                ZeigeTagBlocks(aktuell, namen, strErgebnis);
                bGelaufen = true;
            }
        } else if (BeginntMit(arg, u"-f")) {
            // The file was read already; "-f" alone also consumes the file name.
            if (arg.GetLength() == 2) ++i;
        } else if (BeginntMit(arg, u"-R")) {
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
            if (name.Laenge() > 0) {
                ErsetzeTagInhalt(aktuell, name, strErgebnis, ersatz);
                bGelaufen = true;
            }
        } else {
            bAufrufFehler = true;
            return BrixSubString();
        }
        if (bGelaufen) aktuell = BrixSubString(strErgebnis);
    }
    nAktuell = argumente.size();
    return aktuell;
}

}  // namespace

int FuehreBrixfilterAus(const std::vector<CString>& argumente, const TreiberKanaele& kanaele)
{
    CStdioFile eingabe(kanaele.fdEingabe);
    CStdioFile ausgabe(kanaele.fdAusgabe);
    CStdioFile fehler(kanaele.fdFehler);
    std::size_t nAktuell = argumente.size();  // the argument being handled, for messages
    auto Option = [&]() -> const CString* { return nAktuell < argumente.size() ? &argumente[nAktuell] : nullptr; };
    try {
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

        CString strErgebnis;
        bool bAufrufFehler = false;
        const BrixSubString ergebnis = Filtere(argumente, strEingabe, strErgebnis, nAktuell, bAufrufFehler);
        if (bAufrufFehler) {
            SchreibeAusgabe(CString(kVerwendung), fehler);
            return kStatusAufruf;
        }

        DateiFehler f;
        if (!SchreibeAusgabe(ergebnis, ausgabe, &f)) return MeldeSchreibfehler(fehler, f);
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
