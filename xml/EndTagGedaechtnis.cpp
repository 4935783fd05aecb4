// The block seeker's memory of end-tag searches: a row of outcomes in the order of their keys,
// read with a cursor, and a table for the rest.
#include "xml/EndTagGedaechtnis.h"

#include <algorithm>

#include "xml/XmlFehler.h"

namespace {

// A view position as a place in the whole text; -1 stays -1.
std::ptrdiff_t Absolut(const BrixSubString& text, std::ptrdiff_t nPos)
{
    return nPos < 0 ? -1 : nPos + text.AbsolutAnfang();
}

}  // namespace

// The first slot of a key, from its nTag, the element's '<'. Elements close together in the text
// are remembered and asked for one after another (-R descends into the elements the walk above
// has just passed), so a stretch of 32 bytes keeps its keys in one group of 16 neighbouring
// slots, at their order within the stretch; which group comes from every bit of the stretch's
// number (the 64-bit finaliser of MurmurHash3), so that groups of stretches near each other
// scatter over the table. A stretch holds at most 32 '<', each with at most two search starts
// (behind the name, behind the tag's first '>'), so no document crowds more than 64 keys into
// one group.
std::size_t EndTagGedaechtnis::Ordnung::Slot(const Schluessel& schluessel, std::size_t nMaske) noexcept
{
    const auto nTagStart = static_cast<std::uint64_t>(schluessel.nTag);
    std::uint64_t h = nTagStart >> 5;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::size_t>((h << 4) + ((nTagStart & 31) >> 1)) & nMaske;
}

namespace {

// Whether an outcome remembered from a search in some view holds in text. Found in a view with
// the same end: it holds as it is. Found in a longer view: a success whose end tag lies within
// this view read nothing behind it, so it holds here too; a fault might have arisen from what
// lies behind this view's end, so it is searched again.
bool Gilt(const BrixSubString& text, const EndTagGedaechtnis::Ausgang& ausgang)
{
    const std::ptrdiff_t nEnde = text.AbsolutEnde();
    if (ausgang.nTextEnde == nEnde) return true;
    return ausgang.nCode == XML_OK && ausgang.nTextEnde > nEnde && ausgang.nErgebnis <= nEnde;
}

}  // namespace

void EndTagGedaechtnis::VergissVor(std::ptrdiff_t nIndex) noexcept
{
    m_tabelle.VergissVor(nIndex);
    std::erase_if(m_aEnden, [nIndex](const Ende& ende) { return ende.aStarts.back().nTagStart < nIndex; });
}

void EndTagGedaechtnis::Vergiss() noexcept
{
    m_aEnden.clear();
    m_aReihe.clear();
    m_nZeiger = 0;
    m_tabelle.Leere();
}

const EndTagGedaechtnis::Ausgang* EndTagGedaechtnis::InReihe(const Schluessel& schluessel) noexcept
{
    const std::size_t n = m_aReihe.size();
    // Beyond the row: an element met for the first time by the current search.
    if (n == 0 || m_aReihe[n - 1].schluessel < schluessel) return nullptr;
    // Most other questions concern the slot at the cursor, or fall between it and the one
    // before it; only the rest needs a binary search.
    std::size_t i = m_nZeiger;
    if (i < n && schluessel < m_aReihe[i].schluessel && (i == 0 || m_aReihe[i - 1].schluessel < schluessel)) {
        return nullptr;
    }
    if (i >= n || m_aReihe[i].schluessel != schluessel) {
        const auto it = std::lower_bound(m_aReihe.begin(), m_aReihe.end(), schluessel,
                                         [](const Platz& platz, const Schluessel& k) { return platz.schluessel < k; });
        if (it == m_aReihe.end() || it->schluessel != schluessel) return nullptr;
        i = static_cast<std::size_t>(it - m_aReihe.begin());
    }
    m_nZeiger = i + 1;
    return &m_aReihe[i].ausgang;
}

const EndTagGedaechtnis::Ausgang* EndTagGedaechtnis::Suche(const BrixSubString& text, std::ptrdiff_t nTagStart,
                                                           std::ptrdiff_t nFrom)
{
    const Schluessel schluessel{Absolut(text, nTagStart), Absolut(text, nFrom)};
    // An outcome in the row that does not hold may have been searched anew into the table.
    if (const Ausgang* pAusgang = InReihe(schluessel)) {
        if (Gilt(text, *pAusgang)) return pAusgang;
    }
    if (const Ausgang* pAusgang = m_tabelle.Suche(schluessel)) {
        if (Gilt(text, *pAusgang)) return pAusgang;
    }
    return InEnden(text, nTagStart, nFrom);
}

const EndTagGedaechtnis::Ausgang* EndTagGedaechtnis::InEnden(const BrixSubString& text, std::ptrdiff_t nTagStart,
                                                             std::ptrdiff_t nFrom) const noexcept
{
    const std::ptrdiff_t nTag = nTagStart + text.AbsolutAnfang();
    for (const Ende& ende : m_aEnden) {
        // A fault holds in a view with the same end only.
        if (ende.nTextEnde != text.AbsolutEnde()) continue;
        const auto it = std::lower_bound(ende.aStarts.begin(), ende.aStarts.end(), nTag,
                                         [](const EndTagStart& e, std::ptrdiff_t n) { return e.nTagStart < n; });
        if (it != ende.aStarts.end() && it->nTagStart == nTag && it->nFrom == nFrom + text.AbsolutAnfang())
            return &m_Ende;
    }
    return nullptr;
}

std::size_t EndTagGedaechtnis::AnzahlGemerkt() const noexcept
{
    std::size_t n = m_tabelle.Anzahl() + m_aReihe.size();
    for (const Ende& ende : m_aEnden) n += ende.aStarts.size();
    return n;
}

void EndTagGedaechtnis::MerkeEnde(const BrixSubString& text, std::vector<EndTagStart>& aOffen)
{
    // Kept as they are when there are many (at most a few such stacks: each lookup reads them
    // all); else one by one like any outcome.
    constexpr std::size_t kLangerStapel = 64;
    constexpr std::size_t kMaxStapel = 16;
    if (aOffen.size() < kLangerStapel || m_aEnden.size() >= kMaxStapel) {
        // Into the table (not the row, which keeps only the outcomes of walks that succeeded).
        for (const EndTagStart& e : aOffen) {
            if (text.Laenge() - e.nTagStart < m_nMindestSpanne) continue;
            m_tabelle.Lege(Schluessel{Absolut(text, e.nTagStart), Absolut(text, e.nFrom)},
                           Ausgang{text.AbsolutEnde(), -1, XML_UNERWARTETES_ENDE, -1});
        }
        return;
    }
    for (EndTagStart& e : aOffen) {
        e.nTagStart += text.AbsolutAnfang();
        e.nFrom += text.AbsolutAnfang();
    }
    m_aEnden.push_back(Ende{text.AbsolutEnde(), std::move(aOffen)});
    aOffen.clear();
}

void EndTagGedaechtnis::Beginne(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom)
{
    m_aNeu.clear();
    m_bInReihe = !m_bNurEnden && (m_aReihe.empty() || m_aReihe.back().schluessel <
                                                          Schluessel{Absolut(text, nTagStart), Absolut(text, nFrom)});
}

void EndTagGedaechtnis::Beende(int nCode)
{
    if (m_bInReihe && (nCode == XML_OK || nCode == XML_UNERWARTETES_ENDE)) {
        // Noted as the elements closed, inner ones first; the row wants them as they opened.
        std::sort(m_aNeu.begin(), m_aNeu.end(),
                  [](const Platz& a, const Platz& b) { return a.schluessel < b.schluessel; });
        if (m_aReihe.empty()) {
            m_aReihe.swap(m_aNeu);
        } else {
            m_aReihe.insert(m_aReihe.end(), m_aNeu.begin(), m_aNeu.end());
        }
    }
    m_aNeu.clear();
    m_bInReihe = false;
}

void EndTagGedaechtnis::Merke(const BrixSubString& text, std::ptrdiff_t nTagStart, std::ptrdiff_t nFrom,
                              std::ptrdiff_t nErgebnis, int nCode, std::ptrdiff_t nEndTagPos)
{
    if (m_bNurEnden) return;
    // A small element is searched through again quickly.
    const std::ptrdiff_t nBis = nErgebnis >= 0 ? nErgebnis : text.Laenge();
    if (nBis - nTagStart < m_nMindestSpanne) return;
    const Platz platz{Schluessel{Absolut(text, nTagStart), Absolut(text, nFrom)},
                      Ausgang{text.AbsolutEnde(), Absolut(text, nErgebnis), nCode, Absolut(text, nEndTagPos)}};
    if (m_bInReihe) {
        m_aNeu.push_back(platz);
    } else {
        m_tabelle.Lege(platz.schluessel, platz.ausgang);
    }
}
