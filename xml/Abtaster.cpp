// The scanner's walk: the block finder over one level of a view, the end-tag search with an
// explicit stack of open elements, and the bracket walk that finds where a nested start tag
// ends. Walks read the view's bytes directly (d[0..n)) and compare names where they stand.
//
// Why each walk is linear in the length n of the view:
// - The block finder moves forward from nPos and never back; it steps over each element by one
//   end-tag search. The filters call it again only from nNext, which lies behind the '<' the
//   call ended at (they stop when it does not), and the end-tag search it makes is the only
//   thing that looks behind nNext.
// - The end-tag search moves forward from nFrom, and from each '<' it goes on behind a stretch
//   that contains that '<': a comment, instruction or declaration, an end tag, a self-closing
//   tag, or the name of a start tag (a name holds no '>', and a tag's '>' lies behind its name).
//   So it passes each byte once.
// - The bracket walk for a start tag passes the bytes of its group once, but jumps over each
//   nested '<' group that an earlier walk measured (SpitzeKlammer) and stops at once in a group
//   known never to close. A walk that starts where another walk was in the same state (outside
//   quotes, at a '<' that walk opened) repeats that walk from there on; it does not happen for
//   groups of kKurzeGruppe bytes or more, as those are remembered. Walks in different states
//   (one inside a quoted run where the other is not) never fall into step: the two quote kinds
//   let three states at most pass a byte apart, so each byte is passed at most three times by
//   remembered walks, plus kKurzeGruppe times by short ones that start before it.
// - A search for "-->", "?>", '>' or a closing quote that finds nothing is remembered, so the
//   same fruitless search is not made again from a later start (-S goes on 100 units, a few
//   hundred bytes at most, behind an unclosed comment and would otherwise search the rest of the
//   text at every "<!--").
// With a memory of end-tag searches (EndTagGedaechtnis) a filter may walk into elements whose
// end was searched before (-S behind a fault, -R at every level); the memory answers for each
// element that spans more than a few bytes, so each such element is walked about once.
// In a text that goes on, the walk for the end of an element that meets what depends on what
// follows (XML_MEHR) stops there and goes on from there when more has come (m_Halt), so each
// byte of an element is walked once however the text comes in. Other searches that wait (an
// unclosed comment or bracket group, a start tag cut off) are made again from where they began;
// the chain lets that happen only as far as the text that came pays for it (app/Kette.cpp),
// which keeps the walks linear in what is read.
#include "xml/Abtaster.h"

#include <algorithm>

#include "brix/ByteSuche.h"
#include "platform/Textform.h"
#include "xml/EndTagGedaechtnis.h"
#include "xml/XmlFehler.h"

namespace {

using brixsuche::FindeByte;
using brixsuche::GleicheBytes;
using brixsuche::HatEinesVon;

// A block finder stops at most this many UTF-16 units behind an unclosed comment, declaration
// or processing instruction, so that a caller going on from nNext skips only a little text.
constexpr std::ptrdiff_t kSprungNachFehler = 100;

// What the walks ask of a byte, one table lookup per byte: kNamensEnde for the bytes that end
// a start-tag name (blank, '/', '>', line feed, carriage return, tab), kKlammer for the brackets
// "()[]{}<>" and the two quotes.
constexpr unsigned char kNamensEnde = 1;
constexpr unsigned char kKlammer = 2;

struct ByteKlassen {
    unsigned char a[256] = {};
    constexpr ByteKlassen()
    {
        for (const char c : {' ', '/', '>', '\n', '\r', '\t'}) a[static_cast<unsigned char>(c)] |= kNamensEnde;
        for (const char c : {'(', ')', '[', ']', '{', '}', '<', '>', '"', '\''})
            a[static_cast<unsigned char>(c)] |= kKlammer;
    }
};
constexpr ByteKlassen kKlassen;

inline bool IstKlammerOderQuote(char c) noexcept { return (kKlassen.a[static_cast<unsigned char>(c)] & kKlammer) != 0; }

// The first byte of the name-end set in d[nFrom..n), or -1; bKlammer tells whether a bracket
// or quote stands before it (then the bracket walk must look at the name too).
inline std::ptrdiff_t NamensEnde(const char* d, std::ptrdiff_t n, std::ptrdiff_t nFrom, bool& bKlammer) noexcept
{
    unsigned b = 0;
    for (std::ptrdiff_t i = nFrom; i < n; ++i) {
        const unsigned k = kKlassen.a[static_cast<unsigned char>(d[i])];
        if ((k & kNamensEnde) != 0) {
            bKlammer = (b & kKlammer) != 0;
            return i;
        }
        b |= k;
    }
    return -1;
}

// First '<' in d[nFrom..n), or -1; a start outside 0..n finds nothing.
inline std::ptrdiff_t NaechstesKleiner(const char* d, std::ptrdiff_t n, std::ptrdiff_t nFrom) noexcept
{
    if (nFrom < 0 || nFrom > n) return -1;
    return FindeByte(d, n, nFrom, '<');
}

// True when the '<' at p opens a comment "<!--" (p + 1 is known to be inside the view).
inline bool IstKommentar(const char* d, std::ptrdiff_t n, std::ptrdiff_t p) noexcept
{
    return p < n - 3 && d[p + 2] == '-' && d[p + 3] == '-';
}

// The length of a view as the scanner sees it: a document read as UTF-16 may end in its odd last
// byte, which is half a unit and so not there for the scanner (it stays in the text and comes
// out with what follows the walk).
inline std::ptrdiff_t ScanLaenge(const BrixSubString& text) noexcept
{
    const std::ptrdiff_t n = text.Laenge();
    if (n < 3 || text.Form() != TextForm::AusUtf16) return n;
    const auto* d = reinterpret_cast<const unsigned char*>(text.Daten());
    return d[n - 3] == 0xF8 && (d[n - 2] & 0xC0) == 0x80 && (d[n - 1] & 0xC0) == 0x80 ? n - 3 : n;
}

// A place in the whole text (BrixSubString::AbsolutAnfang) as a view position; -1 stays -1.
inline std::ptrdiff_t Relativ(const BrixSubString& text, std::ptrdiff_t nIndex) noexcept
{
    return nIndex < 0 ? -1 : nIndex - text.AbsolutAnfang();
}

// Slot of a '<' in a table of 2^k slots (nMaske = 2^k - 1): every bit of the index mixed in
// (the 64-bit finaliser of MurmurHash3), so that the tags of a stretch scatter.
inline std::size_t Streuung(std::ptrdiff_t nIndex, std::size_t nMaske) noexcept
{
    auto h = static_cast<std::uint64_t>(nIndex);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::size_t>(h) & nMaske;
}

}  // namespace

// --- What was learned about bracket groups ---

namespace {

// Bracket walks that failed with this many '<' open keep them as their stack; fewer go into the
// table one by one. At most kMaxStapel such stacks are kept (each lookup reads them all).
constexpr std::size_t kLangerStapel = 64;
constexpr std::size_t kMaxStapel = 16;

// The byte that closes a group opened by u.
inline char Partner(char u) noexcept
{
    switch (u) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    default: return '>';
    }
}

}  // namespace

std::size_t BrixAbtaster::GruppenGedaechtnis::Ordnung::Slot(std::ptrdiff_t nIndex, std::size_t nMaske) noexcept
{
    return Streuung(nIndex, nMaske);
}

std::size_t BrixAbtaster::GruppenGedaechtnis::Anzahl() const noexcept
{
    std::size_t n = m_tabelle.Anzahl();
    for (const NieStapel& stapel : m_aNie) n += stapel.aAuf.size();
    return n;
}

bool BrixAbtaster::GruppenGedaechtnis::Kennt(std::ptrdiff_t nIndex, std::ptrdiff_t nEnde,
                                             std::ptrdiff_t& nZu) const noexcept
{
    if (const std::ptrdiff_t* pWert = m_tabelle.Suche(nIndex)) {
        if (*pWert >= 0) {
            // Closed at *pWert: in a view that ends before it, not at all.
            nZu = *pWert < nEnde ? *pWert : -1;
            return true;
        }
        // Never closed in a view as long as this one or longer: not in this one either.
        if (nEnde <= -(*pWert + 1)) {
            nZu = -1;
            return true;
        }
    }
    for (const NieStapel& stapel : m_aNie) {
        if (nEnde <= stapel.nEnde && std::binary_search(stapel.aAuf.begin(), stapel.aAuf.end(), nIndex)) {
            nZu = -1;
            return true;
        }
    }
    return false;
}

void BrixAbtaster::GruppenGedaechtnis::VergissVor(std::ptrdiff_t nIndex) noexcept
{
    m_tabelle.VergissVor(nIndex);
    std::erase_if(m_aNie, [nIndex](const NieStapel& stapel) { return stapel.aAuf.back() < nIndex; });
}

void BrixAbtaster::GruppenGedaechtnis::MerkeNie(std::vector<std::ptrdiff_t>& aAuf, std::ptrdiff_t nEnde)
{
    // A walk that went on in a longer view (the text came in pieces) holds every group the one
    // before it held: that one's stack says nothing more.
    std::erase_if(m_aNie, [&aAuf, nEnde](const NieStapel& stapel) {
        return stapel.nEnde <= nEnde && stapel.aAuf.size() <= aAuf.size() &&
               std::includes(aAuf.begin(), aAuf.end(), stapel.aAuf.begin(), stapel.aAuf.end());
    });
    if (aAuf.size() < kLangerStapel || m_aNie.size() >= kMaxStapel) {
        for (const std::ptrdiff_t nIndex : aAuf) m_tabelle.Lege(nIndex, -(nEnde + 1));
        aAuf.clear();
        return;
    }
    m_aNie.push_back(NieStapel{nEnde, std::move(aAuf)});
    aAuf.clear();
}

void BrixAbtaster::VergissVor(const BrixSubString& text, std::ptrdiff_t nPos) noexcept
{
    if (!text.HatDaten() || nPos < 0) return;
    m_Gruppen.VergissVor(text.AbsolutAnfang() + nPos);
    if (m_KlammerHalt.nAuf >= 0 && m_KlammerHalt.nAuf < text.AbsolutAnfang() + nPos) {
        m_KlammerHalt.nAuf = -1;
        m_KlammerHalt.aGruppen = std::vector<std::ptrdiff_t>();
    }
}

// --- Searches ---

inline std::ptrdiff_t BrixAbtaster::Suche(const BrixSubString& text, const char* s, std::ptrdiff_t nFrom,
                                          Fehlanzeige& f)
{
    const std::ptrdiff_t nAb = text.AbsolutAnfang() + nFrom;
    if (f.Gilt(nAb, text.AbsolutEnde())) return -1;
    const std::ptrdiff_t q = s[1] == 0 ? text.FindeZeichen(s[0], nFrom) : text.FindeString(s, nFrom);
    if (q < 0) f = Fehlanzeige{nAb, text.AbsolutEnde()};
    return q;
}

inline std::ptrdiff_t BrixAbtaster::QuoteEnde(const BrixSubString& text, std::ptrdiff_t i, char u)
{
    Fehlanzeige& f = m_KeinQuote[u == '"' ? 0 : 1];
    const std::ptrdiff_t nAb = i + 1 + text.AbsolutAnfang();
    if (f.Gilt(nAb, text.AbsolutEnde())) return -1;
    const std::ptrdiff_t q = FindeByte(text.Daten(), text.Laenge(), i + 1, u);
    if (q < 0) f = Fehlanzeige{nAb, text.AbsolutEnde()};
    return q;
}

std::ptrdiff_t BrixAbtaster::SchliessendeSpitzeKlammer(const BrixSubString& text, std::ptrdiff_t nPos)
{
    const std::ptrdiff_t n = text.HatDaten() ? ScanLaenge(text) : 0;
    if (nPos < 0 || nPos >= n - 1) return -1;
    return SpitzeKlammer(text, text.Daten(), n, nPos, nPos + 1);
}

std::ptrdiff_t BrixAbtaster::NieGeschlossen(const BrixSubString& text, std::ptrdiff_t nHalt)
{
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (text.EndeOffen()) {
        m_KlammerHalt.nAuf = m_aGruppen.front() + nBasis;
        m_KlammerHalt.nWeiter = nHalt + nBasis;
        m_KlammerHalt.nEnde = text.AbsolutEnde();
        m_KlammerHalt.aGruppen.assign(m_aGruppen.begin(), m_aGruppen.end());
        for (std::ptrdiff_t& nAuf : m_KlammerHalt.aGruppen) nAuf += nBasis;
    }
    // Each of these groups would be walked to the end of the view again. Only '<' groups are
    // asked for later (every walk starts at a '<'), and only those that reach far.
    const char* d = text.Daten();
    const std::ptrdiff_t n = ScanLaenge(text);
    std::size_t j = 0;
    for (std::size_t i = 0; i < m_aGruppen.size(); ++i) {
        const std::ptrdiff_t nAuf = m_aGruppen[i];
        if ((i == 0 || d[nAuf] == '<') && n - nAuf >= m_nKurzeGruppe) m_aGruppen[j++] = nAuf + text.AbsolutAnfang();
    }
    m_aGruppen.resize(j);
    m_Gruppen.MerkeNie(m_aGruppen, text.AbsolutEnde());
    return -1;
}

// Called at every nested start tag, so kept small enough to be inlined: the rare cases are calls.
[[gnu::always_inline]] inline std::ptrdiff_t BrixAbtaster::SpitzeKlammer(const BrixSubString& text, const char* d,
                                                                         std::ptrdiff_t n, std::ptrdiff_t p,
                                                                         std::ptrdiff_t nAb)
{
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    std::ptrdiff_t nZu;
    if (!m_Gruppen.Leer() && m_Gruppen.Kennt(p + nBasis, text.AbsolutEnde(), nZu)) return Relativ(text, nZu);
    // Most tags hold no nested bracket: the walk only steps over quoted runs to the '>'. The
    // first nested opener hands over to the walk with a stack.
    for (std::ptrdiff_t i = nAb; i < n; ++i) {
        const char u = d[i];
        if (!IstKlammerOderQuote(u)) continue;
        if (u == '>') {
            if (i - p >= m_nKurzeGruppe) m_Gruppen.MerkeZu(p + nBasis, i + nBasis);
            return i;
        }
        if (u == '"' || u == '\'') {
            // A quoted run is stepped over whole; without its closing quote no group closes.
            const std::ptrdiff_t q =
                m_KeinQuote[u == '"' ? 0 : 1].Gilt(i + 1 + nBasis, text.AbsolutEnde()) ? -1 : FindeByte(d, n, i + 1, u);
            if (q < 0) return QuoteOffen(text, p, i, u);
            i = q;
            continue;
        }
        if (u == ')' || u == ']' || u == '}') continue;  // another kind's closer is passed over
        return SpitzeKlammerVerschachtelt(text, p, i);
    }
    m_aGruppen.assign(1, p);
    return NieGeschlossen(text, n);
}

std::ptrdiff_t BrixAbtaster::QuoteOffen(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t i, char u)
{
    m_KeinQuote[u == '"' ? 0 : 1] = Fehlanzeige{i + 1 + text.AbsolutAnfang(), text.AbsolutEnde()};
    m_aGruppen.assign(1, p);
    return NieGeschlossen(text, i);
}

std::ptrdiff_t BrixAbtaster::SpitzeKlammerVerschachtelt(const BrixSubString& text, std::ptrdiff_t p, std::ptrdiff_t nAb)
{
    // A walk for this '<' that stopped at the end of a shorter view goes on where it stood: the
    // text before that place is as it was, and that walk passed nAb as this one would.
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (m_KlammerHalt.nAuf == p + nBasis && text.AbsolutEnde() > m_KlammerHalt.nEnde) {
        m_aGruppen.assign(m_KlammerHalt.aGruppen.begin(), m_KlammerHalt.aGruppen.end());
        for (std::ptrdiff_t& nAuf : m_aGruppen) nAuf -= nBasis;
        m_KlammerHalt.nAuf = -1;
        return KlammerLauf(text, m_KlammerHalt.nWeiter - nBasis);
    }
    m_aGruppen.assign(1, p);
    return KlammerLauf(text, nAb);
}

std::ptrdiff_t BrixAbtaster::KlammerLauf(const BrixSubString& text, std::ptrdiff_t nAb)
{
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    const std::ptrdiff_t nEnde = text.AbsolutEnde();
    const char* d = text.Daten();
    const std::ptrdiff_t n = ScanLaenge(text);
    // What closes the innermost open group.
    char chZu = m_aGruppen.size() == 1 ? '>' : Partner(d[m_aGruppen.back()]);
    for (std::ptrdiff_t i = nAb; i < n; ++i) {
        const char u = d[i];
        if (!IstKlammerOderQuote(u)) continue;
        std::ptrdiff_t nZu;
        switch (u) {
        case '"':
        case '\'': {
            const std::ptrdiff_t q = QuoteEnde(text, i, u);
            if (q < 0) return NieGeschlossen(text, i);
            i = q;
            continue;
        }
        case '<':
            if (!m_Gruppen.Leer() && m_Gruppen.Kennt(i + nBasis, nEnde, nZu)) {
                if (nZu < 0) return NieGeschlossen(text, i);
                i = nZu - nBasis;
                continue;
            }
            [[fallthrough]];
        case '(':
        case '[':
        case '{':
            m_aGruppen.push_back(i);
            chZu = Partner(u);
            continue;
        default:
            // A closer ends the innermost group if it is that group's; others are passed over.
            if (u != chZu) continue;
            const std::ptrdiff_t nAuf = m_aGruppen.back();
            if (chZu == '>' && i - nAuf >= m_nKurzeGruppe) m_Gruppen.MerkeZu(nAuf + nBasis, i + nBasis);
            m_aGruppen.pop_back();
            if (m_aGruppen.empty()) return i;
            chZu = m_aGruppen.size() == 1 ? '>' : Partner(d[m_aGruppen.back()]);
            continue;
        }
    }
    return NieGeschlossen(text, n);
}

// --- The end-tag search ---

std::ptrdiff_t BrixAbtaster::Scheitern(const BrixSubString& text, int nCode, std::ptrdiff_t nPos, int& nError)
{
    nError = nCode;
    // Only an element left open at the end of the text makes a walk go on inside it (-S goes on
    // behind the start tag of an element whose end it did not find); behind any other fault it
    // goes on at the fault, behind every element open there, and never asks for them again.
    if (m_pGedaechtnis != nullptr && nCode == XML_UNERWARTETES_ENDE) {
        // The element a caller named has no '<' to remember it by.
        if (!m_aOffen.empty() && m_aOffen.front().nTagStart < 0) m_aOffen.erase(m_aOffen.begin());
        m_pGedaechtnis->MerkeEnde(text, m_aOffen);
    }
    m_aOffen.clear();
    return nPos;
}

std::ptrdiff_t BrixAbtaster::FindeEndTag(const BrixSubString& text, const BrixSubString& name, std::ptrdiff_t nFrom,
                                         int& nError, std::ptrdiff_t* pnEndTagPos)
{
    if (!text.HatDaten()) {
        nError = XML_KEINE_DATEN;
        return 0;
    }
    if (name.HatDaten()) {
        const std::ptrdiff_t n = name.Laenge();
        m_Gesucht = Name{name.Daten(), n, n <= 0 || FindeByte(name.Daten(), n, 0, '>') < 0};
    } else {
        m_Gesucht = Name{};
    }
    m_aOffen.clear();
    m_aOffen.push_back(EndTagStart{-1, nFrom});
    m_pZeichnung = nullptr;
    m_Halt.nTag = -1;  // the stacks are this walk's now
    return EndTagLauf(text, nFrom, nError, pnEndTagPos);
}

[[gnu::always_inline]] inline int BrixAbtaster::Einschub(const BrixSubString& text, const char* d, std::ptrdiff_t n,
                                                         std::ptrdiff_t p, std::ptrdiff_t& nWeiter, bool bOffen)
{
    // Unclosed in an open text: it may close in what follows.
    if (d[p + 1] == '?') {
        const std::ptrdiff_t q = Suche(text, "?>", p, m_KeinPiEnde);
        if (q < 0) return bOffen ? XML_MEHR : XML_PI_OFFEN;
        nWeiter = q + 2;
    } else if (IstKommentar(d, n, p)) {
        // Searched from the '<' itself, so "<!-->" is a whole comment.
        const std::ptrdiff_t q = Suche(text, "-->", p, m_KeinKommentarEnde);
        if (q < 0) return bOffen ? XML_MEHR : XML_KOMMENTAR_OFFEN;
        nWeiter = q + 3;
    } else {
        const std::ptrdiff_t q = Suche(text, ">", p, m_KeinDeklarationsEnde);
        if (q < 0) return bOffen ? XML_MEHR : XML_DEKLARATION_OFFEN;
        nWeiter = q + 1;
    }
    return XML_OK;
}

[[gnu::always_inline]] inline int BrixAbtaster::SchliesseElement(const BrixSubString& text, const char* d,
                                                                 std::ptrdiff_t n, std::ptrdiff_t p,
                                                                 std::ptrdiff_t& nWeiter, std::ptrdiff_t* pnEndTagPos)
{
    // The end tag's name runs up to its '>', blanks included. The usual case, the name looked
    // for with its '>' right behind it, is checked where it stands; a name without '>' cannot
    // end before that '>'.
    const EndTagStart innen = m_aOffen.back();
    const Name gesucht =
        m_aOffen.size() == 1 ? m_Gesucht : Name{d + innen.nTagStart + 1, innen.nFrom - 1 - (innen.nTagStart + 1), true};
    std::ptrdiff_t g;
    if (gesucht.bOhneGt && gesucht.n >= 0 && gesucht.n < n - (p + 2) && d[p + 2 + gesucht.n] == '>' &&
        GleicheBytes(d + p + 2, gesucht.p, gesucht.n)) {
        g = p + 2 + gesucht.n;
    } else {
        // (A fruitless search here ends every walk that makes it.)
        g = FindeByte(d, n, p + 2, '>');
        if (g < 0) return XML_KEIN_LT;
        if (g - (p + 2) != gesucht.n || !GleicheBytes(d + p + 2, gesucht.p, gesucht.n)) return XML_VERSCHACHTELUNG;
    }
    if (pnEndTagPos != nullptr) *pnEndTagPos = p;
    if (m_pGedaechtnis != nullptr && innen.nTagStart >= 0) {
        m_pGedaechtnis->Merke(text, innen.nTagStart, innen.nFrom, g + 1, XML_OK, p);
    }
    m_aOffen.pop_back();
    nWeiter = g + 1;
    if (m_pZeichnung != nullptr) {
        const std::size_t nSpur = m_aSpurOffen.back();
        m_aSpurOffen.pop_back();
        const std::ptrdiff_t nAbstand = p - m_pZeichnung->nTag;
        if (nSpur != kKeineSpur && nAbstand < ElementSpur::kKeinEndTag) {
            m_pZeichnung->aSpuren[nSpur].nEndTag = static_cast<std::uint32_t>(nAbstand);
        } else if (nSpur != kKeineSpur) {
            GibZeichnungAuf();
        }
    }
    return XML_OK;
}

std::ptrdiff_t BrixAbtaster::EndTagLauf(const BrixSubString& text, std::ptrdiff_t nAb, int& nError,
                                        std::ptrdiff_t* pnEndTagPos)
{
    const std::ptrdiff_t n = ScanLaenge(text);
    const char* d = text.Daten();
    // In an open text, whatever would depend on its end waits for more (XML_MEHR): the walk
    // stops before the '<' in question (or at the end, when no '<' is left), with its stacks
    // and its recording as they stand, so that it can go on from m_nHaltWeiter.
    const bool bOffen = text.EndeOffen();
    auto anhalten = [&](std::ptrdiff_t nWeiterAb, std::ptrdiff_t nPos) {
        m_nHaltWeiter = nWeiterAb;
        nError = XML_MEHR;
        return nPos;
    };
    std::ptrdiff_t nWeiter = nAb;
    for (;;) {
        const std::ptrdiff_t p = NaechstesKleiner(d, n, nWeiter);
        if (p < 0) return bOffen ? anhalten(n, -1) : Scheitern(text, XML_UNERWARTETES_ENDE, -1, nError);
        if (p + 1 >= n) return bOffen ? anhalten(p, p) : Scheitern(text, XML_NAME_OFFEN, p, nError);  // '<' last

        const char ch = d[p + 1];
        if (ch == '/') {
            const int nCode = SchliesseElement(text, d, n, p, nWeiter, pnEndTagPos);
            if (nCode == XML_KEIN_LT && bOffen) return anhalten(p, p);
            if (nCode != XML_OK) return Scheitern(text, nCode, p, nError);
            if (m_aOffen.empty()) {
                nError = XML_OK;
                return nWeiter;
            }
            continue;
        }
        if (ch == '!' || ch == '?') {
            const int nCode = Einschub(text, d, n, p, nWeiter, bOffen);
            if (nCode == XML_MEHR) return anhalten(p, p);
            if (nCode != XML_OK) return Scheitern(text, nCode, p, nError);
            continue;
        }

        // A nested start tag. It ends at the '>' matching its '<', past brackets and quoted
        // text in the tag; a '/' before that '>' makes it self-closing. When no bracket or quote
        // stands in the name, the bracket walk has nothing to do there and begins behind it.
        bool bKlammerImNamen = false;
        const std::ptrdiff_t t = NamensEnde(d, n, p + 1, bKlammerImNamen);
        if (t < 0) return bOffen ? anhalten(p, p) : Scheitern(text, XML_NAME_OFFEN, p, nError);
        const std::ptrdiff_t k = SpitzeKlammer(text, d, n, p, bKlammerImNamen ? p + 1 : t);
        // Whether a tag whose group does not close in an open text closes itself is not known yet.
        if (k < 0 && bOffen) return anhalten(p, p);
        nWeiter = t + 1;
        const bool bSelbst = k >= 0 && d[k - 1] == '/';
        const std::size_t nSpur = m_pZeichnung != nullptr ? ZeichneStart(d, p, k) : kKeineSpur;
        if (bSelbst) {
            nWeiter = k + 1;
            continue;
        }
        // Open (also when its '>' was not matched): its end tag is looked for from just behind
        // the name's terminator, which may lie inside the tag's attributes; perhaps that search
        // was made before.
        if (m_pGedaechtnis != nullptr) {
            if (const EndTagGedaechtnis::Ausgang* pAusgang = m_pGedaechtnis->Erinnere(text, p, t + 1)) {
                if (pAusgang->nCode != XML_OK) {
                    return Scheitern(text, pAusgang->nCode, Relativ(text, pAusgang->nErgebnis), nError);
                }
                // Its inside is not walked: what it holds is not recorded.
                if (m_pZeichnung != nullptr) GibZeichnungAuf();
                nWeiter = Relativ(text, pAusgang->nErgebnis);
                continue;
            }
        }
        if (m_pZeichnung != nullptr) m_aSpurOffen.push_back(nSpur);
        m_aOffen.push_back(EndTagStart{p, t + 1});
    }
}

void BrixAbtaster::Verschiebe(std::ptrdiff_t nUm) noexcept
{
    if (nUm == 0) return;
    auto verschiebe = [nUm](std::ptrdiff_t& nPos) {
        if (nPos >= 0) nPos += nUm;
    };
    for (EndTagStart& start : m_aOffen) {
        verschiebe(start.nTagStart);
        verschiebe(start.nFrom);
    }
    if (m_pZeichnung != nullptr) m_pZeichnung->nTag += nUm;
}

namespace {

// A recording may take this many bytes, or an eighth of the bytes its walk passed if more.
constexpr std::ptrdiff_t kZeichnungMindestens = 64 * 1024;
constexpr std::ptrdiff_t kZeichnungsAnteil = 8;

}  // namespace

inline std::size_t BrixAbtaster::ZeichneStart(const char* d, std::ptrdiff_t p, std::ptrdiff_t k)
{
    // The tag must end at its first '>' (a name holds none) and hold no other '<'.
    if (k < 0 || HatEinesVon(d, p + 1, k, '<', '>')) {
        GibZeichnungAuf();
        return kKeineSpur;
    }
    ElementBaum& baum = *m_pZeichnung;
    if (baum.bNurKinder && m_aOffen.size() != 1) return kKeineSpur;
    const std::string_view anfang = baum.namensAnfang;
    if (!anfang.empty() && (k - (p + 1) < static_cast<std::ptrdiff_t>(anfang.size()) || d[p + 1] != anfang[0] ||
                            !GleicheBytes(d + p + 1, anfang.data(), static_cast<std::ptrdiff_t>(anfang.size())))) {
        return kKeineSpur;
    }
    const std::ptrdiff_t nGelesen = p - baum.nTag;
    if (baum.aSpuren.size() == baum.aSpuren.capacity()) {
        const std::size_t nNeu = std::max<std::size_t>(64, 2 * baum.aSpuren.capacity());
        if (static_cast<std::ptrdiff_t>(nNeu * sizeof(ElementSpur)) >
            std::max(kZeichnungMindestens, nGelesen / kZeichnungsAnteil)) {
            GibZeichnungAuf();
            return kKeineSpur;
        }
        baum.aSpuren.reserve(nNeu);
    }
    if (nGelesen >= ElementSpur::kKeinEndTag) {
        GibZeichnungAuf();
        return kKeineSpur;
    }
    baum.aSpuren.push_back(ElementSpur{static_cast<std::uint32_t>(nGelesen), ElementSpur::kKeinEndTag});
    return baum.aSpuren.size() - 1;
}

void BrixAbtaster::GibZeichnungAuf() noexcept
{
    m_pZeichnung->bSchlicht = false;
    std::vector<ElementSpur>().swap(m_pZeichnung->aSpuren);
    m_aSpurOffen.clear();
    m_pZeichnung = nullptr;
}

std::ptrdiff_t NamensEndeBei(const BrixSubString& text, std::ptrdiff_t nTag) noexcept
{
    bool bKlammer = false;
    return NamensEnde(text.Daten(), text.Laenge(), nTag + 1, bKlammer);
}

std::ptrdiff_t TagEndeBei(const BrixSubString& text, std::ptrdiff_t nTag) noexcept
{
    return FindeByte(text.Daten(), text.Laenge(), nTag + 1, '>');
}

std::ptrdiff_t ElementEndeBei(const BrixSubString& text, std::ptrdiff_t nTag, std::ptrdiff_t nEndTag) noexcept
{
    // An end tag the walk took ends at the first '>' behind its "</" (a name it closes holds none).
    return nEndTag < 0 ? TagEndeBei(text, nTag) + 1 : FindeByte(text.Daten(), text.Laenge(), nEndTag + 2, '>') + 1;
}

// --- The block finder ---

[[gnu::always_inline]] inline std::ptrdiff_t BrixAbtaster::SucheElementEnde(const BrixSubString& text, std::ptrdiff_t p,
                                                                            std::ptrdiff_t t, std::ptrdiff_t g,
                                                                            bool bNachName, int& nError,
                                                                            std::ptrdiff_t& nEndTagPos)
{
    const char* d = text.Daten();
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    // A walk for this element that stopped because the text went on read nothing that more text
    // changes: it goes on where it stopped, its stacks as it left them (and no memory knew it).
    const bool bWeiter = HaltGilt(text, p);
    // The search begins behind the tag. When no '<' stands between the name and there, it is
    // the same search as from behind the name, the way a nested element is searched; a memory
    // knows it by that start.
    const std::ptrdiff_t nFrom = bWeiter ? m_Halt.nFrom - nBasis
                                 : m_pGedaechtnis != nullptr && FindeByte(d, g + 1, t + 1, '<') < 0 ? t + 1
                                                                                                    : g + 1;
    // A walk by name goes on behind every element it found or stepped over, never inside it;
    // only when the end of an element is missing does it go on inside it. So a memory keeps
    // only the elements left open for it.
    if (bNachName && m_pGedaechtnis != nullptr) m_pGedaechtnis->NurEnden(true);
    std::ptrdiff_t r;
    const EndTagGedaechtnis::Ausgang* pAusgang =
        m_pGedaechtnis != nullptr && !bWeiter ? m_pGedaechtnis->Erinnere(text, p, nFrom) : nullptr;
    if (pAusgang != nullptr) {
        nError = pAusgang->nCode;
        nEndTagPos = Relativ(text, pAusgang->nEndTagPos);
        r = Relativ(text, pAusgang->nErgebnis);
        if (m_pBaum != nullptr) m_pBaum->bSchlicht = false;  // nothing walked, nothing recorded
    } else {
        if (m_pGedaechtnis != nullptr) m_pGedaechtnis->Beginne(text, p, nFrom);
        // The element's name has no '>': it ends at the first byte of the name-end set.
        m_Gesucht = Name{d + p + 1, t - (p + 1), true};
        // (A recording given up records no more.)
        m_pZeichnung = m_pBaum != nullptr && (!bWeiter || m_pBaum->bSchlicht) ? m_pBaum : nullptr;
        std::ptrdiff_t nAb = nFrom;  // where the walk begins
        if (bWeiter) {
            Verschiebe(m_Halt.nBasis - nBasis);
            nAb = m_Halt.nWeiter - nBasis;
        } else {
            m_aOffen.clear();
            m_aOffen.push_back(EndTagStart{p, nFrom});
            if (m_pZeichnung != nullptr) {
                // The element itself first: its start tag ends at its first '>' g.
                m_pZeichnung->nTag = p;
                m_pZeichnung->aSpuren.assign(1, ElementSpur{0, ElementSpur::kKeinEndTag});
                m_pZeichnung->bSchlicht = FindeByte(d, g, p + 1, '<') < 0;
                m_aSpurOffen.assign(1, 0);
                if (!m_pZeichnung->bSchlicht) m_pZeichnung = nullptr;
            }
        }
        m_Halt.nTag = -1;
        r = EndTagLauf(text, nAb, nError, &nEndTagPos);
        m_pZeichnung = nullptr;
        if (m_pGedaechtnis != nullptr) m_pGedaechtnis->Beende(nError);
        // A memory that keeps outcomes learns them as elements close, which a walk that goes on
        // would not tell it again; such a walk is made again from its start.
        if (nError == XML_MEHR && (m_pGedaechtnis == nullptr || bNachName)) {
            m_Halt = Halt{p + nBasis, t + nBasis, g + nBasis,         nFrom + nBasis,
                          nBasis,     m_pBaum,    text.AbsolutEnde(), m_nHaltWeiter + nBasis};
        }
    }
    if (bNachName && m_pGedaechtnis != nullptr) m_pGedaechtnis->NurEnden(false);
    return r;
}

TagBlockFund BrixAbtaster::FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, std::ptrdiff_t nAb)
{
    if (!text.HatDaten()) return TagBlockFund{{}, -1, -1, XML_KEINE_DATEN};
    const std::ptrdiff_t n = ScanLaenge(text);
    const char* d = text.Daten();
    // In an open text, whatever would depend on its end waits for more: XML_MEHR, with nPos where
    // the search will begin again (nothing before it is in question any more).
    const bool bOffen = text.EndeOffen();
    // Ends the search at the '<' p with a code and the stretch of text the caller skips.
    auto abbrechen = [&](int nCode, std::ptrdiff_t p, std::ptrdiff_t nNeuNext, const BrixSubString& ergebnis) {
        return TagBlockFund{ergebnis, p, nNeuNext, nCode};
    };
    // Found: the block from p up to nBis, with its start tag's length and its end tag's place.
    auto gefunden = [&](std::ptrdiff_t p, std::ptrdiff_t nBis, std::ptrdiff_t nStartTagLen,
                        std::ptrdiff_t nEndTagOffset) {
        return TagBlockFund{text.Mitte(p, nBis - p), p, nBis, XML_OK, nStartTagLen, nEndTagOffset};
    };

    std::ptrdiff_t nWeiter = nAb;
    for (;;) {
        const std::ptrdiff_t p = NaechstesKleiner(d, n, nWeiter);
        if (p < 0 || p + 1 >= n) {
            // No further '<', or it is the last byte of the view.
            if (bOffen) return abbrechen(XML_MEHR, p < 0 ? n : p, p < 0 ? n : p, BrixSubString());
            return abbrechen(XML_TAG_NICHT_GEFUNDEN, -1, -1, BrixSubString());
        }
        const char ch = d[p + 1];
        if (ch == '!' || ch == '?') {
            const int nCode = Einschub(text, d, n, p, nWeiter, bOffen);
            if (nCode == XML_MEHR) return abbrechen(XML_MEHR, p, p, BrixSubString());
            if (nCode != XML_OK) {
                // Unclosed: no block, a short step on, counted in UTF-16 units, to the start of
                // a character.
                return abbrechen(nCode, p, ZeichenNachUnits(d, n, p, kSprungNachFehler, text.Form()), BrixSubString());
            }
            continue;
        }
        if (ch == '/') {
            // An end tag where a start tag was wanted: reported without its '>'. Without any
            // '>' behind it the rest of the view is reported, so the caller still moves on.
            const std::ptrdiff_t g = FindeByte(d, n, p + 2, '>');
            if (g < 0 && bOffen) return abbrechen(XML_MEHR, p, p, BrixSubString());
            if (g < 0) return abbrechen(XML_KEIN_LT, p, n, text.Mitte(p, n - p));
            return abbrechen(XML_CLOSE_TAG, p, g, text.Mitte(p, g - p));
        }

        // A start tag; here it ends at the first '>' behind its '<'. (A walk for its element that
        // stopped where the text went on knows where, and its tag is not read again.)
        std::ptrdiff_t t;
        std::ptrdiff_t g;
        if (HaltGilt(text, p)) {
            t = m_Halt.nName - text.AbsolutAnfang();
            g = m_Halt.nGt - text.AbsolutAnfang();
        } else {
            bool bKlammerImNamen = false;
            t = NamensEnde(d, n, p + 1, bKlammerImNamen);
            g = t < 0 ? -1 : FindeByte(d, n, p + 1, '>');
            if (g < 0 && bOffen) return abbrechen(XML_MEHR, p, p, BrixSubString());
            if (t < 0) return abbrechen(XML_NAME_OFFEN, p, n, text.Mitte(p, n - p));
            if (g < 0) return abbrechen(XML_KEIN_GT, p, n, text.Mitte(p, n - p));
        }
        const bool bPasst =
            pName == nullptr ||
            (pName->HatDaten() ? t - (p + 1) == pName->Laenge() && GleicheBytes(d + p + 1, pName->Daten(), t - (p + 1))
                               : t == p + 1);
        if (d[g - 1] == '/') {
            // Self-closing: the tag is the whole block.
            if (bPasst) return gefunden(p, g + 1, -1, -1);
            nWeiter = g + 1;
            continue;
        }
        std::ptrdiff_t nEndTagPos = -1;
        int nError = XML_OK;
        const std::ptrdiff_t r = SucheElementEnde(text, p, t, g, pName != nullptr, nError, nEndTagPos);
        if (nError == XML_MEHR) {
            // The walk goes on where it stopped when it can (see m_Halt).
            return abbrechen(XML_MEHR, p,
                             m_Halt.nTag == p + text.AbsolutAnfang() ? m_Halt.nWeiter - text.AbsolutAnfang() : p,
                             BrixSubString());
        }
        if (nError != XML_OK) {
            // A fault inside the element ends the search, whatever its name.
            const std::ptrdiff_t nBis = std::max(r, g);
            return abbrechen(nError, p, nBis, text.Mitte(p, nBis - p));
        }
        if (r <= p) return abbrechen(XML_INTERN, p, g, text.Mitte(p, g - p));
        if (bPasst) return gefunden(p, r, g - p + 1, nEndTagPos - p);
        // Another name: step over the whole element, nested ones included.
        nWeiter = r;
    }
}
