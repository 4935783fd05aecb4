// The array of views: its own operations, which keep the hash index in step.
#include "brix/CBrixArray.h"

#include <memory>

namespace {

// Empty views are never entered in the index.
bool Indexierbar(const BrixSubString* p) noexcept { return p != nullptr && p->HatDaten() && p->Laenge() > 0; }

}  // namespace

int CBrixArray<BrixSubString>::Hinzufuegen(const BrixSubString& v)
{
    auto pNeu = std::make_unique<BrixSubString>(v);
    Reserviere(static_cast<std::int64_t>(m_nCount) + 1);
    const int nIndex = m_nCount;
    m_ppElements[nIndex] = pNeu.release();
    ++m_nCount;
    if (m_bIndexed && Indexierbar(&v)) m_Index.Eintragen(v, nIndex);
    return nIndex;
}

void CBrixArray<BrixSubString>::Entferne(int nIndex, int n)
{
    if (nIndex < 0 || nIndex > m_nCount) return;
    if (n > m_nCount - nIndex) n = m_nCount - nIndex;
    if (n <= 0) return;
    if (m_bIndexed) {
        for (int i = nIndex; i < nIndex + n; ++i) {
            if (Indexierbar(m_ppElements[i])) m_Index.Austragen(*m_ppElements[i]);
        }
    }
    CBrixArrayBasis<BrixSubString>::Entferne(nIndex, n);
    // Removing a text also dropped it for elements that still hold it; the elements that moved
    // are entered again with their new positions.
    if (m_bIndexed) {
        for (int i = nIndex; i < m_nCount; ++i) {
            if (Indexierbar(m_ppElements[i])) m_Index.Eintragen(*m_ppElements[i], i);
        }
    }
}

void CBrixArray<BrixSubString>::EntferneAlle() noexcept
{
    CBrixArrayBasis<BrixSubString>::EntferneAlle();
    if (m_bIndexed) m_Index.Leeren();
}
