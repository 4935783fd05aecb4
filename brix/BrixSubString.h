// BrixSubString: a non-owning view of a stretch of a CString, in bytes.
// The viewed CString must outlive the view and must not change while the view is used.
//
// Positions taken and returned are std::ptrdiff_t offsets relative to the view's start
// (m_nStart); -1 means none. Slicing clamps instead of failing (Mitte, Links, Rechts); ZeichenAn
// relies on its callers for the bounds it states. A view with no data (m_pString null) behaves
// as an empty view, except in the comparisons, where it equals every empty view. Every search is
// bounded to the view, never reads past its end, and treats a zero byte as an ordinary byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "brix/ByteSuche.h"
#include "platform/CString.h"

template <class T>
class CBrixArray;
class TextZiel;

class BrixSubString {
public:
    // --- Fields: a plain value, copied field by field. ---
    const CString* m_pString = nullptr;  // the viewed string; null: no data
    std::ptrdiff_t m_nStart = 0;         // buffer index of the first viewed byte
    std::ptrdiff_t m_nEnd = 0;           // buffer index one past the last viewed byte

    // --- Construction and access ---
    // No data.
    BrixSubString() noexcept = default;
    // The three fields exactly as passed, without clamping.
    BrixSubString(const CString* pString, std::ptrdiff_t nStart, std::ptrdiff_t nEnd) noexcept
        : m_pString(pString), m_nStart(nStart), m_nEnd(nEnd)
    {}
    // The whole of s.
    explicit BrixSubString(const CString& s) noexcept : m_pString(&s), m_nStart(0), m_nEnd(s.GetLength()) {}

    // Number of viewed bytes.
    std::ptrdiff_t Laenge() const noexcept { return m_nEnd - m_nStart; }
    bool HatDaten() const noexcept { return m_pString != nullptr; }
    // Pointer to the first viewed byte; only for views with data.
    const char* Daten() const noexcept { return m_pString->GetString() + m_nStart; }
    // The viewed bytes as a standard view (empty for no data).
    std::string_view Sicht() const noexcept
    {
        return m_pString ? std::string_view(Daten(), static_cast<std::size_t>(Laenge())) : std::string_view();
    }
    // The form of the viewed text (see platform/Textform.h); a view without data is narrow.
    TextForm Form() const noexcept { return m_pString ? m_pString->Form() : TextForm::Schmal; }
    // Where the view's start and end stand in the whole text that the string holds a stretch of
    // (its Basis added): they stay the same when the string drops bytes before them.
    std::ptrdiff_t AbsolutAnfang() const noexcept { return (m_pString ? m_pString->Basis() : 0) + m_nStart; }
    std::ptrdiff_t AbsolutEnde() const noexcept { return (m_pString ? m_pString->Basis() : 0) + m_nEnd; }
    // True when more text may follow behind the view's end: it ends where its open string ends.
    bool EndeOffen() const noexcept
    {
        return m_pString != nullptr && m_pString->IstOffen() && m_nEnd >= m_pString->GetLength();
    }
    // The byte at relative index i; a negative i reads the first byte. No upper check: callers
    // keep 0 <= i < Laenge(). Must not be called without data.
    char ZeichenAn(std::ptrdiff_t i) const noexcept { return m_pString->GetString()[m_nStart + (i < 0 ? 0 : i)]; }

    // --- Slicing: each returns a new view on the same source ---
    // Up to nCount bytes from relative position nFirst. A negative nFirst counts as 0 (nCount is
    // not reduced); nFirst past the end gives the empty view at the end; a negative nCount
    // gives an empty view at nFirst.
    BrixSubString Mitte(std::ptrdiff_t nFirst, std::ptrdiff_t nCount) const noexcept;
    // From relative position nFirst (clamped to 0..Laenge()) to the end.
    BrixSubString Mitte(std::ptrdiff_t nFirst) const noexcept;
    // The first n bytes, clamped to the length (a negative n counts as 0).
    BrixSubString Links(std::ptrdiff_t n) const noexcept;
    // The last n bytes, or the whole view when it is not longer than n (a negative n counts as 0).
    BrixSubString Rechts(std::ptrdiff_t n) const noexcept;

    // --- Comparison, hash, output ---
    // Ordinal comparison of the bytes as unsigned values; only the sign counts. A prefix sorts
    // first. (The system only asks whether two texts are equal, which is the same question over
    // bytes as over UTF-16 units.)
    int Vergleiche(const BrixSubString& other) const noexcept;
    // The same against a zero-terminated string, which may be null.
    int Vergleiche(const char* s) const noexcept;
    // Sum of the viewed bytes in 32 bits (wrapping); 0 without data.
    std::uint32_t HashWert() const noexcept;
    // Copies the view's bytes to pZiel, puts a zero byte behind them, returns the length.
    // pZiel needs room for Laenge() + 1 bytes.
    std::ptrdiff_t KopiereNach(char* pZiel) const noexcept;

    // --- Searches ---
    // First ch in the view, or -1.
    std::ptrdiff_t FindeZeichen(char ch) const noexcept;
    // First ch at or after nFrom (0 <= nFrom <= Laenge()), or -1.
    std::ptrdiff_t FindeZeichen(char ch, std::ptrdiff_t nFrom) const noexcept;
    // First occurrence of the zero-terminated s at or after nFrom that ends within the view, or -1.
    std::ptrdiff_t FindeString(const char* s, std::ptrdiff_t nFrom) const noexcept;
    // First byte at or after nFrom that is a member of the zero-terminated set, or -1; stores the
    // member's index through pnWhich (if given) on success. With bSkipQuotes a '"' or '\'' opens
    // a run up to the same quote that is never matched; an unclosed quote ends the scan (-1).
    std::ptrdiff_t FindeEinesVon(const char* pSet, std::ptrdiff_t nFrom, int* pnWhich, bool bSkipQuotes) const noexcept;
    // Position of the bracket that closes the group opened at nPos (nBracketIndex: index of that
    // opener in pBrackets) or, with nBracketIndex -1, by the first opener at or after nPos; -1 if
    // none. pBrackets null means "()[]{}<>". Closers of another kind are passed over. Works with
    // an explicit stack: any nesting depth is fine. With nBracketIndex -1 and no member of the set
    // at or after nPos, a one-line diagnostic goes to standard error (the program never does that).
    std::ptrdiff_t FindeSchliessendeKlammer(std::ptrdiff_t nPos, const char* pBrackets, int nBracketIndex,
                                            bool bSkipQuotes) const;
    // The next field up to the separator chSep from nPos; advances nPos behind the separator,
    // to Laenge() + 1 after a trailing separator, to -1 when the splitting is over.
    BrixSubString NaechstesTeil(char chSep, std::ptrdiff_t& nPos, const char* pBrackets) const;
    // Splits the view at chSep into aFields (emptied first).
    void Teile(char chSep, CBrixArray<BrixSubString>& aFields, const char* pBrackets) const;

    // --- Tag-block scanner (xml/) ---
    // The next element block at this level whose start-tag name equals name.
    BrixSubString FindeTagBlock(const BrixSubString& name, std::ptrdiff_t& nPos, std::ptrdiff_t& nNext, int& nError,
                                std::ptrdiff_t* pnStartTagLen = nullptr,
                                std::ptrdiff_t* pnEndTagOffset = nullptr) const;
    // The next element block at this level, whatever its name.
    BrixSubString FindeNaechstenTagBlock(std::ptrdiff_t& nPos, std::ptrdiff_t& nNext, int& nError,
                                         std::ptrdiff_t* pnStartTagLen = nullptr,
                                         std::ptrdiff_t* pnEndTagOffset = nullptr) const;
    // Position just past the end tag that closes the element name whose start tag ends before
    // nFrom; on failure the position of the '<' where it failed (-1 for code 3, 0 for code 2).
    std::ptrdiff_t FindeEndTag(const BrixSubString& name, std::ptrdiff_t nFrom, int& nError,
                               std::ptrdiff_t* pnEndTagPos = nullptr) const;

    // --- Tag helpers (xml/) ---
    // Of the blocks of all names from nPos on, the one that starts first.
    BrixSubString FindeErstenTagBlock(const CBrixArray<BrixSubString>& names, std::ptrdiff_t& nPos,
                                      std::ptrdiff_t& nNext, int& nIndex, int& nError,
                                      std::ptrdiff_t* pnStartTagLen = nullptr,
                                      std::ptrdiff_t* pnEndTagOffset = nullptr) const;
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

// Ordinal comparison of n bytes as unsigned values; a zero byte is an ordinary byte.
inline int VergleicheBytes(const char* a, const char* b, std::ptrdiff_t n) noexcept
{
    if (n <= 0) return 0;
    const int rc = std::memcmp(a, b, static_cast<std::size_t>(n));
    return rc < 0 ? -1 : rc > 0 ? 1 : 0;
}

// The common prefix decides, else the shorter text sorts first.
inline int VergleicheTexte(const char* a, std::ptrdiff_t la, const char* b, std::ptrdiff_t lb) noexcept
{
    const int rc = VergleicheBytes(a, b, la < lb ? la : lb);
    if (rc != 0 || la == lb) return rc;
    return la < lb ? -1 : 1;
}

}  // namespace brixsicht

inline BrixSubString BrixSubString::Mitte(std::ptrdiff_t nFirst, std::ptrdiff_t nCount) const noexcept
{
    const std::ptrdiff_t nLaenge = Laenge();
    const std::ptrdiff_t f = nFirst < 0 ? 0 : nFirst;
    const std::ptrdiff_t cnt = nCount < 0 ? 0 : nCount;
    if (f > nLaenge) return BrixSubString(m_pString, m_nEnd, m_nEnd);
    // Compared as what is left, so that a huge count cannot overflow.
    const std::ptrdiff_t nEnde = cnt > nLaenge - f ? m_nEnd : m_nStart + f + cnt;
    return BrixSubString(m_pString, m_nStart + f, nEnde);
}

inline BrixSubString BrixSubString::Mitte(std::ptrdiff_t nFirst) const noexcept
{
    const std::ptrdiff_t nLaenge = Laenge();
    std::ptrdiff_t f = nFirst < 0 ? 0 : nFirst;
    if (f > nLaenge) f = nLaenge;
    return BrixSubString(m_pString, m_nStart + f, m_nEnd);
}

inline BrixSubString BrixSubString::Links(std::ptrdiff_t n) const noexcept
{
    const std::ptrdiff_t nLaenge = Laenge();
    if (n < 0) n = 0;
    return BrixSubString(m_pString, m_nStart, m_nStart + (n < nLaenge ? n : nLaenge));
}

inline BrixSubString BrixSubString::Rechts(std::ptrdiff_t n) const noexcept
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

inline int BrixSubString::Vergleiche(const char* s) const noexcept
{
    if (!HatDaten()) return (s != nullptr && s[0] != 0) ? -1 : 0;
    if (s == nullptr) return Laenge() != 0 ? 1 : 0;
    return brixsicht::VergleicheTexte(Daten(), Laenge(), s, static_cast<std::ptrdiff_t>(std::strlen(s)));
}

inline std::ptrdiff_t BrixSubString::FindeZeichen(char ch, std::ptrdiff_t nFrom) const noexcept
{
    if (!HatDaten()) return -1;
    return brixsuche::FindeByte(Daten(), Laenge(), nFrom < 0 ? 0 : nFrom, ch);
}

inline std::ptrdiff_t BrixSubString::FindeZeichen(char ch) const noexcept { return FindeZeichen(ch, 0); }
