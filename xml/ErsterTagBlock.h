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

    // Forgets the kept searches; needed before the first call on another view.
    void Neu() noexcept;
    // The block of the names that starts first in text from nAb on, with abtaster's walk, and in
    // nIndex the index of its name (as text.FindeErstenTagBlock). Between two calls without Neu,
    // text must stay the same view and nAb may only grow to a position where the block taken
    // before ended.
    TagBlockFund Finde(BrixAbtaster& abtaster, const BrixSubString& text, std::ptrdiff_t nAb, int& nIndex);

private:
    // The last block search for one name. It still holds for a later start k as long as it
    // found its block at or behind k, or found none: the searches of all names step over the
    // same items in the same way, so a search from k would only repeat the tail of this one.
    struct Suche {
        bool bGemacht = false;
        TagBlockFund fund;
    };

    const CBrixArray<BrixSubString>& m_names;
    std::vector<Suche> m_aSuchen;
};
