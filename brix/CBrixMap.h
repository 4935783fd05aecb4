// The hash index of CBrixArray<BrixSubString>: a fixed table of buckets chosen by the key's
// HashWert, each bucket an owning array of entries kept sorted by key and searched by binary
// search. Keys are views into the same source as the array's elements, so that source must
// outlive the index. brix/CBrixArray.h includes it for the array of views.
#pragma once

#include <cstdint>
#include <memory>

#include "brix/CBrixArrayBasis.h"

// One entry: a key and the position of its element.
template <class K, class V>
class BrixAssoc {
public:
    K m_Key;  // starts with no data
    V m_nValue{};
};

// One bucket: entries in ascending key order under Vergleiche, no two keys equal.
template <class K, class V>
class BrixAssocArray : public CBrixArray<BrixAssoc<K, V>> {
public:
    BrixAssocArray() noexcept = default;
    ~BrixAssocArray() override = default;

    // Position of the entry with that key, or -1; then the position where the key belongs is
    // stored through pnEinfuegePos (if given).
    int Suche(const K& key, int* pnEinfuegePos) const noexcept
    {
        if (this->m_nCount <= 0) {
            if (pnEinfuegePos) *pnEinfuegePos = 0;
            return -1;
        }
        int lo = 0;
        int hi = this->m_nCount - 1;
        int mid = 0;
        int rc = 0;
        while (hi >= lo) {
            mid = lo + (hi - lo) / 2;
            rc = key.Vergleiche(this->m_ppElements[mid]->m_Key);
            if (rc == 0) return mid;
            if (rc < 0)
                hi = mid - 1;
            else
                lo = mid + 1;
        }
        if (pnEinfuegePos) *pnEinfuegePos = rc > 0 ? mid + 1 : mid;
        return -1;
    }

    // Deletes the entry with that key; false if there is none.
    bool Austragen(const K& key)
    {
        const int nPos = Suche(key, nullptr);
        if (nPos < 0) return false;
        this->Entferne(nPos, 1);
        return true;
    }
};

// The index: the array's slots are the bucket table (null: no bucket yet, or emptied). The table
// gets m_nBuckets slots with the first use and keeps them until destruction.
template <class K, class V>
class CBrixMap : public CBrixArray<BrixAssocArray<K, V>> {
public:
    int m_nEntries = 0;  // entries in all buckets
    int m_nBuckets;      // bucket count given at construction

    explicit CBrixMap(int nBuckets) noexcept : m_nBuckets(nBuckets) {}
    ~CBrixMap() override { m_nEntries = 0; }  // the base deletes the buckets and their entries

    // Maps key to value: an entry with an equal key takes the new value, else one is added.
    // Does nothing without buckets.
    void Eintragen(const K& key, const V& value)
    {
        const int nSlot = EimerIndex(key);
        if (nSlot < 0) return;
        BrixAssocArray<K, V>*& pEimer = this->m_ppElements[nSlot];
        if (pEimer == nullptr) pEimer = new BrixAssocArray<K, V>();
        int nEinfuege = 0;
        const int nPos = pEimer->Suche(key, &nEinfuege);
        if (nPos >= 0) {
            pEimer->m_ppElements[nPos]->m_nValue = value;
            return;
        }
        auto pEintrag = std::make_unique<BrixAssoc<K, V>>();
        pEintrag->m_Key = key;
        pEintrag->m_nValue = value;
        pEimer->Einfuegen(nEinfuege, pEintrag.release());
        ++m_nEntries;
    }

    // Removes the entry of key; a bucket left empty is deleted and its slot nulled.
    void Austragen(const K& key)
    {
        const int nSlot = EimerIndex(key);
        if (nSlot < 0) return;
        BrixAssocArray<K, V>*& pEimer = this->m_ppElements[nSlot];
        if (pEimer == nullptr || !pEimer->Austragen(key)) return;
        if (pEimer->m_nCount == 0) {
            delete pEimer;
            pEimer = nullptr;
        }
        --m_nEntries;
    }

    // Deletes every bucket and its entries; the table keeps its slots.
    void Leeren() noexcept
    {
        for (int i = 0; i < this->m_nCount; ++i) {
            delete this->m_ppElements[i];
            this->m_ppElements[i] = nullptr;
        }
        m_nEntries = 0;
    }

    // The table slot of key (HashWert modulo the slot count, unsigned), creating the table on
    // first use; -1 when the index has no buckets.
    int EimerIndex(const K& key)
    {
        if (m_nBuckets <= 0) return -1;
        if (this->m_nCount == 0) this->SetzeGroesse(m_nBuckets);
        return static_cast<int>(key.HashWert() % static_cast<std::uint32_t>(this->m_nCount));
    }
};
