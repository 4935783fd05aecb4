// The document filters behind the command-line options.
//
// Each filter is an object that reads its input as it comes: Weiter walks on from where the last
// call stopped over the text it is given (everything of the input from where the filter last
// said it still needs it, perhaps with more to follow: BrixSubString::EndeOffen), appends to out
// whatever of its result is final, and tells where it stands. A whole document is the case of a
// single call with a text that does not go on; the free functions below do exactly that. So one
// walk serves a file, a stream and a document held whole.
//
// None reports an error: malformed text ends a walk and the rest is copied unchanged (or the
// listing ends). In a text that goes on, a walk whose outcome depends on what follows waits
// (XmlFehler XML_MEHR) and goes on at the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "brix/TextZiel.h"
#include "xml/Abtaster.h"
#include "xml/BlockSucher.h"
#include "xml/ErsterTagBlock.h"

// Where a filter stands after a call; places in the whole input (BrixSubString::AbsolutAnfang).
struct FilterStand {
    std::ptrdiff_t nBehalten;  // the input before it is no longer needed
    std::ptrdiff_t nWeiter;    // the next call reads on from here (what trying again costs)
};

class BrixFilter {
public:
    BrixFilter() = default;
    BrixFilter(const BrixFilter&) = delete;
    BrixFilter& operator=(const BrixFilter&) = delete;
    virtual ~BrixFilter() = default;

    // Walks text, which must begin where the filter stood (its nBehalten) or before; the first
    // call takes the text's start as the start of the input. Once a text that does not go on has
    // been walked, the filter is done.
    virtual FilterStand Weiter(const BrixSubString& text, TextZiel& out) = 0;
};

// -c: copies the text without its comments ("<!--" to the next "-->"). The carriage returns
// right behind a comment go with it; its line feeds too when it begins a line (starts the input
// or follows a CR or LF). A comment that is never closed stays, as does all text after it. Holds
// the comment it is in, and at most three bytes that may begin one.
class KommentarEntferner final : public BrixFilter {
public:
    FilterStand Weiter(const BrixSubString& text, TextZiel& out) override;

private:
    enum class Zustand : unsigned char { Text, Kommentar, Zeilenende };
    Zustand m_eZustand = Zustand::Text;
    bool m_bBegonnen = false;
    bool m_bZeilenAnfang = false;   // the comment walked over begins a line
    std::ptrdiff_t m_nAnfang = 0;   // the input's start
    std::ptrdiff_t m_nKopiert = 0;  // what lies before is written (or left out)
    std::ptrdiff_t m_nGesucht = 0;  // in a comment: "-->" is not in the text before
};

// -t: copies the text without markup, every run from a '<' to the next '>'. A '<' with no '>'
// after it stays, with all text after it. Holds the tag it is in.
class TagEntferner final : public BrixFilter {
public:
    FilterStand Weiter(const BrixSubString& text, TextZiel& out) override;

private:
    bool m_bBegonnen = false;
    bool m_bDrin = false;           // in a tag, whose '<' is at m_nKopiert
    std::ptrdiff_t m_nKopiert = 0;  // what lies before is written (or left out)
    std::ptrdiff_t m_nGesucht = 0;  // in a tag: no '>' in the text before
};

// Where the walk of an element filter stands in the text of one call (positions in that text).
struct ElementLauf {
    std::ptrdiff_t c;       // start of the text not yet copied (or, for a listing, passed)
    std::ptrdiff_t s;       // where the next search starts
    std::ptrdiff_t w = -1;  // where a search that waits for more text reads on (its cost)
};

// The walk the element filters share: from one top-level element to the next, each found and
// written by the filter's Schritt(text, lauf, out), which returns false when its search waits for
// more text or when it sets m_bRest (no further element, or a fault). Then the rest of the text
// is copied (Art::kRestBleibt) or dropped. The text before c and s is never walked again.
template <class Art>
class ElementFilter : public BrixFilter {
public:
    FilterStand Weiter(const BrixSubString& text, TextZiel& out) final;

protected:
    bool m_bRest = false;  // the walk is over: the rest is copied or dropped

private:
    bool m_bBegonnen = false;
    std::ptrdiff_t m_nKopiert = 0;  // what lies before is written (or left out)
    std::ptrdiff_t m_nSuche = 0;    // where the next block search begins
};

template <class Art>
FilterStand ElementFilter<Art>::Weiter(const BrixSubString& text, TextZiel& out)
{
    if (!text.HatDaten()) return {m_nKopiert, m_nSuche};
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (!m_bBegonnen) {
        m_bBegonnen = true;
        m_nKopiert = m_nSuche = nBasis;
    }
    ElementLauf lauf{m_nKopiert - nBasis, m_nSuche - nBasis};
    while (!m_bRest && static_cast<Art*>(this)->Schritt(text, lauf, out)) {
    }
    if (m_bRest) {
        if (Art::kRestBleibt) out.Anhaengen(text.Mitte(lauf.c));
        lauf.c = lauf.s = text.Laenge();
    }
    m_nKopiert = nBasis + lauf.c;
    m_nSuche = nBasis + lauf.s;
    return {m_nKopiert, lauf.w < 0 ? m_nSuche : nBasis + lauf.w};
}

// -d: copies the text without its empty top-level elements (self-closing, or nothing between
// start and end tag). Stops at the first fault and copies the rest. Holds the top-level element
// it is in.
class LeerLoescher final : public ElementFilter<LeerLoescher> {
public:
    static constexpr bool kRestBleibt = true;
    bool Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out);

private:
    BrixAbtaster m_abtaster;
};

// -s, or -t with a name list "outer,inner1,...": one line (ending in CR LF) per top-level outer
// element, the whole element or, with inner names, its start tag, the inner elements of those
// names directly in its content, and its end tag. Ends at the first fault. Holds the top-level
// element it is in.
class BlockListe final : public ElementFilter<BlockListe> {
public:
    // names must outlive the filter.
    explicit BlockListe(const BrixSubString& names);
    static constexpr bool kRestBleibt = false;
    bool Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out);

private:
    // Whether an element named name (its bytes up to the end of its name) has the inner name i.
    bool HatInnenName(const BrixSubString& name, int i) const noexcept;

    CBrixArray<BrixSubString> m_aNamen;  // the inner names
    BrixSubString m_aussen;
    ElementBaum m_baum;  // the children of the outer element found last
    BrixAbtaster m_abtaster;
    std::unique_ptr<ErsterTagBlock> m_pErster;  // made once the inner names are known
};

// -S: steps over the top-level elements of one name and keeps what follows the last of them;
// the text before a fault stays, the stretch of the fault is left out (see the man page). Holds
// what follows the last element so far.
class BlockSpringer final : public ElementFilter<BlockSpringer> {
public:
    // name must outlive the filter.
    explicit BlockSpringer(const BrixSubString& name) : m_name(name) {}
    static constexpr bool kRestBleibt = true;
    bool Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out);

private:
    BrixSubString m_name;
    BrixBlockSucher m_sucher;
};

// -R: replaces the content of every element of one name, at any depth, with the replacement
// (a self-closing one gets it behind its tag). Each level of the descent stops at its first
// fault and copies the rest of that level. Holds the top-level element it is in.
class InhaltErsetzer final : public ElementFilter<InhaltErsetzer> {
public:
    // name and replacement must outlive the filter.
    InhaltErsetzer(const BrixSubString& name, const BrixSubString& replacement);
    static constexpr bool kRestBleibt = true;
    bool Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out);

private:
    // One level of the descent: the view walked and the end tag that follows it.
    struct Ebene {
        BrixSubString text;  // the content of an element of another name
        std::ptrdiff_t c;    // start of the text not yet copied
        std::ptrdiff_t s;    // where the next search starts
        BrixSubString ende;  // that element's end tag, appended when the level is done
    };
    // Writes the element block found at the top level, its content walked level by level.
    void ErsetzeIn(TagBlockFund fund, TextZiel& out);
    // The same for a block whose elements the walk that found it met as every level would
    // (m_baum.bSchlicht), from what it recorded: one pass over them.
    void ErsetzeNachBaum(const BrixSubString& text, TextZiel& out);
    // Whether the block whose tag runs from the '<' at nTag to the '>' at nTagEnde (in d) has the
    // name, as TagName tells a block's name.
    bool NameTrifft(const char* d, std::ptrdiff_t nTag, std::ptrdiff_t nTagEnde) const noexcept;

    BrixSubString m_name;
    bool m_bNameMoeglich = false;  // the name is letters and digits only
    BrixSubString m_ersatz;
    ElementBaum m_baum;
    BrixAbtaster m_abtaster;   // the walk of the top level, which records the elements of each block
    BrixBlockSucher m_sucher;  // the walks of the levels inside a block that was not recorded whole
    std::vector<Ebene> m_aStapel;
};

// Each walk is made in its filter's file, where its Schritt can be inlined.
extern template class ElementFilter<LeerLoescher>;
extern template class ElementFilter<BlockListe>;
extern template class ElementFilter<BlockSpringer>;
extern template class ElementFilter<InhaltErsetzer>;

// The filters over a whole document. Each reads a view and writes a CString that the view does
// not refer to; out is emptied first. Each also writes to any TextZiel instead (appending to what
// it holds).

// -d
void LoescheLeereTags(BrixSubString text, CString& out);
void LoescheLeereTags(BrixSubString text, TextZiel& out);

// -s / -t with a list
void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, CString& out);
void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, TextZiel& out);
// Number of bytes that ZeigeTagBlocks writes for the same arguments.
std::int64_t LaengeTagBlockListe(const BrixSubString& text, const BrixSubString& names);

// -S
void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, CString& out);
void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, TextZiel& out);

// -R
void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, CString& out,
                      const BrixSubString& replacement);
void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, TextZiel& out,
                      const BrixSubString& replacement);
