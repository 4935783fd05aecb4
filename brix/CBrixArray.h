// CBrixArray<T>: a growable array of pointers to heap elements that it owns and deletes.
// The buffer grows from 16 slots by doubling and shrinks with hysteresis; elements never move in
// memory, so a pointer read through Element stays valid until its element is removed.
// CBrixArray<BrixSubString> can also keep a hash index from element text to position
// (brix/CBrixMap.h), switched on by a bucket count above 0 at construction.
//
// Range rules: Setze and Entferne ignore what lies outside the elements (Entferne clamps its
// count; a negative index or one beyond the count removes nothing); Einfuegen clamps its index
// to 0..m_nCount; Element with an index out of range yields slot 0, or a per-array null dummy
// slot when there is no buffer. Nothing ever touches memory outside the buffer.
// Arrays own their elements, so they are not copyable.
#pragma once

#include "brix/BrixSubString.h"
#include "brix/CBrixArrayBasis.h"
#include "brix/CBrixMap.h"

// The array of views: Hinzufuegen stores heap copies, and with a bucket count above 0 the
// index m_Index maps each non-empty element's text to its position. Hinzufuegen, Entferne and
// EntferneAlle keep the index in step; Einfuegen, Setze and SetzeGroesse do not touch it.
// Entferne and EntferneAlle hide those of the base, so call them on this type.
template <>
class CBrixArray<BrixSubString> : public CBrixArrayBasis<BrixSubString> {
public:
    bool m_bIndexed;                       // the index is kept; fixed at construction
    CBrixMap<BrixSubString, int> m_Index;  // text -> position of the element registered last

    explicit CBrixArray(int nBuckets = 0) : m_bIndexed(nBuckets > 0), m_Index(nBuckets) {}
    ~CBrixArray() override = default;

    // Appends a copy of v; returns its index. Non-empty views are entered in the index.
    int Hinzufuegen(const BrixSubString& v);
    // As in the base, and the index forgets the removed texts and re-enters every element from
    // nIndex on with its new position.
    void Entferne(int nIndex, int n);
    // As in the base, and the index is cleared (its bucket table keeps its slots).
    void EntferneAlle() noexcept;
};
