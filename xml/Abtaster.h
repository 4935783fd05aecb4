// BrixAbtaster: the tag-block scanner. It finds element blocks (FindeTagBlock, also for any
// name) and the end tag that closes an element (FindeEndTag) in a view, without building a
// tree; every result is a view cut out of the searched view. Its walk is the only one: the
// view's scanner operations and the filters all use it.
//
// The scanner owns what its walk needs between steps: the stack of open elements, the stack of
// open bracket groups, and what earlier walks learned that a later one would otherwise learn
// again by walking the same text:
// - where the bracket group of a '<' closes, or that it never does (start tags end at the '>'
//   that matches their '<', past nested brackets and quoted runs, so an unclosed bracket in one
//   tag makes that walk run to the end of the text; every later tag inside would run there too);
// - that a search for "-->", "?>", '>' or a closing quote found nothing from some place on.
// Optionally it also asks a memory of end-tag searches (EndTagGedaechtnis, the block seeker's)
// before it walks an element, and tells it every outcome.
//
// Linear time: a walk passes each byte once, except that a bracket group shorter than
// kKurzeGruppe bytes is not remembered and may be walked again by each walk that meets it;
// see Abtaster.cpp for which position can be passed how often.
//
// What is learned holds for the CString the views are of, which must not change while the
// scanner is used with it (a filter writing over text it has already passed is fine: no walk
// goes back there). Use one scanner for the views of one string; outcomes found in one view
// carry over to views of the same string where they cannot differ.
#pragma once

#include <cstdint>
#include <vector>

#include "brix/BrixSubString.h"
#include "xml/EndTagGedaechtnis.h"

class BrixAbtaster {
public:
    // Bracket groups shorter than this are walked again rather than remembered.
    static constexpr std::ptrdiff_t kKurzeGruppe = 64;

    // A scanner that remembers bracket groups of nKurzeGruppe bytes or more and failed
    // searches; with pGedaechtnis also the outcomes of end-tag searches, in that memory (which
    // must outlive the scanner).
    explicit BrixAbtaster(EndTagGedaechtnis* pGedaechtnis = nullptr,
                          std::ptrdiff_t nKurzeGruppe = kKurzeGruppe) noexcept
        : m_pGedaechtnis(pGedaechtnis), m_nKurzeGruppe(nKurzeGruppe)
    {}
    BrixAbtaster(const BrixAbtaster&) = delete;
    BrixAbtaster& operator=(const BrixAbtaster&) = delete;
    virtual ~BrixAbtaster() = default;

    // text.FindeTagBlock(*pName, ...), or text.FindeNaechstenTagBlock(...) when pName is null.
    BrixSubString FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, std::ptrdiff_t& nPos,
                                std::ptrdiff_t& nNext, int& nError, std::ptrdiff_t* pnStartTagLen = nullptr,
                                std::ptrdiff_t* pnEndTagOffset = nullptr);
    // text.FindeEndTag(name, nFrom, ...).
    std::ptrdiff_t FindeEndTag(const BrixSubString& text, const BrixSubString& name, std::ptrdiff_t nFrom, int& nError,
                               std::ptrdiff_t* pnEndTagPos = nullptr);
    // The '>' that closes the group the '<' at nPos opens, past nested groups of "()[]{}<>" and
    // quoted runs, or -1 (as text.FindeSchliessendeKlammer(nPos, "()[]{}<>", 6, true)).
    std::ptrdiff_t SchliessendeSpitzeKlammer(const BrixSubString& text, std::ptrdiff_t nPos);

    // Number of bracket groups remembered.
    std::size_t AnzahlGruppen() const noexcept { return m_Gruppen.Anzahl(); }

    // Tells the scanner that no search will start before nPos in text again (a filter's walk
    // has passed it for good); what it learned about the text before is dropped when room is
    // needed.
    void VergissVor(const BrixSubString& text, std::ptrdiff_t nPos) noexcept;

private:
    // What the bracket walks learned, keyed by the buffer index of a '<': where its group closes,
    // or that it does not close in any view that ends at or before some buffer index.
    class GruppenGedaechtnis {
    public:
        std::size_t Anzahl() const noexcept;
        bool Leer() const noexcept { return m_nBelegt == 0 && m_aNie.empty(); }
        // True when the outcome for the '<' at nIndex is known for a view ending at nEnde; then
        // nZu is the closing '>' (a buffer index) or -1.
        bool Kennt(std::ptrdiff_t nIndex, std::ptrdiff_t nEnde, std::ptrdiff_t& nZu) const noexcept;
        // The group of the '<' at nIndex closes at the '>' at nZu.
        void MerkeZu(std::ptrdiff_t nIndex, std::ptrdiff_t nZu);
        // The groups of the '<' at the (ascending) indices in aAuf do not close in a view that ends
        // at nEnde. Takes the vector's storage.
        void MerkeNie(std::vector<std::ptrdiff_t>& aAuf, std::ptrdiff_t nEnde);
        void VergissVor(std::ptrdiff_t nIndex) noexcept { m_nUntergrenze = nIndex; }

    private:
        // An open-addressing table; a value >= 0 is where the group closes, a value v < 0 says
        // that it does not close in a view ending at or before -(v + 1).
        struct Eintrag {
            std::ptrdiff_t nSchluessel;  // -1: free
            std::ptrdiff_t nWert;
        };
        // A failed walk's '<' that never closed, ascending, kept as the walk's own stack.
        struct NieStapel {
            std::ptrdiff_t nEnde;
            std::vector<std::ptrdiff_t> aAuf;
        };
        void Lege(std::ptrdiff_t nSchluessel, std::ptrdiff_t nWert);
        void Wachse();

        std::vector<Eintrag> m_aTabelle;  // empty, or a power of two of slots, at most half used
        std::size_t m_nBelegt = 0;
        std::vector<NieStapel> m_aNie;
        std::ptrdiff_t m_nUntergrenze = 0;  // keys below it are asked no more
    };

    // That a search found nothing from buffer index nAb on in a view ending at nEnde: it finds
    // nothing from a later start in a view that ends no later either.
    struct Fehlanzeige {
        std::ptrdiff_t nAb = 0;
        std::ptrdiff_t nEnde = -1;
        bool Gilt(std::ptrdiff_t nAbIndex, std::ptrdiff_t nEndeIndex) const noexcept
        {
            return nAbIndex >= nAb && nEndeIndex <= nEnde;
        }
    };
    // The bytes of a name as the end-tag search compares them.
    struct Name {
        const char* p = nullptr;
        std::ptrdiff_t n = 0;  // negative for a view that ends before it starts: equals no name
        bool bOhneGt = true;   // no '>' among the bytes, so a name can end at the first '>'
    };

    // The end-tag walk for the element at the bottom of m_aOffen (named m_Gesucht).
    std::ptrdiff_t EndTagLauf(const BrixSubString& text, int& nError, std::ptrdiff_t* pnEndTagPos);
    // The end tag at p (bytes d[0..n) of text) closes the innermost open element: XML_OK and
    // nWeiter behind it; or the code of the fault.
    int SchliesseElement(const BrixSubString& text, const char* d, std::ptrdiff_t n, std::ptrdiff_t p,
                         std::ptrdiff_t& nWeiter, std::ptrdiff_t* pnEndTagPos);
    // Steps over the comment, processing instruction or declaration at p: XML_OK and nWeiter
    // behind it; or the code of the fault when it is not closed (XML_MEHR in an open text).
    int Einschub(const BrixSubString& text, const char* d, std::ptrdiff_t n, std::ptrdiff_t p, std::ptrdiff_t& nWeiter,
                 bool bOffen);
    // The end-tag search of the block finder for the start tag at p (name end t, first '>' g),
    // perhaps answered by the memory; bNachName for a search by name.
    std::ptrdiff_t SucheElementEnde(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t t, std::ptrdiff_t g,
                                    bool bNachName, int& nError, std::ptrdiff_t& nEndTagPos);
    // Ends the walk with a fault: every open element's search fails alike.
    std::ptrdiff_t Scheitern(const BrixSubString& text, int nCode, std::ptrdiff_t nPos, int& nError);
    // The bracket walk from nAb for the '<' at p (view positions; d[0..n) are text's bytes).
    std::ptrdiff_t SpitzeKlammer(const BrixSubString& text, const char* d, std::ptrdiff_t n, std::ptrdiff_t p,
                                 std::ptrdiff_t nAb);
    // The same from the nested opener at nAb on.
    std::ptrdiff_t SpitzeKlammerVerschachtelt(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t nAb);
    // Notes that none of the bracket groups open in m_aGruppen closes; -1.
    std::ptrdiff_t NieGeschlossen(const BrixSubString& text);
    // The closing quote u of the run opened at i, or -1.
    std::ptrdiff_t QuoteEnde(const BrixSubString& text, std::ptrdiff_t i, char u);
    // The walk for the '<' at p met the quote u at i, and it is not closed: -1.
    std::ptrdiff_t QuoteOffen(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t i, char u);
    // text.FindeString(s, nFrom), or the byte search for a one-byte s, with f remembering failure.
    static std::ptrdiff_t Suche(const BrixSubString& text, const char* s, std::ptrdiff_t nFrom, Fehlanzeige& f);

    EndTagGedaechtnis* m_pGedaechtnis;
    std::ptrdiff_t m_nKurzeGruppe;
    // The elements whose end tag the walk looks for: the one asked for (named m_Gesucht), then
    // the ones opened inside it and not yet closed, innermost last; a nested one's name ends
    // just before where its search began.
    std::vector<EndTagStart> m_aOffen;
    Name m_Gesucht;
    // The open bracket groups, by the position of their opener; the first is the '<' the walk
    // is for, the others close with the partner of their opener.
    std::vector<std::ptrdiff_t> m_aGruppen;
    GruppenGedaechtnis m_Gruppen;
    Fehlanzeige m_KeinKommentarEnde;     // "-->"
    Fehlanzeige m_KeinPiEnde;            // "?>"
    Fehlanzeige m_KeinDeklarationsEnde;  // the '>' of a declaration
    Fehlanzeige m_KeinQuote[2];          // '"', '\''
};
