#include "app/Kette.h"

#include <deque>
#include <string>

#include "io/Ausgabe.h"
#include "platform/Textform.h"
#include "xml/Filter.h"

namespace {

// Runs one filter over text into out.
void FuehreAus(const Schritt& schritt, const BrixSubString& text, TextZiel& out)
{
    switch (schritt.art) {
    case OptionsArt::LeereLoeschen: LoescheLeereTags(text, out); break;
    case OptionsArt::TagsEntfernen: text.EntferneTags(out); break;
    case OptionsArt::KommentareEntfernen: text.EntferneKommentare(out); break;
    case OptionsArt::Ueberspringen: UeberspringeTagBlocks(text, schritt.wert, out); break;
    case OptionsArt::Zeigen: ZeigeTagBlocks(text, schritt.wert, out); break;
    case OptionsArt::Ersetzen: ErsetzeTagInhalt(text, schritt.wert, out, schritt.ersatz); break;
    default: break;
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

bool UeberdecktGanz(const BrixSubString& view, const CString& s) noexcept
{
    return view.m_pString == &s && view.m_nStart == 0 && view.m_nEnd == s.GetLength();
}

// A value of the command line in the form of the document: as given for narrow text; for a
// document read as UTF-16 as the units a decoder makes of the bytes (platform/Textform.h), held
// in aWerte.
BrixSubString InForm(const BrixSubString& wert, TextForm eForm, std::deque<CString>& aWerte)
{
    if (eForm == TextForm::Schmal || !wert.HatDaten()) return wert;
    aWerte.emplace_back(SchmalZuIntern(wert.Sicht()));
    aWerte.back().SetzeForm(eForm);
    return BrixSubString(aWerte.back());
}

}  // namespace

void Kette::Laufe(CString& text, TextZiel& aus, std::size_t& nAktuell)
{
    const TextForm eForm = text.Form();
    std::deque<CString> aWerte;
    CString strErgebnis;
    BrixSubString aktuell(text);
    for (std::size_t k = 0; k < m_aSchritte.size(); ++k) {
        Schritt schritt = m_aSchritte[k];
        nAktuell = schritt.nArgument;
        schritt.wert = InForm(schritt.wert, eForm, aWerte);
        schritt.ersatz = InForm(schritt.ersatz, eForm, aWerte);
        // The filter reads the text and writes the result. After a filter the current view
        // covers the whole result, and swapping the two strings does what a copy would.
        if (UeberdecktGanz(aktuell, strErgebnis)) text.Tausche(strErgebnis);
        aktuell = BrixSubString(text);

        if (k + 1 == m_aSchritte.size()) {
            // The last result is not needed in memory: it goes out while it is made.
            strErgebnis.Freigeben();
            FuehreAus(schritt, aktuell, aus);
            return;
        }
        if (LaesstNurAus(schritt.art)) {
            // The result takes the text's own place: no second buffer.
            {
                EigenZiel ziel(text);
                FuehreAus(schritt, aktuell, ziel);
            }
            aktuell = BrixSubString(text);
            continue;
        }
        strErgebnis.Empty();
        strErgebnis.SetzeForm(eForm);
        {
            StringZiel ziel(strErgebnis);
            FuehreAus(schritt, aktuell, ziel);
        }
        aktuell = BrixSubString(strErgebnis);
    }
    aus.Anhaengen(aktuell);
}
