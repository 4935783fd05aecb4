// BrixBlockSucher: the scanner's block finders (FindeTagBlock, FindeNaechstenTagBlock) for filters
// that walk one text many times, with a memory of the end-tag searches already made.
//
// A filter that goes on inside an element after a fault (-S behind an unclosed element) or that
// descends into every element (-R) makes the scanner search the end tags of the same nested
// elements again at every level: O(size x depth), hours for a million nested elements. The
// seeker remembers the outcome of each end-tag search of an element that spans more than a few
// units, keyed by the element's '<' and the search's start, so each is made about once. It also
// remembers where a search for "-->", "?>" or '>' last found nothing: after an unclosed comment,
// -S goes on 100 units further and would otherwise search the rest of the text again at every
// later "<!--".
// Results, positions and error codes are exactly those of the scanner's block finders.
//
// Every view passed to one seeker must be of the same CString, which must not change while the
// seeker lives. Outcomes found in a view carry over to views that end earlier only where that
// cannot change them (a success whose end tag lies within the shorter view).
#pragma once

#include <cstdint>
#include <vector>

#include "brix/BrixSubString.h"

class BrixBlockSucher {
public:
    // Searches that cover fewer units than nMindestSpanne are cheap to repeat and are not
    // remembered, which keeps the memory small on long flat documents.
    explicit BrixBlockSucher(int nMindestSpanne = 64) : m_nMindestSpanne(nMindestSpanne) {}
    BrixBlockSucher(const BrixBlockSucher&) = delete;
    BrixBlockSucher& operator=(const BrixBlockSucher&) = delete;
    virtual ~BrixBlockSucher() = default;

    // As text.FindeTagBlock(*pName, ...), or text.FindeNaechstenTagBlock(...) when pName is null.
    BrixSubString FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, int& nPos, int& nNext,
                                int& nError, int* pnStartTagLen = nullptr, int* pnEndTagOffset = nullptr);
    // Forgets the remembered end-tag searches (not where "-->", "?>" or '>' found nothing). For a
    // walk that has left an element behind for good: its searches are never asked again, and
    // forgetting them keeps the memory to one top-level element. Results do not change.
    void Vergiss() noexcept;

private:
    // The outcome of one end-tag search; positions are buffer indices, not view positions.
    struct Ausgang {
        int nTextEnde;   // m_nEnd of the view it was found in
        int nErgebnis;   // success: just past the end tag; fault: the '<' where it arose, or -1
        int nCode;       // XmlFehler code
        int nEndTagPos;  // success: the '<' of the element's own end tag
    };
    // A search that found nothing from nAb on in a view that ends at nEnde (buffer indices); it
    // finds nothing from a later start in a view that ends no later either.
    struct Fehlanzeige {
        int nAb = 0;
        int nEnde = -1;
    };
    // An element whose end tag is being looked for; view positions.
    struct Offen {
        int nTagStart;  // its '<'
        int nNameEnde;  // the unit that ends its name
        int nFrom;      // where its end-tag search started
    };

    // text.FindeEndTag for the element whose '<' is at nTagStart and whose name ends at
    // nNameEnde, from nFrom; on success nEndTagPos is the position of its end tag's '<'.
    int FindeEndTag(const BrixSubString& text, int nTagStart, int nNameEnde, int nFrom, int& nError,
                    int& nEndTagPos);
    // The remembered outcome of that search, if it holds in text.
    const Ausgang* Erinnere(const BrixSubString& text, int nTagStart, int nFrom);
    void Merke(const BrixSubString& text, int nTagStart, int nFrom, int nErgebnis, int nCode, int nEndTagPos);
    // Moves the notes into the table, in the order they were made.
    void Uebertrage();
    // text.FindeString(s, nFrom) (a single unit: FindeZeichen), unless f shows it finds nothing.
    static int Suche(const BrixSubString& text, const char16_t* s, int nFrom, Fehlanzeige& f);

    // One slot of the memory: an open-addressing table with linear probing, kFrei when unused.
    struct Platz {
        std::uint64_t nSchluessel;
        Ausgang ausgang;
    };
    static constexpr std::uint64_t kFrei = ~std::uint64_t{0};
    const Platz* SucheNach(std::uint64_t nSchluessel) const noexcept;
    void Lege(std::uint64_t nSchluessel, const Ausgang& ausgang);

    int m_nMindestSpanne;
    std::vector<Platz> m_aGedaechtnis;  // empty, or a power of two of slots, at most half used
    std::size_t m_nBelegt = 0;
    // Outcomes remembered but not yet in the table, in the order they were made. A walk that
    // only goes forward (-S until a fault) never asks for an element it has passed, so its
    // outcomes are written one after another here and forgotten unread; they go into the
    // table only when a question could concern one of them.
    std::vector<Platz> m_aNotizen;
    int m_nNotizenMaxTagStart = -1;  // largest '<' (buffer index) among the notes
    std::vector<Offen> m_aOffen;
    Fehlanzeige m_KeinKommentarEnde;    // "-->"
    Fehlanzeige m_KeinPiEnde;           // "?>"
    Fehlanzeige m_KeineSpitzeKlammer;   // '>'

};
