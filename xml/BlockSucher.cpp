// The block finders and the end-tag search of the scanner, step for step, with the outcome of
// each end-tag search remembered. Nesting is followed with an explicit stack.
#include "xml/BlockSucher.h"

#include <algorithm>

#include "brix/EinheitSuche.h"
#include "xml/TagAbtaster.h"
#include "xml/XmlFehler.h"

namespace {

// How far a block finder steps on behind an unclosed comment, declaration or instruction.
constexpr int kSprungNachFehler = 100;

std::uint64_t Schluessel(int nTagStart, int nFrom)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nTagStart)) << 32) |
           static_cast<std::uint32_t>(nFrom);
}

using brixsuche::FindeEinheit;
using brixsuche::GleicheEinheiten;

// First '<' in d[nFrom..n), or -1; a start outside 0..n finds nothing.
inline int NaechstesKleiner(const char16_t* d, int n, int nFrom)
{
    if (nFrom < 0 || nFrom > n) {
        return -1;
    }
    return FindeEinheit(d, n, nFrom, u'<');
}

// True when the '<' at p opens a comment "<!--" (p + 1 is known to be inside the view).
inline bool IstKommentar(const char16_t* d, int n, int p)
{
    return p + 3 < n && d[p + 2] == u'-' && d[p + 3] == u'-';
}

// A buffer index as a view position and back; -1 stays -1.
int Relativ(const BrixSubString& text, int nIndex) { return nIndex < 0 ? -1 : nIndex - text.m_nStart; }
int Absolut(const BrixSubString& text, int nPos) { return nPos < 0 ? -1 : nPos + text.m_nStart; }

// Slot of a key in a table of 2^k slots (nMaske = 2^k - 1). The key's upper half is the
// element's '<'. Elements close together in the text are remembered and asked for one after
// another (-R descends into the elements the walk above has just passed), so a stretch of 32
// units keeps its keys in one group of 16 neighbouring slots, at their order within the
// stretch; which group comes from every bit of the stretch's number (the 64-bit finaliser of
// MurmurHash3), so that groups of stretches near each other scatter over the table. A stretch
// holds at most 32 '<', each with at most two search starts (behind the name, behind the
// tag's first '>'), so no document crowds more than 64 keys into one group.
std::size_t Streuung(std::uint64_t nSchluessel, std::size_t nMaske)
{
    const std::uint64_t nTagStart = nSchluessel >> 32;
    std::uint64_t h = nTagStart >> 5;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::size_t>((h << 4) + ((nTagStart & 31) >> 1)) & nMaske;
}

// Forgetting clears a table that was more than an eighth full and gives back a sparser one, so
// that it costs about as much as the entries it drops, and a deep document does not grow its
// table anew for every top-level element.
constexpr std::size_t kKleinsteTabelle = 64;

}  // namespace

const BrixBlockSucher::Platz* BrixBlockSucher::SucheNach(std::uint64_t nSchluessel) const noexcept
{
    if (m_aGedaechtnis.empty()) {
        return nullptr;
    }
    const std::size_t nMaske = m_aGedaechtnis.size() - 1;
    for (std::size_t i = Streuung(nSchluessel, nMaske);; i = (i + 1) & nMaske) {
        const Platz& platz = m_aGedaechtnis[i];
        if (platz.nSchluessel == nSchluessel) {
            return &platz;
        }
        if (platz.nSchluessel == kFrei) {
            return nullptr;
        }
    }
}

void BrixBlockSucher::Lege(std::uint64_t nSchluessel, const Ausgang& ausgang)
{
    if (2 * (m_nBelegt + 1) > m_aGedaechtnis.size()) {
        // Grow to twice the slots (at least 64) and place every entry anew.
        std::vector<Platz> aAlt(std::max(kKleinsteTabelle, 2 * m_aGedaechtnis.size()), Platz{kFrei, {}});
        aAlt.swap(m_aGedaechtnis);
        const std::size_t nMaske = m_aGedaechtnis.size() - 1;
        for (const Platz& platz : aAlt) {
            if (platz.nSchluessel == kFrei) {
                continue;
            }
            std::size_t i = Streuung(platz.nSchluessel, nMaske);
            while (m_aGedaechtnis[i].nSchluessel != kFrei) {
                i = (i + 1) & nMaske;
            }
            m_aGedaechtnis[i] = platz;
        }
    }
    const std::size_t nMaske = m_aGedaechtnis.size() - 1;
    std::size_t i = Streuung(nSchluessel, nMaske);
    while (m_aGedaechtnis[i].nSchluessel != kFrei && m_aGedaechtnis[i].nSchluessel != nSchluessel) {
        i = (i + 1) & nMaske;
    }
    if (m_aGedaechtnis[i].nSchluessel == kFrei) {
        ++m_nBelegt;
    }
    m_aGedaechtnis[i] = Platz{nSchluessel, ausgang};
}

void BrixBlockSucher::Vergiss() noexcept
{
    m_aReihe.clear();
    m_nZeiger = 0;
    if (m_nBelegt == 0) {
        return;
    }
    const std::size_t nPlaetze = m_aGedaechtnis.size();
    if (nPlaetze > kKleinsteTabelle && 8 * m_nBelegt < nPlaetze) {
        std::vector<Platz>().swap(m_aGedaechtnis);
    } else {
        std::fill(m_aGedaechtnis.begin(), m_aGedaechtnis.end(), Platz{kFrei, {}});
    }
    m_nBelegt = 0;
}

namespace {

// Whether an outcome remembered from a search in some view holds in text. Found in a view with
// the same end: it holds as it is. Found in a longer view: a success whose end tag lies within
// this view read nothing behind it, so it holds here too; a fault might have arisen from what
// lies behind this view's end, so it is searched again.
bool Gilt(const BrixSubString& text, int nTextEnde, int nCode, int nErgebnis)
{
    if (nTextEnde == text.m_nEnd) {
        return true;
    }
    return nCode == XML_OK && nTextEnde > text.m_nEnd && nErgebnis <= text.m_nEnd;
}

// Marks a slot of m_aReihe whose element is still being searched.
constexpr int kNochOffen = -1;

}  // namespace

const BrixBlockSucher::Ausgang* BrixBlockSucher::InReihe(std::uint64_t nSchluessel)
{
    const std::size_t n = m_aReihe.size();
    // Beyond the row: an element met for the first time by the current search.
    if (n == 0 || m_aReihe[n - 1].nSchluessel < nSchluessel) {
        return nullptr;
    }
    // Most other questions concern the slot at the cursor, or fall between it and the one
    // before it; only the rest needs a binary search.
    std::size_t i = m_nZeiger;
    if (i < n && m_aReihe[i].nSchluessel > nSchluessel && (i == 0 || m_aReihe[i - 1].nSchluessel < nSchluessel)) {
        return nullptr;
    }
    if (i >= n || m_aReihe[i].nSchluessel != nSchluessel) {
        const auto it = std::lower_bound(m_aReihe.begin(), m_aReihe.end(), nSchluessel,
                                         [](const Platz& platz, std::uint64_t k) { return platz.nSchluessel < k; });
        if (it == m_aReihe.end() || it->nSchluessel != nSchluessel) {
            return nullptr;
        }
        i = static_cast<std::size_t>(it - m_aReihe.begin());
    }
    m_nZeiger = i + 1;
    return m_aReihe[i].ausgang.nCode == kNochOffen ? nullptr : &m_aReihe[i].ausgang;
}

const BrixBlockSucher::Ausgang* BrixBlockSucher::Erinnere(const BrixSubString& text, int nTagStart, int nFrom)
{
    const std::uint64_t nSchluessel = Schluessel(Absolut(text, nTagStart), Absolut(text, nFrom));
    // An outcome in the row that does not hold may have been searched anew into the table.
    if (const Ausgang* pAusgang = InReihe(nSchluessel)) {
        if (Gilt(text, pAusgang->nTextEnde, pAusgang->nCode, pAusgang->nErgebnis)) {
            return pAusgang;
        }
    }
    const Platz* pPlatz = SucheNach(nSchluessel);
    if (pPlatz == nullptr) {
        return nullptr;
    }
    const Ausgang& ausgang = pPlatz->ausgang;
    return Gilt(text, ausgang.nTextEnde, ausgang.nCode, ausgang.nErgebnis) ? &ausgang : nullptr;
}

int BrixBlockSucher::NeuerPlatz(const BrixSubString& text, int nTagStart, int nFrom)
{
    if (!m_bInReihe) {
        return -1;
    }
    m_aReihe.push_back(Platz{Schluessel(Absolut(text, nTagStart), Absolut(text, nFrom)), Ausgang{0, 0, kNochOffen, 0}});
    return static_cast<int>(m_aReihe.size() - 1);
}

void BrixBlockSucher::Merke(const BrixSubString& text, const Offen& offen, int nErgebnis, int nCode, int nEndTagPos)
{
    const int nBis = nErgebnis >= 0 ? nErgebnis : text.Laenge();
    const bool bKlein = nBis - offen.nTagStart < m_nMindestSpanne;
    const Ausgang ausgang{text.m_nEnd, Absolut(text, nErgebnis), nCode, Absolut(text, nEndTagPos)};
    if (offen.nPlatz >= 0) {
        const auto nPlatz = static_cast<std::size_t>(offen.nPlatz);
        if (!bKlein) {
            m_aReihe[nPlatz].ausgang = ausgang;
        } else if (nPlatz + 1 == m_aReihe.size()) {
            // A small element is searched through again quickly; elements inside it were
            // smaller still and gave their slots back already, so its slot is the last.
            m_aReihe.pop_back();
        }
        return;
    }
    if (bKlein) {
        return;
    }
    const std::uint64_t nSchluessel = Schluessel(Absolut(text, offen.nTagStart), Absolut(text, offen.nFrom));
    if (m_bVormerken) {
        m_aVorgemerkt.push_back(Platz{nSchluessel, ausgang});
    } else {
        Lege(nSchluessel, ausgang);
    }
}

int BrixBlockSucher::Suche(const BrixSubString& text, const char16_t* s, int nFrom, Fehlanzeige& f)
{
    const int nAb = text.m_nStart + nFrom;
    if (nAb >= f.nAb && text.m_nEnd <= f.nEnde) {
        return -1;
    }
    const int q = s[1] == 0 ? text.FindeZeichen(s[0], nFrom) : text.FindeString(s, nFrom);
    if (q < 0) {
        f = Fehlanzeige{nAb, text.m_nEnd};
    }
    return q;
}

int BrixBlockSucher::FindeEndTag(const BrixSubString& text, int nTagStart, int nNameEnde, int nFrom, int& nError,
                                 int& nEndTagPos)
{
    if (const Ausgang* pAusgang = Erinnere(text, nTagStart, nFrom)) {
        nError = pAusgang->nCode;
        nEndTagPos = Relativ(text, pAusgang->nEndTagPos);
        return Relativ(text, pAusgang->nErgebnis);
    }
    const int nLaenge = text.Laenge();
    const char16_t* d = text.Daten();

    // The element asked for, then the ones opened inside it and not yet closed, innermost last.
    // Its search and those of the elements inside it get slots in the row when it begins
    // behind everything there.
    m_bInReihe = !m_bVormerken &&
                 (m_aReihe.empty() ||
                  m_aReihe.back().nSchluessel < Schluessel(Absolut(text, nTagStart), Absolut(text, nFrom)));
    m_aOffen.clear();
    m_aOffen.push_back({nTagStart, nNameEnde, nFrom, NeuerPlatz(text, nTagStart, nFrom)});
    // A fault ends the search of every open element alike (innermost first, so that small
    // ones give their slots back).
    auto scheitern = [&](int nCode, int nPos) {
        for (auto it = m_aOffen.rbegin(); it != m_aOffen.rend(); ++it) {
            Merke(text, *it, nPos, nCode, -1);
        }
        m_aOffen.clear();
        nError = nCode;
        return nPos;
    };

    int nWeiter = nFrom;
    for (;;) {
        const int p = NaechstesKleiner(d, nLaenge, nWeiter);
        if (p < 0) {
            return scheitern(XML_UNERWARTETES_ENDE, -1);
        }
        if (p + 1 >= nLaenge) {
            return scheitern(XML_NAME_OFFEN, p);  // a '<' as the last unit
        }
        const char16_t ch = d[p + 1];
        if (ch == u'!') {
            if (IstKommentar(d, nLaenge, p)) {
                const int q = Suche(text, u"-->", p, m_KeinKommentarEnde);
                if (q < 0) {
                    return scheitern(XML_KOMMENTAR_OFFEN, p);
                }
                nWeiter = q + 3;
            } else {
                const int q = Suche(text, u">", p, m_KeineSpitzeKlammer);
                if (q < 0) {
                    return scheitern(XML_DEKLARATION_OFFEN, p);
                }
                nWeiter = q + 1;
            }
            continue;
        }
        if (ch == u'?') {
            const int q = Suche(text, u"?>", p, m_KeinPiEnde);
            if (q < 0) {
                return scheitern(XML_PI_OFFEN, p);
            }
            nWeiter = q + 2;
            continue;
        }
        if (ch == u'/') {
            // The end tag's name runs up to its '>'. The innermost open name (which has no '>')
            // followed by '>' is checked where it stands; anything else needs that '>' first.
            const Offen innerstes = m_aOffen.back();
            const char16_t* pName = d + innerstes.nTagStart + 1;
            const int nName = innerstes.nNameEnde - (innerstes.nTagStart + 1);
            int g;
            if (nName < nLaenge - (p + 2) && d[p + 2 + nName] == u'>' && GleicheEinheiten(d + p + 2, pName, nName)) {
                g = p + 2 + nName;
            } else {
                g = Suche(text, u">", p + 2, m_KeineSpitzeKlammer);
                if (g < 0) {
                    return scheitern(XML_KEIN_LT, p);
                }
                if (g - (p + 2) != nName || !GleicheEinheiten(d + p + 2, pName, nName)) {
                    return scheitern(XML_VERSCHACHTELUNG, p);
                }
            }
            Merke(text, innerstes, g + 1, XML_OK, p);
            m_aOffen.pop_back();
            if (m_aOffen.empty()) {
                nError = XML_OK;
                nEndTagPos = p;
                return g + 1;
            }
            nWeiter = g + 1;
            continue;
        }

        // A nested start tag; self-closing when the '>' matching its '<' follows a '/'.
        int t;
        int k;
        if (!tagabtaster::StartTagEnden(d, nLaenge, p, t, k)) {
            return scheitern(XML_NAME_OFFEN, p);
        }
        if (k >= 0 && d[k - 1] == u'/') {
            nWeiter = k + 1;
            continue;
        }
        // Its end tag is looked for from behind its name; perhaps that was done before.
        if (const Ausgang* pAusgang = Erinnere(text, p, t + 1)) {
            if (pAusgang->nCode != XML_OK) {
                return scheitern(pAusgang->nCode, Relativ(text, pAusgang->nErgebnis));
            }
            nWeiter = Relativ(text, pAusgang->nErgebnis);
            continue;
        }
        m_aOffen.push_back({p, t, t + 1, NeuerPlatz(text, p, t + 1)});
        nWeiter = t + 1;
    }
}

BrixSubString BrixBlockSucher::FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, int& nPos,
                                             int& nNext, int& nError, int* pnStartTagLen, int* pnEndTagOffset)
{
    nError = XML_OK;
    if (!text.HatDaten()) {
        nError = XML_KEINE_DATEN;
        nPos = -1;
        nNext = -1;
        return {};
    }
    const int nLaenge = text.Laenge();
    const char16_t* d = text.Daten();
    // The name looked for; a view without data is the empty name, one that ends before it
    // starts equals no name.
    const bool bNameDaten = pName != nullptr && pName->HatDaten();
    const char16_t* pNameEinheiten = bNameDaten ? pName->Daten() : nullptr;
    const int nNameLaenge = bNameDaten ? pName->Laenge() : 0;

    // Ends the search at the '<' p with a code and the stretch of text the caller skips.
    auto abbrechen = [&](int nCode, int p, int nNeuNext, const BrixSubString& ergebnis) {
        nError = nCode;
        nPos = p;
        nNext = nNeuNext;
        return ergebnis;
    };
    auto offen = [&](int nCode, int p) {
        return abbrechen(nCode, p, std::min(p + kSprungNachFehler, nLaenge - 1), BrixSubString());
    };

    int nWeiter = nPos;
    for (;;) {
        const int p = NaechstesKleiner(d, nLaenge, nWeiter);
        if (p < 0 || p + 1 >= nLaenge) {
            nError = XML_TAG_NICHT_GEFUNDEN;
            nPos = -1;
            nNext = -1;
            return {};
        }
        const char16_t ch = d[p + 1];
        if (ch == u'!') {
            if (IstKommentar(d, nLaenge, p)) {
                const int q = Suche(text, u"-->", p, m_KeinKommentarEnde);
                if (q < 0) {
                    return offen(XML_KOMMENTAR_OFFEN, p);
                }
                nWeiter = q + 3;
            } else {
                const int q = Suche(text, u">", p, m_KeineSpitzeKlammer);
                if (q < 0) {
                    return offen(XML_DEKLARATION_OFFEN, p);
                }
                nWeiter = q + 1;
            }
            continue;
        }
        if (ch == u'?') {
            const int q = Suche(text, u"?>", p, m_KeinPiEnde);
            if (q < 0) {
                return offen(XML_PI_OFFEN, p);
            }
            nWeiter = q + 2;
            continue;
        }
        if (ch == u'/') {
            const int g = Suche(text, u">", p + 2, m_KeineSpitzeKlammer);
            if (g < 0) {
                return abbrechen(XML_KEIN_LT, p, nLaenge, text.Mitte(p));
            }
            return abbrechen(XML_CLOSE_TAG, p, g, text.Mitte(p, g - p));
        }

        const int t = tagabtaster::NamensEnde(d, nLaenge, p + 1);
        if (t < 0) {
            return abbrechen(XML_NAME_OFFEN, p, nLaenge, text.Mitte(p));
        }
        const int g = Suche(text, u">", p + 1, m_KeineSpitzeKlammer);
        if (g < 0) {
            return abbrechen(XML_KEIN_GT, p, nLaenge, text.Mitte(p));
        }
        const bool bPasst = pName == nullptr || (t - (p + 1) == nNameLaenge &&
                                                 GleicheEinheiten(d + p + 1, pNameEinheiten, nNameLaenge));

        if (d[g - 1] == u'/') {
            if (!bPasst) {
                nWeiter = g + 1;
                continue;
            }
            if (pnStartTagLen != nullptr) {
                *pnStartTagLen = -1;
            }
            if (pnEndTagOffset != nullptr) {
                *pnEndTagOffset = -1;
            }
            nPos = p;
            nNext = g + 1;
            return text.Mitte(p, g + 1 - p);
        }

        int nEndTagPos = -1;
        // A walk by name (-S) goes on behind every element it found or stepped over, never
        // inside it; only after a fault does it go on inside the element at fault. So the
        // outcomes found inside an element are kept for a fault alone. Without this, looking
        // for a name that does not occur would remember every element of the document.
        m_bVormerken = pName != nullptr;
        m_aVorgemerkt.clear();
        const int r = FindeEndTag(text, p, t, g + 1, nError, nEndTagPos);
        m_bVormerken = false;
        if (nError != XML_OK) {
            for (const Platz& platz : m_aVorgemerkt) {
                Lege(platz.nSchluessel, platz.ausgang);
            }
            m_aVorgemerkt.clear();
            const int nBis = std::max(r, g);
            return abbrechen(nError, p, nBis, text.Mitte(p, nBis - p));
        }
        m_aVorgemerkt.clear();
        if (r <= p) {
            return abbrechen(XML_INTERN, p, g, text.Mitte(p, g - p));
        }
        if (!bPasst) {
            nWeiter = r;
            continue;
        }
        if (pnStartTagLen != nullptr) {
            *pnStartTagLen = g - p + 1;
        }
        if (pnEndTagOffset != nullptr) {
            *pnEndTagOffset = nEndTagPos - p;
        }
        nPos = p;
        nNext = r;
        return text.Mitte(p, r - p);
    }
}
