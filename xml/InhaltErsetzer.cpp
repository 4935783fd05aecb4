// Replacing element content: the content of every element of one name, at any depth, becomes
// the replacement; everything else is copied. The walk of the document meets the top-level
// elements one by one; the descent into an element of another name keeps its levels on an
// explicit stack and appends straight to out, in the order in which a recursive descent would
// append each level's result as a whole.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "xml/BlockSucher.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

inline bool InhaltErsetzer::Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out)
{
    // At the top level: the searches made inside the elements behind are never asked again, so
    // the seeker holds at most one top-level element's worth.
    m_sucher.Vergiss();
    m_sucher.VergissVor(text, lauf.s);
    m_abtaster.VergissVor(text, lauf.s);
    const TagBlockFund fund = m_abtaster.FindeTagBlock(text, nullptr, lauf.s);
    if (fund.nError == XML_MEHR) {
        // What comes before the element in question stays, whatever follows.
        out.Anhaengen(text.Mitte(lauf.c, fund.nPos - lauf.c));
        lauf.c = lauf.s = fund.nPos;
        lauf.w = fund.nNext;
        return false;
    }
    if (fund.nError != XML_OK) {
        // No further element, or a fault: the rest of the document stays as it is.
        m_bRest = true;
        return false;
    }
    out.Anhaengen(text.Mitte(lauf.c, fund.nPos - lauf.c));
    lauf.c = lauf.s = fund.nNext;
    if (fund.nEndTagOffset >= 0 && m_baum.bSchlicht)
        ErsetzeNachBaum(text, out);
    else
        ErsetzeIn(fund, out);
    return true;
}

template class ElementFilter<InhaltErsetzer>;

namespace {

bool IstNamensZeichen(char ch) noexcept
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

InhaltErsetzer::InhaltErsetzer(const BrixSubString& name, const BrixSubString& replacement)
    : m_name(name), m_ersatz(replacement)
{
    m_abtaster.Zeichne(&m_baum);
    // Only elements that may have the name are recorded (besides the block itself).
    m_baum.namensAnfang = m_name.Sicht();
    // The name of a block is the run of letters and digits behind its '<' (TagName): a name of
    // other bytes matches none, an empty one a block whose '<' no letter or digit follows.
    const std::string_view bytes = m_name.Sicht();
    m_bNameMoeglich = std::all_of(bytes.begin(), bytes.end(), IstNamensZeichen);
}

bool InhaltErsetzer::NameTrifft(const char* d, std::ptrdiff_t nTag, std::ptrdiff_t nTagEnde) const noexcept
{
    // As block.TagName().Vergleiche(m_name) == 0 for the block whose tag ends at nTagEnde. The
    // first byte is compared on its own: most tags differ there, and a call costs more.
    if (!m_bNameMoeglich) return false;
    const auto nLaenge = static_cast<std::ptrdiff_t>(m_name.Sicht().size());
    const std::ptrdiff_t nBehind = nTag + 1 + nLaenge;
    return nBehind <= nTagEnde + 1 &&
           (nLaenge == 0 ||
            (d[nTag + 1] == m_name.Sicht().front() &&
             std::memcmp(d + nTag + 1, m_name.Sicht().data(), static_cast<std::size_t>(nLaenge)) == 0)) &&
           (nBehind == nTagEnde + 1 || !IstNamensZeichen(d[nBehind]));
}

void InhaltErsetzer::ErsetzeNachBaum(const BrixSubString& text, TextZiel& out)
{
    // The elements in document order: one whose name matches gets the replacement for its
    // content (behind its tag when it closes itself), and what lies inside it is passed over;
    // everything else is copied as it stands.
    std::ptrdiff_t c = m_baum.nTag;      // start of the text not yet copied
    std::ptrdiff_t nUeberspringen = -1;  // elements that begin before it lie in a replaced one
    for (const ElementSpur& spur : m_baum.aSpuren) {
        const std::ptrdiff_t nTag = m_baum.Tag(spur);
        if (nTag < nUeberspringen) continue;
        const std::ptrdiff_t nTagEnde = TagEndeBei(text, nTag);
        if (!NameTrifft(text.Daten(), nTag, nTagEnde)) continue;
        out.Anhaengen(text.Mitte(c, nTagEnde + 1 - c));
        out.Anhaengen(m_ersatz);
        const std::ptrdiff_t nEndTag = m_baum.EndTag(spur);
        if (nEndTag < 0) {
            c = nTagEnde + 1;
        } else {
            c = nEndTag;
            nUeberspringen = ElementEndeBei(text, nTag, nEndTag);
        }
    }
    out.Anhaengen(text.Mitte(c, ElementEndeBei(text, m_baum.nTag, m_baum.EndTag(m_baum.aSpuren.front())) - c));
}

void InhaltErsetzer::ErsetzeIn(TagBlockFund fund, TextZiel& out)
{
    // One element block: its content replaced when its name matches, else walked for the
    // elements inside it, level by level. A level's views lie inside the block, so no search in
    // them waits for more text.
    for (;;) {
        const BrixSubString& block = fund.block;
        const bool bTreffer = block.TagName().Vergleiche(m_name) == 0;
        if (fund.nStartTagLen < 0 || fund.nEndTagOffset < 0) {
            // Self-closing: no content to replace, so a match gets the replacement behind it.
            out.Anhaengen(block);
            if (bTreffer) out.Anhaengen(m_ersatz);
        } else {
            out.Anhaengen(block.Mitte(0, fund.nStartTagLen));
            const BrixSubString ende = block.Mitte(fund.nEndTagOffset);
            if (bTreffer) {
                // The content is replaced whole, elements inside it included.
                out.Anhaengen(m_ersatz);
                out.Anhaengen(ende);
            } else {
                m_aStapel.push_back(
                    {block.Mitte(fund.nStartTagLen, fund.nEndTagOffset - fund.nStartTagLen), 0, 0, ende});
            }
        }
        // The next element of the innermost level that has one; a level without one (or with a
        // fault) is copied to its end, with the end tag of the element it is the content of.
        for (;;) {
            if (m_aStapel.empty()) return;
            Ebene& ebene = m_aStapel.back();
            fund = m_sucher.FindeTagBlock(ebene.text, nullptr, ebene.s);
            if (fund.nError != XML_OK) {
                out.Anhaengen(ebene.text.Mitte(ebene.c));
                out.Anhaengen(ebene.ende);
                m_aStapel.pop_back();
                continue;
            }
            out.Anhaengen(ebene.text.Mitte(ebene.c, fund.nPos - ebene.c));
            ebene.c = ebene.s = fund.nNext;
            break;
        }
    }
}

void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, CString& out,
                      const BrixSubString& replacement)
{
    out.Empty();
    StringZiel ziel(out);
    ErsetzeTagInhalt(text, name, ziel, replacement);
}

void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, TextZiel& out,
                      const BrixSubString& replacement)
{
    InhaltErsetzer(name, replacement).Weiter(text, out);
}
