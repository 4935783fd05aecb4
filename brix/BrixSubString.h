// BrixSubString: a non-owning view of a stretch of a CString, in UTF-16 units.
// The viewed CString must outlive the view and must not change while the view is used.
//
// Positions taken and returned are int offsets relative to the view's start (m_nStart);
// -1 means none. Slicing clamps instead of failing (Mitte, Links, Rechts); ZeichenAn and
// Links rely on their callers for the bounds they state. A view with no data (m_pString null)
// behaves as an empty view, except in the comparisons, where it equals every empty view.
// Every search is bounded to the view and treats U+0000 as an ordinary unit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "brix/EinheitSuche.h"
#include "platform/CString.h"

template <class T>
class CBrixArray;
class TextZiel;

class BrixSubString {
public:
    // --- Fields: a plain value, copied field by field. ---
    const CString* m_pString = nullptr;  // the viewed string; null: no data
    int m_nStart = 0;                    // buffer index of the first viewed unit
    int m_nEnd = 0;                      // buffer index one past the last viewed unit

    // --- Construction and access ---
    // No data.
    BrixSubString() noexcept = default;
    // The three fields exactly as passed, without clamping.
    BrixSubString(const CString* pString, int nStart, int nEnd) noexcept
        : m_pString(pString), m_nStart(nStart), m_nEnd(nEnd) {}
    // The whole of s.
    explicit BrixSubString(const CString& s) noexcept : m_pString(&s), m_nStart(0), m_nEnd(s.GetLength()) {}

    // Number of viewed units.
    int Laenge() const noexcept { return m_nEnd - m_nStart; }
    bool HatDaten() const noexcept { return m_pString != nullptr; }
    // Pointer to the first viewed unit; only for views with data.
    const char16_t* Daten() const noexcept { return m_pString->GetString() + m_nStart; }
    // The viewed units as a standard view (empty for no data).
    std::u16string_view Sicht() const noexcept
    {
        return m_pString ? std::u16string_view(Daten(), static_cast<std::size_t>(Laenge())) : std::u16string_view();
    }
    // The unit at relative index i; a negative i reads the first unit. No upper check: callers
    // keep 0 <= i <= Laenge(); i == Laenge() reads the unit just past the view (the terminating
    // zero when the view reaches its string's end). Must not be called without data.
    char16_t ZeichenAn(int i) const noexcept { return m_pString->GetString()[m_nStart + (i < 0 ? 0 : i)]; }

    // --- Slicing: each returns a new view on the same source ---
    // Up to nCount units from relative position nFirst. A negative nFirst counts as 0 (nCount is
    // not reduced); nFirst past the end gives the empty view at the end; a negative nCount
    // gives an empty view at nFirst.
    BrixSubString Mitte(int nFirst, int nCount) const noexcept;
    // From relative position nFirst (clamped to 0..Laenge()) to the end.
    BrixSubString Mitte(int nFirst) const noexcept;
    // The first n units, clamped to the length (a negative n counts as 0).
    BrixSubString Links(int n) const noexcept;
    // The last n units, or the whole view when it is not longer than n (a negative n counts as 0).
    BrixSubString Rechts(int n) const noexcept;

    // --- Comparison, hash, output ---
    // Ordinal comparison of the UTF-16 units; only the sign counts. A prefix sorts first.
    int Vergleiche(const BrixSubString& other) const noexcept;
    // The same against a zero-terminated string, which may be null.
    int Vergleiche(const char16_t* s) const noexcept;
    // Sum of the viewed units in 32 bits (wrapping); 0 without data.
    std::uint32_t HashWert() const noexcept;
    // Copies the view's units to pZiel, puts a zero unit behind them, returns the length.
    // pZiel needs room for Laenge() + 1 units.
    int KopiereNach(char16_t* pZiel) const noexcept;

    // --- Searches ---
    // First ch in the view, or -1.
    int FindeZeichen(char16_t ch) const noexcept;
    // First ch at or after nFrom (0 <= nFrom <= Laenge()), or -1.
    int FindeZeichen(char16_t ch, int nFrom) const noexcept;
    // First occurrence of the zero-terminated s at or after nFrom that ends within the view, or -1.
    int FindeString(const char16_t* s, int nFrom) const noexcept;
    // First unit at or after nFrom that is a member of the zero-terminated set, or -1; stores the
    // member's index through pnWhich (if given) on success. With bSkipQuotes a '"' or '\'' opens
    // a run up to the same quote that is never matched; an unclosed quote ends the scan (-1).
    int FindeEinesVon(const char16_t* pSet, int nFrom, int* pnWhich, bool bSkipQuotes) const noexcept;
    // Position of the bracket that closes the group opened at nPos (nBracketIndex: index of that
    // opener in pBrackets) or, with nBracketIndex -1, by the first opener at or after nPos; -1 if
    // none. pBrackets null means u"()[]{}<>". Closers of another kind are passed over. Works with
    // an explicit stack: any nesting depth is fine. With nBracketIndex -1 and no member of the set
    // at or after nPos, a one-line diagnostic goes to standard error (the program never does that).
    int FindeSchliessendeKlammer(int nPos, const char16_t* pBrackets, int nBracketIndex, bool bSkipQuotes) const;
    // The next field up to the separator chSep from nPos; advances nPos behind the separator,
    // to Laenge() + 1 after a trailing separator, to -1 when the splitting is over.
    BrixSubString NaechstesTeil(char16_t chSep, int& nPos, const char16_t* pBrackets) const;
    // Splits the view at chSep into aFields (emptied first).
    void Teile(char16_t chSep, CBrixArray<BrixSubString>& aFields, const char16_t* pBrackets) const;

    // --- Tag-block scanner (xml/) ---
    // The next element block at this level whose start-tag name equals name.
    BrixSubString FindeTagBlock(const BrixSubString& name, int& nPos, int& nNext, int& nError,
                                int* pnStartTagLen = nullptr, int* pnEndTagOffset = nullptr) const;
    // The next element block at this level, whatever its name.
    BrixSubString FindeNaechstenTagBlock(int& nPos, int& nNext, int& nError, int* pnStartTagLen = nullptr,
                                         int* pnEndTagOffset = nullptr) const;
    // Position just past the end tag that closes the element name whose start tag ends before
    // nFrom; on failure the position of the '<' where it failed (-1 for code 3, 0 for code 2).
    int FindeEndTag(const BrixSubString& name, int nFrom, int& nError, int* pnEndTagPos = nullptr) const;

    // --- Tag helpers (xml/) ---
    // Of the blocks of all names from nPos on, the one that starts first.
    BrixSubString FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, int& nPos, int& nNext, int& nIndex,
                                      int& nError, int* pnStartTagLen = nullptr, int* pnEndTagOffset = nullptr) const;
    // The content of a block view, between its start tag and its end tag.
    BrixSubString Inhalt() const noexcept;
    // The name of a block view: the letters and digits behind its '<'.
    BrixSubString TagName() const noexcept;

    // --- Comment and markup stripping (xml/) ---
    // Appends the view's text without XML comments to out.
    void EntferneKommentare(CString& out) const;
    void EntferneKommentare(TextZiel& out) const;
    CString EntferneKommentare() const;
    // Appends the view's text without markup (every run from '<' to the next '>') to out.
    void EntferneTags(CString& out) const;
    void EntferneTags(TextZiel& out) const;
    CString EntferneTags() const;
};

// Appends the view's text to target and returns target. Works when the view is of target itself.
CString& Anhaengen(CString& target, const BrixSubString& view);

// --- The small operations, inline: the scanner calls them at every tag. ---

namespace brixsicht {

// Ordinal comparison of n units as unsigned 16-bit values; U+0000 is an ordinary unit.
inline int VergleicheEinheiten(const char16_t* a, const char16_t* b, int n) noexcept
{
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// The common prefix decides, else the shorter text sorts first.
inline int VergleicheTexte(const char16_t* a, int la, const char16_t* b, int lb) noexcept
{
    const int rc = VergleicheEinheiten(a, b, la < lb ? la : lb);
    if (rc != 0 || la == lb) return rc;
    return la < lb ? -1 : 1;
}

}  // namespace brixsicht

inline BrixSubString BrixSubString::Mitte(int nFirst, int nCount) const noexcept
{
    const int nLaenge = Laenge();
    const int f = nFirst < 0 ? 0 : nFirst;
    const int cnt = nCount < 0 ? 0 : nCount;
    if (f > nLaenge) return BrixSubString(m_pString, m_nEnd, m_nEnd);
    // 64 bits: f + cnt may pass the int range for a huge count.
    const std::int64_t nBis = static_cast<std::int64_t>(f) + cnt;
    const int nEnde = nBis > nLaenge ? m_nEnd : m_nStart + f + cnt;
    return BrixSubString(m_pString, m_nStart + f, nEnde);
}

inline BrixSubString BrixSubString::Mitte(int nFirst) const noexcept
{
    const int nLaenge = Laenge();
    int f = nFirst < 0 ? 0 : nFirst;
    if (f > nLaenge) f = nLaenge;
    return BrixSubString(m_pString, m_nStart + f, m_nEnd);
}

inline BrixSubString BrixSubString::Links(int n) const noexcept
{
    const int nLaenge = Laenge();
    if (n < 0) n = 0;
    return BrixSubString(m_pString, m_nStart, m_nStart + (n < nLaenge ? n : nLaenge));
}

inline BrixSubString BrixSubString::Rechts(int n) const noexcept
{
    if (n < 0) n = 0;
    if (Laenge() > n) return BrixSubString(m_pString, m_nEnd - n, m_nEnd);
    return *this;
}

inline int BrixSubString::Vergleiche(const BrixSubString& other) const noexcept
{
    if (!HatDaten()) return (other.HatDaten() && other.Laenge() != 0) ? -1 : 0;
    if (!other.HatDaten()) return Laenge() != 0 ? 1 : 0;
    return brixsicht::VergleicheTexte(Daten(), Laenge(), other.Daten(), other.Laenge());
}

inline int BrixSubString::Vergleiche(const char16_t* s) const noexcept
{
    if (!HatDaten()) return (s != nullptr && s[0] != 0) ? -1 : 0;
    if (s == nullptr) return Laenge() != 0 ? 1 : 0;
    const std::size_t ls = std::char_traits<char16_t>::length(s);
    // A zero-terminated text longer than any view compares by its first INT_MAX units; the
    // view is shorter in that case, so the result is the same.
    const int nLs = ls > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(ls);
    return brixsicht::VergleicheTexte(Daten(), Laenge(), s, nLs);
}

inline int BrixSubString::FindeZeichen(char16_t ch, int nFrom) const noexcept
{
    if (!HatDaten()) return -1;
    return brixsuche::FindeEinheit(Daten(), Laenge(), nFrom < 0 ? 0 : nFrom, ch);
}

inline int BrixSubString::FindeZeichen(char16_t ch) const noexcept { return FindeZeichen(ch, 0); }
