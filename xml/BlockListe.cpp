// The listing of -s / -t with a name list: one line per top-level element of the outer name.
#include <cstdint>

#include "brix/CBrixArray.h"
#include "xml/Abtaster.h"
#include "xml/ErsterTagBlock.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

namespace {

// Counts what is appended to it and keeps nothing.
class ZaehlZiel final : public TextZiel {
public:
    std::int64_t Laenge() const noexcept { return m_nLaenge; }

protected:
    void Ueberlauf(const char*, std::size_t n) override { m_nLaenge += static_cast<std::int64_t>(n); }

private:
    std::int64_t m_nLaenge = 0;
};

// The first name of the list, or no data.
BrixSubString Erster(const CBrixArray<BrixSubString>& aNamen)
{
    const BrixSubString* pErster = aNamen.m_nCount > 0 ? aNamen.Element(0) : nullptr;
    return pErster != nullptr ? *pErster : BrixSubString();
}

}  // namespace

BlockListe::BlockListe(const BrixSubString& names) : m_aNamen(0)
{
    names.Teile(',', m_aNamen, nullptr);
    m_bRest = m_aNamen.m_nCount == 0;  // no outer name: nothing is listed
    m_aussen = Erster(m_aNamen);
    if (!m_bRest) m_aNamen.Entferne(0, 1);
    m_pErster = std::make_unique<ErsterTagBlock>(m_aNamen);
    // The elements of an outer element are recorded by the walk that finds it only when there
    // are inner names to list.
    if (m_aNamen.m_nCount > 0) m_abtaster.Zeichne(&m_baum);
    m_baum.bNurKinder = true;
}

bool BlockListe::HatInnenName(const BrixSubString& name, int i) const noexcept
{
    // As a search by that name compares: a name with no data is the empty name.
    const BrixSubString* pName = m_aNamen.Element(i);
    if (pName == nullptr || !pName->HatDaten()) return name.Laenge() == 0;
    return pName->Laenge() == name.Laenge() && name.Vergleiche(*pName) == 0;
}

// The listing writes no text of its own between the elements: c stays with s. (Made part of the
// walk's loop, which the compiler would not do by itself for a function this long.)
[[gnu::always_inline]] inline bool BlockListe::Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out)
{
    // The walks never come back before s: what the scanner learned there can go. One
    // scanner serves the outer and the inner walks: they walk the same text.
    m_abtaster.VergissVor(text, lauf.s);
    const TagBlockFund fund = m_abtaster.FindeTagBlock(text, &m_aussen, lauf.s);
    if (fund.nError == XML_MEHR) {
        lauf.c = lauf.s = fund.nPos;
        lauf.w = fund.nNext;
        return false;
    }
    if (fund.nError != XML_OK) {
        m_bRest = true;
        return false;
    }
    const BrixSubString& block = fund.block;
    if (m_aNamen.m_nCount == 0 || fund.nStartTagLen < 0 || fund.nEndTagOffset < 0) {
        // No inner names, or a self-closing element, which has no content: the whole block.
        out.Anhaengen(block);
    } else {
        // The inner elements of the content: again and again the earliest block of any
        // inner name (the first name on equal starts), until a search fails. A fault met by
        // any name's search ends the walk of the content.
        out.Anhaengen(block.Mitte(0, fund.nStartTagLen));
        if (m_baum.bSchlicht) {
            // The walk that found the element met its children as the walk of its content
            // would: the children of an inner name, in order.
            for (std::size_t j = 1; j < m_baum.aSpuren.size(); ++j) {
                const std::ptrdiff_t nTag = m_baum.Tag(m_baum.aSpuren[j]);
                const BrixSubString name = text.Mitte(nTag + 1, NamensEndeBei(text, nTag) - (nTag + 1));
                for (int i = 0; i < m_aNamen.m_nCount; ++i) {
                    if (!HatInnenName(name, i)) continue;
                    out.Anhaengen(
                        text.Mitte(nTag, ElementEndeBei(text, nTag, m_baum.EndTag(m_baum.aSpuren[j])) - nTag));
                    break;
                }
            }
        } else {
            const BrixSubString inhalt = block.Mitte(fund.nStartTagLen, fund.nEndTagOffset - fund.nStartTagLen);
            m_pErster->Neu();
            for (std::ptrdiff_t k = 0;;) {
                int nIndex = -1;
                const TagBlockFund innen = m_pErster->Finde(m_abtaster, inhalt, k, nIndex);
                if (innen.nError != XML_OK) break;
                out.Anhaengen(innen.block);
                k = innen.nNext;
            }
        }
        out.Anhaengen(block.Mitte(fund.nEndTagOffset));
    }
    out.Anhaengen("\r\n", 2);
    lauf.c = lauf.s = fund.nNext;
    return true;
}

template class ElementFilter<BlockListe>;

std::int64_t LaengeTagBlockListe(const BrixSubString& text, const BrixSubString& names)
{
    ZaehlZiel ziel;
    ZeigeTagBlocks(text, names, ziel);
    return ziel.Laenge();
}

void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    ZeigeTagBlocks(text, names, ziel);
}

void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, TextZiel& out)
{
    BlockListe(names).Weiter(text, out);
}
