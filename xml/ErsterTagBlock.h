// ErsterTagBlock: of the blocks of several names from one start on, the one that starts first
// (the first name listed on equal starts), as FindeErstenTagBlock finds it. Asked again from a
// later start in the same view, it keeps each name's last search while that still holds, so a
// walk over a view (the inner walk of a listing) does not search a name that occurs late or
// never anew behind every block.
#pragma once

#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "xml/Abtaster.h"

class ErsterTagBlock {
public:
    // The names must outlive the object and must not change while it is used.
    explicit ErsterTagBlock(const CBrixArray<BrixSubString>& names);
    ErsterTagBlock(const ErsterTagBlock&) = delete;
    ErsterTagBlock& operator=(const ErsterTagBlock&) = delete;
    virtual ~ErsterTagBlock() = default;

    // Forgets the kept searches; needed before the first call on another view.
    void Neu() noexcept;
    // As text.FindeErstenTagBlock(names, nPos, nNext, nIndex, nError, ...), with abtaster's walk.
    // Between two calls without Neu, text must stay the same view and nPos may only grow to a
    // position where the block taken before ended.
    BrixSubString Finde(BrixAbtaster& abtaster, const BrixSubString& text, std::ptrdiff_t& nPos, std::ptrdiff_t& nNext,
                        int& nIndex, int& nError, std::ptrdiff_t* pnStartTagLen = nullptr,
                        std::ptrdiff_t* pnEndTagOffset = nullptr);

private:
    // The last block search for one name. It still holds for a later start k as long as it
    // found its block at or behind k, or found none: the searches of all names step over the
    // same items in the same way, so a search from k would only repeat the tail of this one.
    struct Suche {
        bool bGemacht = false;
        std::ptrdiff_t nPos = -1;
        std::ptrdiff_t nNext = -1;
        int nError = 0;
        std::ptrdiff_t nStartTagLen = -1;
        std::ptrdiff_t nEndTagOffset = -1;
        BrixSubString block;
    };

    const CBrixArray<BrixSubString>& m_names;
    std::vector<Suche> m_aSuchen;
};
