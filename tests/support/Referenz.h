// A plain model of the searches, the tag-block scanner, the tag helpers and the six filters over
// std::u16string, for differential tests. It is written to be obviously right, not fast: every
// step is a literal loop, nesting is followed by recursion (so only for shallow documents), and
// it shares no code with brixlib. Positions are int offsets relative to the view, -1 means none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace referenz {

// A view of a stretch of pText (absolute indices nStart..nEnd); pText null means no data.
struct Sicht {
    const std::u16string* pText = nullptr;
    int nStart = 0;
    int nEnd = 0;

    int Laenge() const { return nEnd - nStart; }
    bool HatDaten() const { return pText != nullptr; }
    // The unit at relative index i; needs data and 0 <= i < Laenge().
    char16_t An(int i) const { return (*pText)[static_cast<std::size_t>(nStart + i)]; }
    // Clamping slices with the same rules as the product's view.
    Sicht Mitte(int nFirst, int nCount) const;
    Sicht Mitte(int nFirst) const;
    Sicht Links(int n) const;
    Sicht Rechts(int n) const;
    // The viewed units (empty without data).
    std::u16string Text() const;
};

// The whole of s.
Sicht Ganz(const std::u16string& s);
// Same length and same units; a view with no data counts as empty.
bool Gleich(const Sicht& a, const Sicht& b);

// --- Searches ---
int FindeZeichen(const Sicht& v, char16_t ch, int nFrom);
int FindeString(const Sicht& v, std::u16string_view s, int nFrom);
int FindeEinesVon(const Sicht& v, std::u16string_view set, int nFrom, int* pnWhich, bool bQuotes);
// Recursive, one level per open group; brackets empty means "()[]{}<>".
int FindeSchliessendeKlammer(const Sicht& v, int nPos, std::u16string_view brackets, int nIndex, bool bQuotes);
// Fields at chSep, no bracket set; a missing field is a view with no data.
std::vector<Sicht> Teile(const Sicht& v, char16_t chSep);

// --- Scanner (pName null: FindeNaechstenTagBlock) ---
Sicht FindeTagBlock(const Sicht& v, const Sicht& name, int& nPos, int& nNext, int& nError,
                    int* pnStartTagLen = nullptr, int* pnEndTagOffset = nullptr);
Sicht FindeNaechstenTagBlock(const Sicht& v, int& nPos, int& nNext, int& nError, int* pnStartTagLen = nullptr,
                             int* pnEndTagOffset = nullptr);
int FindeEndTag(const Sicht& v, const Sicht& name, int nFrom, int& nError, int* pnEndTagPos = nullptr);

// --- Tag helpers ---
Sicht FindeErstenTagBlock(const Sicht& v, const std::vector<Sicht>& names, int& nPos, int& nNext, int& nIndex,
                          int& nError, int* pnStartTagLen = nullptr, int* pnEndTagOffset = nullptr);
Sicht Inhalt(const Sicht& block);
Sicht TagName(const Sicht& block);

// --- Filters: each returns the whole result ---
std::u16string EntferneKommentare(const Sicht& text);
std::u16string EntferneTags(const Sicht& text);
std::u16string LoescheLeereTags(const Sicht& text);
std::u16string ZeigeTagBlocks(const Sicht& text, const Sicht& names);
std::u16string UeberspringeTagBlocks(const Sicht& text, const Sicht& name);
std::u16string ErsetzeTagInhalt(const Sicht& text, const Sicht& name, const Sicht& replacement);

}  // namespace referenz
