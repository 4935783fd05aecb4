// CString: an owning UTF-16 text with explicit length, the program's one string class.
// It may hold U+0000 units anywhere; a zero unit is always kept behind the text, so
// GetString()[GetLength()] is 0. Growth is geometric, so repeated appends stay linear.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CString {
public:
    CString() noexcept = default;
    // Copies nLength units from pText (which may hold zero units).
    CString(const char16_t* pText, int nLength);
    explicit CString(std::u16string_view text);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    ~CString();

    // Decodes narrow text (UTF-8, byte-transparent; see platform/SchmalCodec.h).
    static CString AusSchmal(std::string_view bytes);

    int GetLength() const noexcept { return m_nLength; }
    // Units the buffer holds before the slot of the terminating zero (0 without a buffer).
    int GetAllocLength() const noexcept { return m_nCapacity; }
    bool IsEmpty() const noexcept { return m_nLength == 0; }
    // Length 0; the buffer is kept for reuse.
    void Empty() noexcept;
    // Length 0 and the buffer released.
    void Freigeben() noexcept;

    // Sets the length to nLength (the first min(old, new) units are kept, new units are
    // uninitialised) and returns the writable buffer, which has room for nLength + 1 units.
    // Throws CLaengenException when nLength passes the length limit.
    char16_t* GetBufferSetLength(std::int64_t nLength);
    // Ends writing through the buffer: the length becomes nLength (at most the length set by
    // GetBufferSetLength) and a zero unit is put behind it.
    void ReleaseBuffer(int nLength) noexcept;
    // Makes room for nLength units without changing the text (a hint; may throw like above).
    void Reserviere(std::int64_t nLength);

    // The units; never null; a zero unit stands behind the last one.
    const char16_t* GetString() const noexcept { return m_pBuffer ? m_pBuffer : &s_nNull; }
    char16_t operator[](int i) const noexcept { return GetString()[i]; }
    std::u16string_view Sicht() const noexcept { return {GetString(), static_cast<std::size_t>(m_nLength)}; }

    void Tausche(CString& other) noexcept;

    friend bool operator==(const CString& a, const CString& b) noexcept { return a.Sicht() == b.Sicht(); }

private:
    static const char16_t s_nNull;
    char16_t* m_pBuffer = nullptr;
    int m_nLength = 0;
    int m_nCapacity = 0;  // units available before the terminating zero's slot
};
