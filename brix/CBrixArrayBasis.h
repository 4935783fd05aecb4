// CBrixArrayBasis<T> and the plain CBrixArray<T>: the owning pointer array of brix/CBrixArray.h
// for any element type. Include brix/CBrixArray.h; this header exists so that the hash index
// (brix/CBrixMap.h), itself made of plain arrays, can be declared before the array of views
// that keeps one.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <new>

template <class T>
class CBrixArrayBasis {
public:
    T** m_ppElements = nullptr;   // the slots; null when there is no buffer
    int m_nCount = 0;             // slots 0 .. m_nCount-1 are in use
    int m_nCapacity = 0;          // slots in the buffer; 0 without a buffer
    bool m_bOwnsElements = true;  // elements are deleted on removal and destruction

    CBrixArrayBasis() noexcept = default;
    CBrixArrayBasis(const CBrixArrayBasis&) = delete;
    CBrixArrayBasis& operator=(const CBrixArrayBasis&) = delete;
    // Deletes the elements (when owning) and frees the buffer.
    virtual ~CBrixArrayBasis()
    {
        LoescheElemente(0, m_nCount);
        delete[] m_ppElements;
    }

    // Inserts p at nIndex (clamped to 0..m_nCount); the slots from there move up by one. The
    // array takes ownership of p, also when growing fails (p is then deleted when owning).
    void Einfuegen(int nIndex, T* p)
    {
        std::unique_ptr<T> wache(m_bOwnsElements ? p : nullptr);
        Reserviere(static_cast<std::int64_t>(m_nCount) + 1);
        wache.release();
        if (nIndex < 0) nIndex = 0;
        if (nIndex > m_nCount) nIndex = m_nCount;
        for (int i = m_nCount; i > nIndex; --i) m_ppElements[i] = m_ppElements[i - 1];
        m_ppElements[nIndex] = p;
        ++m_nCount;
    }

    // Removes n elements from nIndex (n clamped to the elements that exist), deleting them when
    // owning; the slots after them move down. A negative nIndex or one beyond m_nCount, or
    // n <= 0, removes nothing.
    void Entferne(int nIndex, int n)
    {
        if (nIndex < 0 || nIndex > m_nCount) return;
        if (n > m_nCount - nIndex) n = m_nCount - nIndex;
        if (n <= 0) return;
        LoescheElemente(nIndex, nIndex + n);
        for (int i = nIndex + n; i < m_nCount; ++i) m_ppElements[i - n] = m_ppElements[i];
        Reserviere(m_nCount - n);  // shrinking never throws
        if (m_nCount > 0) m_nCount -= n;
    }

    // Deletes every element (when owning) and frees the buffer.
    void EntferneAlle() noexcept
    {
        LoescheElemente(0, m_nCount);
        delete[] m_ppElements;
        m_ppElements = nullptr;
        m_nCapacity = 0;
        m_nCount = 0;
    }

    // Slot nIndex takes p when 0 <= nIndex < m_nCount; its old element is not deleted. Outside
    // that range nothing happens (p stays the caller's). Returns nIndex.
    int Setze(int nIndex, T* p) noexcept
    {
        if (nIndex >= 0 && nIndex < m_nCount) m_ppElements[nIndex] = p;
        return nIndex;
    }

    // Slot nIndex; out of range, slot 0, or a null dummy slot when there is no buffer.
    T*& Element(int nIndex) noexcept
    {
        if (nIndex >= 0 && nIndex < m_nCount) return m_ppElements[nIndex];
        if (m_ppElements != nullptr) return m_ppElements[0];
        m_pLeer = nullptr;
        return m_pLeer;
    }
    // The element at nIndex; out of range, that of slot 0, or null when there is no buffer.
    T* Element(int nIndex) const noexcept
    {
        if (nIndex >= 0 && nIndex < m_nCount) return m_ppElements[nIndex];
        return m_ppElements != nullptr ? m_ppElements[0] : nullptr;
    }

    // Sets the count to n (negative counts as 0): elements beyond n are deleted (when owning),
    // new slots are null, and the capacity policy applies in both directions.
    void SetzeGroesse(int n)
    {
        if (n < 0) n = 0;
        if (n == m_nCount) return;
        if (n < m_nCount) {
            LoescheElemente(n, m_nCount);
            Reserviere(n);
        } else {
            Reserviere(n);
            for (int i = m_nCount; i < n; ++i) m_ppElements[i] = nullptr;
        }
        m_nCount = n;
    }

    // Capacity for n elements under the policy, starting from nKapazitaet: 0 for n <= 0; on
    // growth twice the old capacity (16 at first), doubled until it holds n; shrinking only
    // when n < nKapazitaet / 4 and n >= 16, by halving while n < cap / 2. In 64 bits, so it
    // cannot wrap.
    static std::int64_t ZielKapazitaet(std::int64_t nKapazitaet, std::int64_t n) noexcept
    {
        if (n <= 0) return 0;
        if (n > nKapazitaet) {
            std::int64_t nCap = nKapazitaet <= 0 ? 16 : nKapazitaet * 2;
            while (nCap < n) nCap *= 2;
            return nCap;
        }
        if (n < nKapazitaet / 4 && n >= 16) {
            std::int64_t nCap = nKapazitaet / 2;
            while (n < nCap / 2) nCap /= 2;
            return nCap;
        }
        return nKapazitaet;
    }

    // Applies the capacity policy for a count of n about to be reached. n <= 0 frees the buffer
    // and sets the count to 0; otherwise the count is unchanged. Growth beyond the int range
    // throws std::bad_array_new_length; a failed shrink keeps the old buffer.
    void Reserviere(std::int64_t n)
    {
        if (n <= 0) {
            delete[] m_ppElements;
            m_ppElements = nullptr;
            m_nCount = 0;
            m_nCapacity = 0;
            return;
        }
        if (n > std::numeric_limits<int>::max()) throw std::bad_array_new_length();
        std::int64_t nZiel = ZielKapazitaet(m_nCapacity, n);
        if (nZiel > std::numeric_limits<int>::max()) nZiel = std::numeric_limits<int>::max();
        const int nNeu = static_cast<int>(nZiel);
        if (nNeu == m_nCapacity) return;
        if (nNeu > m_nCapacity) {
            T** ppNeu = new T*[static_cast<std::size_t>(nNeu)]();
            for (int i = 0; i < m_nCapacity; ++i) ppNeu[i] = m_ppElements[i];
            delete[] m_ppElements;
            m_ppElements = ppNeu;
        } else {
            T** ppNeu = new (std::nothrow) T*[static_cast<std::size_t>(nNeu)];
            if (ppNeu == nullptr) return;
            for (int i = 0; i < nNeu; ++i) ppNeu[i] = m_ppElements[i];
            delete[] m_ppElements;
            m_ppElements = ppNeu;
        }
        m_nCapacity = nNeu;
    }

protected:
    // Deletes the non-null elements of slots [nVon, nBis) when owning and nulls their slots.
    void LoescheElemente(int nVon, int nBis) noexcept
    {
        if (!m_bOwnsElements) return;
        for (int i = nVon; i < nBis; ++i) {
            delete m_ppElements[i];
            m_ppElements[i] = nullptr;
        }
    }

private:
    T* m_pLeer = nullptr;  // what Element hands out when there is no buffer
};

// Every instance but the one for BrixSubString is the plain owning array.
template <class T>
class CBrixArray : public CBrixArrayBasis<T> {
public:
    CBrixArray() noexcept = default;
};
