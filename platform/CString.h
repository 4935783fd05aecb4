// CString: an owning byte string with explicit length, the program's one string class: the
// document as it was read, every result, every argument. It may hold zero bytes anywhere. Growth
// is geometric, so repeated appends stay linear.
//
// A string's bytes live in a buffer of its own, or in a file mapped into memory (Uebernimm),
// which it unmaps when it lets go. Behind the bytes of its own buffer stands a zero byte; behind
// a mapped file's bytes there may be nothing readable, so nobody reads past GetLength().
//
// Each string also tells the form of its text (TextForm): bytes as read from narrow input, or
// the program's form of a document read as UTF-16, which output and the unit count of a text
// treat differently (see platform/Textform.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Textform.h"

class CString {
public:
    CString() noexcept = default;
    // Copies n bytes from p (which may hold zero bytes).
    CString(const char* p, std::ptrdiff_t n);
    explicit CString(std::string_view text);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    ~CString();

    std::ptrdiff_t GetLength() const noexcept { return m_nLength; }
    // Bytes the buffer holds (for its own buffer, before the slot of the terminating zero).
    std::ptrdiff_t GetAllocLength() const noexcept { return m_nCapacity; }
    bool IsEmpty() const noexcept { return m_nLength == 0; }
    // Length 0; the buffer is kept for reuse.
    void Empty() noexcept;
    // Length 0 and the buffer released.
    void Freigeben() noexcept;

    // Sets the length to nLength (the first min(old, new) bytes are kept, new bytes are
    // uninitialised) and returns the writable buffer, which has room for nLength bytes (and a
    // zero byte behind them when it is the string's own). Throws std::bad_alloc when the memory
    // the process may still take does not hold it.
    char* GetBufferSetLength(std::ptrdiff_t nLength);
    // Ends writing through the buffer: the length becomes nLength (at most the length set by
    // GetBufferSetLength).
    void ReleaseBuffer(std::ptrdiff_t nLength) noexcept;
    // Makes room for nLength bytes without changing the text (a hint; may throw like above).
    void Reserviere(std::ptrdiff_t nLength);
    // Gives the string the bytes of text without throwing: false, the string unchanged, when
    // the memory is not there (for start-up, before a failure could be reported otherwise).
    bool Setze(std::string_view text) noexcept;

    // Takes nLength bytes from nVersatz on of a file mapped at pAbbild (private and writable,
    // nAbbild bytes long) as its text, and unmaps the mapping when it lets it go. Writes go to
    // private copies of pages.
    void Uebernimm(char* pAbbild, std::size_t nAbbild, std::ptrdiff_t nVersatz, std::ptrdiff_t nLength) noexcept;

    // The bytes; never null.
    const char* GetString() const noexcept { return m_pBuffer ? m_pBuffer : &s_nNull; }
    char operator[](std::ptrdiff_t i) const noexcept { return GetString()[i]; }
    std::string_view Sicht() const noexcept { return {GetString(), static_cast<std::size_t>(m_nLength)}; }

    TextForm Form() const noexcept { return m_eForm; }
    void SetzeForm(TextForm eForm) noexcept { m_eForm = eForm; }

    // A string may hold a stretch of a longer text that arrives piece by piece: open while more
    // of it may follow behind its end; Basis is where its first byte stands in that text (the
    // bytes dropped before it, VerwirfVorne). A string of its own is closed, with Basis 0.
    bool IstOffen() const noexcept { return m_bOffen; }
    void SetzeOffen(bool bOffen) noexcept { m_bOffen = bOffen; }
    std::ptrdiff_t Basis() const noexcept { return m_nBasis; }
    // Drops the first n bytes (0 <= n <= GetLength()); Basis grows by n. Bytes of its own move to
    // the front of the buffer; a mapped file's pages before the new start go back to the system.
    void VerwirfVorne(std::ptrdiff_t n) noexcept;
    // Makes the first nLength bytes of a mapped file (Uebernimm) the text: a mapped text is made
    // longer as its file is read on, without moving.
    void ZeigeAbbild(std::ptrdiff_t nLength) noexcept;
    // Bytes the mapped file holds from the text's start on (0 for a string of its own).
    std::ptrdiff_t AbbildLaenge() const noexcept { return m_eSpeicher == Speicher::Datei ? m_nCapacity : 0; }

    // Swaps text, buffer and form.
    void Tausche(CString& other) noexcept;

    friend bool operator==(const CString& a, const CString& b) noexcept { return a.Sicht() == b.Sicht(); }

private:
    enum class Speicher : unsigned char { Heap, Anonym, Datei };
    void GibFrei() noexcept;
    // Reserviere without throwing: false, the string unchanged, when the memory is not there.
    bool Wachse(std::ptrdiff_t nLength) noexcept;

    static const char s_nNull;
    char* m_pBuffer = nullptr;
    std::ptrdiff_t m_nLength = 0;
    std::ptrdiff_t m_nCapacity = 0;  // bytes available (own buffers: before the terminating zero)
    std::size_t m_nAbbild = 0;       // length of a mapping (Anonym, Datei)
    std::ptrdiff_t m_nVersatz = 0;   // where the text starts in a mapped file
    Speicher m_eSpeicher = Speicher::Heap;
    TextForm m_eForm = TextForm::Schmal;
    bool m_bOffen = false;
    std::ptrdiff_t m_nBasis = 0;
};
