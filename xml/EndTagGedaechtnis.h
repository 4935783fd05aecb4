// EndTagGedaechtnis: the block seeker's memory of end-tag searches, which the scanner asks
// before it walks an element and tells every outcome it finds.
//
// A filter that goes on inside an element after a fault (-S behind an unclosed element) or that
// descends into every element (-R) makes the scanner search the end tags of the same nested
// elements again at every level: O(size x depth). The memory keeps the outcome of each end-tag
// search of an element that spans at least nMindestSpanne bytes, keyed by the element's '<' and
// the search's start, so each is made about once.
//
// Outcomes are kept as places in the whole text, so they carry over between views of one string:
// one found in a view holds in a view with the same end, and a success also in a view that
// ends earlier but not before its end tag.
#pragma once

#include <cstddef>
#include <vector>

#include "brix/BrixSubString.h"
#include "xml/StreuTabelle.h"
#include "xml/XmlFehler.h"

// An element whose end tag is searched: its '<' and where the search begins.
struct EndTagStart {
    std::ptrdiff_t nTagStart;
    std::ptrdiff_t nFrom;
};

class EndTagGedaechtnis {
public:
    // The outcome of one end-tag search; positions are places in the whole text.
    struct Ausgang {
        std::ptrdiff_t nTextEnde;   // m_nEnd of the view it was found in
        std::ptrdiff_t nErgebnis;   // success: just past the end tag; fault: the '<' where it arose, or -1
        int nCode;                  // XmlFehler code
        std::ptrdiff_t nEndTagPos;  // success: the '<' of the element's own end tag
    };

    // Searches that cover fewer bytes than nMindestSpanne are cheap to repeat and are not
    // remembered, which keeps the memory small on long flat documents.
    explicit EndTagGedaechtnis(std::ptrdiff_t nMindestSpanne = 64) noexcept : m_nMindestSpanne(nMindestSpanne) {}
    EndTagGedaechtnis(const EndTagGedaechtnis&) = delete;
    EndTagGedaechtnis& operator=(const EndTagGedaechtnis&) = delete;

    // The remembered outcome of the search for the element whose '<' is at nTagStart, from
    // nFrom (view positions of text), if it holds in text; else null.
    const Ausgang* Erinnere(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom)
    {
        return m_tabelle.Anzahl() == 0 && m_aReihe.empty() && m_aEnden.empty() ? nullptr
                                                                               : Suche(text, nTagStart, nFrom);
    }
    // A walk begins with the search for that element; what it learns goes into the row (see
    // m_aReihe) when it begins behind every search remembered there.
    void Beginne(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom);
    // The walk has ended with nCode. Behind a fault other than a missing end nobody goes back
    // into the element, so what the walk learned inside it is dropped.
    void Beende(int nCode);
    // The outcome of the search of an element, with nErgebnis and nEndTagPos as view positions
    // (-1: none).
    void Merke(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom, std::ptrdiff_t nErgebnis,
               int nCode, std::ptrdiff_t nEndTagPos);
    // The searches of the elements in aOffen (view positions, ascending) all ended because no '<'
    // was left in text (XML_UNERWARTETES_ENDE). Takes the vector's storage when it is long: a
    // walk into a long unclosed stretch learns this of every element it opened there.
    void MerkeEnde(const BrixSubString& text, std::vector<EndTagStart>& aOffen);

    // While on, only missing ends are kept (MerkeEnde), other outcomes are not: a walk by name
    // goes on behind the element it found or stepped over, never inside it, so what it learned
    // inside is never asked again; only behind the start tag of an element whose end is missing
    // does it go on inside, and there it asks for the elements left open. (An element that
    // closed inside is walked again there, once: each byte is walked at most twice.)
    void NurEnden(bool bAn) noexcept { m_bNurEnden = bAn; }

    // Forgets the remembered searches. For a walk that has left an element behind for good: its
    // searches are never asked again, and forgetting them keeps the memory to one top-level
    // element. Results do not change.
    void Vergiss() noexcept;
    // No search will start before place nIndex again: what was learned of elements before
    // it is dropped when room is needed, and stacks of missing ends that lie wholly before it
    // at once.
    void VergissVor(std::ptrdiff_t nIndex) noexcept;
    // Number of searches remembered.
    std::size_t AnzahlGemerkt() const noexcept;

private:
    // The key of a search: the element's '<' and where the search began (places in the text).
    struct Schluessel {
        std::ptrdiff_t nTag;
        std::ptrdiff_t nFrom;
        friend bool operator==(const Schluessel&, const Schluessel&) = default;
        friend bool operator<(const Schluessel& a, const Schluessel& b) noexcept
        {
            return a.nTag < b.nTag || (a.nTag == b.nTag && a.nFrom < b.nFrom);
        }
    };
    // An outcome with its key, as the row keeps them.
    struct Platz {
        Schluessel schluessel;
        Ausgang ausgang;
    };
    // How the table places its keys (see Slot in EndTagGedaechtnis.cpp); nTag -1 when unused.
    struct Ordnung {
        static constexpr Schluessel kFrei{-1, -1};
        static std::size_t Slot(const Schluessel& schluessel, std::size_t nMaske) noexcept;
        static std::ptrdiff_t Ort(const Schluessel& schluessel) noexcept { return schluessel.nTag; }
    };

    const Ausgang* Suche(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom);
    // The remembered outcome in m_aReihe for the key, or null.
    const Ausgang* InReihe(const Schluessel& schluessel) noexcept;

    // Elements whose search ran out of text, as in MerkeEnde: places in the text, ascending.
    struct Ende {
        std::ptrdiff_t nTextEnde;
        std::vector<EndTagStart> aStarts;
    };
    const Ausgang* InEnden(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom) const noexcept;

    std::ptrdiff_t m_nMindestSpanne;
    std::vector<Ende> m_aEnden;
    Ausgang m_Ende{0, -1, XML_UNERWARTETES_ENDE, -1};  // what InEnden answers
    bool m_bNurEnden = false;
    // The outcomes of end-tag searches that began behind every one remembered here, in the
    // order of their keys, which is the order in which a descent (-R) asks for them again: a
    // walk notes its outcomes in m_aNeu as its elements close, and puts them into the row in
    // order when it ends. Read with a cursor, this keeps the memory of a deep element in
    // sequence instead of scattered over a table. Other outcomes go into the table.
    std::vector<Platz> m_aReihe;
    std::vector<Platz> m_aNeu;
    std::size_t m_nZeiger = 0;  // where the next lookup in m_aReihe begins
    bool m_bInReihe = false;    // the current walk's outcomes go into the row
    StreuTabelle<Schluessel, Ausgang, Ordnung> m_tabelle;
};
