// StreuTabelle: the table in which both memories of the scanner keep what its walks learned (the
// bracket groups of BrixAbtaster, the end-tag outcomes of EndTagGedaechtnis). Open addressing with
// linear probing over a power of two of slots, never more than half of them used. Keys stand for
// places in the whole text (Ordnung::Ort); those before VergissVor's place are asked no more and
// are dropped when the table must grow, which then doubles (to at least 64 slots) unless dropping
// left it at most a quarter full, so that dropping does not make it thrash.
//
// Ordnung gives: the free key kFrei; Slot(key, nMaske), the first slot to probe; Ort(key).
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

template <class Schluessel, class Wert, class Ordnung>
class StreuTabelle {
public:
    std::size_t Anzahl() const noexcept { return m_nBelegt; }

    // The value kept for the key, or null.
    const Wert* Suche(const Schluessel& schluessel) const noexcept
    {
        if (m_nBelegt == 0) return nullptr;
        const std::size_t nMaske = m_aPlaetze.size() - 1;
        for (std::size_t i = Ordnung::Slot(schluessel, nMaske);; i = (i + 1) & nMaske) {
            const Platz& platz = m_aPlaetze[i];
            if (platz.schluessel == schluessel) return &platz.wert;
            if (platz.schluessel == Ordnung::kFrei) return nullptr;
        }
    }

    // Keeps the value for the key, in place of one kept before.
    void Lege(const Schluessel& schluessel, const Wert& wert)
    {
        if (2 * (m_nBelegt + 1) > m_aPlaetze.size()) Wachse();
        Platz& platz = Finde(schluessel);
        if (platz.schluessel == Ordnung::kFrei) ++m_nBelegt;
        platz = Platz{schluessel, wert};
    }

    // No key before nOrt will be asked again.
    void VergissVor(std::ptrdiff_t nOrt) noexcept { m_nUntergrenze = nOrt; }

    // Drops every key; a table that was sparse gives its slots back, so that forgetting costs
    // about as much as what is dropped.
    void Leere() noexcept
    {
        if (m_nBelegt == 0) return;
        if (m_aPlaetze.size() > kKleinste && 8 * m_nBelegt < m_aPlaetze.size()) {
            std::vector<Platz>().swap(m_aPlaetze);
        } else {
            std::fill(m_aPlaetze.begin(), m_aPlaetze.end(), Platz{Ordnung::kFrei, Wert{}});
        }
        m_nBelegt = 0;
    }

private:
    struct Platz {
        Schluessel schluessel;
        Wert wert;
    };
    static constexpr std::size_t kKleinste = 64;

    // The slot of the key, or the free one where it would go.
    Platz& Finde(const Schluessel& schluessel) noexcept
    {
        const std::size_t nMaske = m_aPlaetze.size() - 1;
        std::size_t i = Ordnung::Slot(schluessel, nMaske);
        while (m_aPlaetze[i].schluessel != Ordnung::kFrei && m_aPlaetze[i].schluessel != schluessel)
            i = (i + 1) & nMaske;
        return m_aPlaetze[i];
    }

    void Wachse()
    {
        const auto bLebt = [this](const Platz& platz) {
            return platz.schluessel != Ordnung::kFrei && Ordnung::Ort(platz.schluessel) >= m_nUntergrenze;
        };
        const auto nLeben = static_cast<std::size_t>(std::count_if(m_aPlaetze.begin(), m_aPlaetze.end(), bLebt));
        std::size_t nPlaetze = std::max(kKleinste, m_aPlaetze.size());
        if (4 * (nLeben + 1) > nPlaetze) nPlaetze *= 2;
        std::vector<Platz> aAlt(nPlaetze, Platz{Ordnung::kFrei, Wert{}});
        aAlt.swap(m_aPlaetze);
        m_nBelegt = nLeben;
        for (const Platz& platz : aAlt) {
            if (bLebt(platz)) Finde(platz.schluessel) = platz;
        }
    }

    std::vector<Platz> m_aPlaetze;  // empty, or a power of two of slots
    std::size_t m_nBelegt = 0;
    std::ptrdiff_t m_nUntergrenze = 0;
};
