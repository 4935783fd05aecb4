// BrixAbtaster: the tag-block scanner. It finds element blocks (FindeTagBlock) and the end tag
// that closes an element (FindeEndTag) in a view, without building a tree; every result is a view
// cut out of the searched view. Its walk is the only one: the view's scanner operations and the
// filters all use it. It owns the stacks of its walk and what walks learned that a later one
// would learn again (where bracket groups close or that they never do, searches that found
// nothing), keyed by places in the whole text, so they hold for every view of one string (which
// may drop bytes before them); and it may ask a memory of end-tag searches (EndTagGedaechtnis).
// Abtaster.cpp says why every walk is linear.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "brix/BrixSubString.h"
#include "xml/EndTagGedaechtnis.h"
#include "xml/StreuTabelle.h"
#include "xml/XmlFehler.h"

// What a block search found, or why it found none.
struct TagBlockFund {
    BrixSubString block;                // the element block, the stretch of a fault, or no data
    std::ptrdiff_t nPos = -1;           // the block's '<', or where the fault arose (XML_MEHR: where
                                        // the search will begin again); -1 when there is none
    std::ptrdiff_t nNext = -1;          // behind the block, or where a caller goes on behind a fault
                                        // (XML_MEHR: where that search will read on, at nPos or behind)
    int nError = XML_OK;                // XML_OK when a block was found
    std::ptrdiff_t nStartTagLen = -1;   // found: the start tag's length; -1 for a self-closing tag
    std::ptrdiff_t nEndTagOffset = -1;  // found: where the end tag begins in the block; -1 likewise
};

// A block search's answer through the parameters of the view's block finders
// (BrixSubString::FindeTagBlock): nPos, nNext and nError always, the start tag's length and the
// end tag's place only for a block found.
BrixSubString Beantworte(const TagBlockFund& fund, std::ptrdiff_t& nPos, std::ptrdiff_t& nNext, int& nError,
                         std::ptrdiff_t* pnStartTagLen = nullptr, std::ptrdiff_t* pnEndTagOffset = nullptr) noexcept;

// One element that a recording walk met inside the element it walked (see BrixAbtaster::Zeichne):
// where the '<' of its start tag and of its end tag stand, counted from the '<' of the element
// walked (kKeinEndTag for a self-closing one). In a recording that is schlicht the rest follows
// from these (NamensEndeBei and the others below).
struct ElementSpur {
    static constexpr std::uint32_t kKeinEndTag = UINT32_MAX;
    std::uint32_t nTag;
    std::uint32_t nEndTag;
};

// The elements of one element that the walk for its end met, in document order, itself first;
// of the others only its children when bNurKinder, and only those whose tag begins (behind its
// '<') with the bytes of namensAnfang. bSchlicht: every start tag among all the elements met ends
// at its first '>' and holds no other '<' (and the walk met every element it passed); then a walk
// over the content of any of them, level by level, meets exactly these elements, with these
// ends. A recording that would take more than an eighth of the bytes walked (beyond 64 KiB), or
// of an element of 4 GiB or more, is given up: it is then not schlicht and holds nothing.
struct ElementBaum {
    std::vector<ElementSpur> aSpuren;
    std::ptrdiff_t nTag = -1;  // view position of the '<' of the element walked
    bool bSchlicht = false;
    bool bNurKinder = false;
    std::string_view namensAnfang;

    // View positions of the '<' of the start tag and of the end tag (-1: none) of spur.
    std::ptrdiff_t Tag(const ElementSpur& spur) const noexcept { return nTag + spur.nTag; }
    std::ptrdiff_t EndTag(const ElementSpur& spur) const noexcept
    {
        return spur.nEndTag == ElementSpur::kKeinEndTag ? -1 : nTag + spur.nEndTag;
    }
};

// For an element of a recording that is schlicht, in the view it was recorded in, from the '<'
// of its start tag and of its end tag (-1: none): where its name ends (at the first blank, '/',
// '>', line feed, carriage return or tab behind its '<'), the '>' that ends its start tag, and
// where it ends (behind its end tag, or behind its tag when it closes itself).
std::ptrdiff_t NamensEndeBei(const BrixSubString& text, std::ptrdiff_t nTag) noexcept;
std::ptrdiff_t TagEndeBei(const BrixSubString& text, std::ptrdiff_t nTag) noexcept;
std::ptrdiff_t ElementEndeBei(const BrixSubString& text, std::ptrdiff_t nTag, std::ptrdiff_t nEndTag) noexcept;

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

    // The next element block at this level of text from nAb on whose start-tag name is *pName, or
    // whatever its name when pName is null (see BrixSubString::FindeTagBlock).
    TagBlockFund FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, std::ptrdiff_t nAb);
    // text.FindeEndTag(name, nFrom, ...).
    std::ptrdiff_t FindeEndTag(const BrixSubString& text, const BrixSubString& name, std::ptrdiff_t nFrom, int& nError,
                               std::ptrdiff_t* pnEndTagPos = nullptr);
    // The '>' that closes the group the '<' at nPos opens, past nested groups of "()[]{}<>" and
    // quoted runs, or -1 (as text.FindeSchliessendeKlammer(nPos, "()[]{}<>", 6, true)).
    std::ptrdiff_t SchliessendeSpitzeKlammer(const BrixSubString& text, std::ptrdiff_t nPos);

    // Lets every walk for the end of an element that FindeTagBlock makes record the elements it
    // meets into *pBaum (null: not), which must outlive the scanner's use.
    void Zeichne(ElementBaum* pBaum) noexcept { m_pBaum = pBaum; }

    // Number of bracket groups remembered.
    std::size_t AnzahlGruppen() const noexcept { return m_Gruppen.Anzahl(); }

    // Tells the scanner that no search will start before nPos in text again (a filter's walk
    // has passed it for good); what it learned about the text before is dropped when room is
    // needed.
    void VergissVor(const BrixSubString& text, std::ptrdiff_t nPos) noexcept;

private:
    // What the bracket walks learned, keyed by the place of a '<' in the whole text: where its
    // group closes, or that it does not close in any view that ends at or before some place.
    class GruppenGedaechtnis {
    public:
        std::size_t Anzahl() const noexcept;
        bool Leer() const noexcept { return m_tabelle.Anzahl() == 0 && m_aNie.empty(); }
        // True when the outcome for the '<' at nIndex is known for a view ending at nEnde; then
        // nZu is the closing '>' or -1.
        bool Kennt(std::ptrdiff_t nIndex, std::ptrdiff_t nEnde, std::ptrdiff_t& nZu) const noexcept;
        // The group of the '<' at nIndex closes at the '>' at nZu. (A walk is made only where the
        // memory did not answer, so what it found is worth more: a close holds in every view, a
        // failure in a longer view covers that of a shorter one.)
        void MerkeZu(std::ptrdiff_t nIndex, std::ptrdiff_t nZu) { m_tabelle.Lege(nIndex, nZu); }
        // The groups of the '<' at the (ascending) places in aAuf do not close in a view that ends
        // at nEnde. Takes the vector's storage.
        void MerkeNie(std::vector<std::ptrdiff_t>& aAuf, std::ptrdiff_t nEnde);
        void VergissVor(std::ptrdiff_t nIndex) noexcept;

    private:
        // A key is the place of a '<' (-1: free); a value >= 0 is where its group closes, a value
        // v < 0 says that it does not close in a view ending at or before -(v + 1).
        struct Ordnung {
            static constexpr std::ptrdiff_t kFrei = -1;
            static std::size_t Slot(std::ptrdiff_t nIndex, std::size_t nMaske) noexcept;
            static std::ptrdiff_t Ort(std::ptrdiff_t nIndex) noexcept { return nIndex; }
        };
        // A failed walk's '<' that never closed, ascending, kept as the walk's own stack.
        struct NieStapel {
            std::ptrdiff_t nEnde;
            std::vector<std::ptrdiff_t> aAuf;
        };

        StreuTabelle<std::ptrdiff_t, std::ptrdiff_t, Ordnung> m_tabelle;
        std::vector<NieStapel> m_aNie;
    };

    // That a search found nothing from place nAb on in a view ending at nEnde: it finds
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

    // The end-tag walk for the element at the bottom of m_aOffen (named m_Gesucht), from nAb on.
    std::ptrdiff_t EndTagLauf(const BrixSubString& text, std::ptrdiff_t nAb, int& nError, std::ptrdiff_t* pnEndTagPos);
    // Moves the view positions of the stacks and the recording by nUm (the view's start moved).
    void Verschiebe(std::ptrdiff_t nUm) noexcept;
    // Records the nested start tag at p whose group closes at k (-1: not in the view), if the
    // recording wants it: its place in the recording, or kKeineSpur.
    std::size_t ZeichneStart(const char* d, std::ptrdiff_t p, std::ptrdiff_t k);
    // The recording cannot serve (or would grow too large): it is dropped, and the walk records
    // no more.
    void GibZeichnungAuf() noexcept;
    static constexpr std::size_t kKeineSpur = static_cast<std::size_t>(-1);
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
    // The same from the nested opener at nAb on (or from where the walk for p stopped in a
    // shorter view: m_KlammerHalt).
    std::ptrdiff_t SpitzeKlammerVerschachtelt(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t nAb);
    // The walk from nAb on with the groups of m_aGruppen open (the '<' first).
    std::ptrdiff_t KlammerLauf(const BrixSubString& text, std::ptrdiff_t nAb);
    // Notes that none of the bracket groups open in m_aGruppen closes; -1. In a text that goes
    // on, the walk stopped at nHalt first keeps where it stands (m_KlammerHalt).
    std::ptrdiff_t NieGeschlossen(const BrixSubString& text, std::ptrdiff_t nHalt);
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
    // While a walk records (m_pZeichnung): where the open elements of m_aOffen stand in it
    // (kKeineSpur for those it leaves out).
    ElementBaum* m_pBaum = nullptr;
    ElementBaum* m_pZeichnung = nullptr;
    std::vector<std::size_t> m_aSpurOffen;
    Name m_Gesucht;
    // A walk of the block finder for the end of an element that stopped because the text went on
    // (XML_MEHR), as places in the whole text: the element's '<', the end of its name, its first
    // '>', where its search began; the view's start and end then, the recording it made, where
    // the walk goes on. m_aOffen, m_aSpurOffen and that recording stay as it left them until
    // another walk begins. The walk for that element goes on from there in a longer view of the
    // text, so each byte of an element is walked once however it comes in; the stacks move only
    // when the view's start moved, which happens once for an element at most (the text before
    // it goes at once).
    struct Halt {
        std::ptrdiff_t nTag = -1;  // -1: none
        std::ptrdiff_t nName = -1;
        std::ptrdiff_t nGt = -1;
        std::ptrdiff_t nFrom = -1;
        std::ptrdiff_t nBasis = 0;
        ElementBaum* pBaum = nullptr;
        std::ptrdiff_t nEnde = -1;
        std::ptrdiff_t nWeiter = -1;
    };
    // Whether m_Halt is the walk for the element at p in text, and text is a longer view.
    bool HaltGilt(const BrixSubString& text, std::ptrdiff_t p) const noexcept
    {
        return m_Halt.nTag >= 0 && m_Halt.nTag == p + text.AbsolutAnfang() && m_Halt.pBaum == m_pBaum &&
               text.AbsolutEnde() >= m_Halt.nEnde;
    }
    Halt m_Halt;
    std::ptrdiff_t m_nHaltWeiter = -1;  // where the last walk that stopped goes on (view position)
    // The open bracket groups, by the position of their opener; the first is the '<' the walk
    // is for, the others close with the partner of their opener.
    std::vector<std::ptrdiff_t> m_aGruppen;
    GruppenGedaechtnis m_Gruppen;
    Fehlanzeige m_KeinKommentarEnde;     // "-->"
    Fehlanzeige m_KeinPiEnde;            // "?>"
    Fehlanzeige m_KeinDeklarationsEnde;  // the '>' of a declaration
    Fehlanzeige m_KeinQuote[2];          // '"', '\''
    // A bracket walk that reached the end of a text that goes on, without the group of its '<'
    // closing, as places in the whole text: that '<', where the walk goes on (the end, or an
    // unclosed quote or nested '<' it stopped at), the view's end then, and the groups open
    // there. In a longer view the walk for that '<' goes on from there, so a group that stays
    // open while the text comes in pieces is walked once, not once per piece (but for the stretch
    // up to its first nested opener, which is walked again each time).
    struct KlammerHalt {
        std::ptrdiff_t nAuf = -1;  // -1: none
        std::ptrdiff_t nWeiter = 0;
        std::ptrdiff_t nEnde = 0;
        std::vector<std::ptrdiff_t> aGruppen;
    };
    KlammerHalt m_KlammerHalt;
};
