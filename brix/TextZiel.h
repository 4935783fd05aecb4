// TextZiel: where a filter writes its output, piece by piece and in order. The filters do not
// care whether the pieces end in a string (StringZiel) or go straight out to a stream (see
// io/Ausgabe.h); the last filter of a run writes to the stream, so its result is never held
// in memory as a whole.
//
// A target keeps a window of free bytes (m_pW .. m_pEnde); a piece that fits is copied there
// inline, anything else goes to Ueberlauf, which makes room (grows the string, or writes what
// was gathered).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "brix/BrixSubString.h"
#include "platform/CString.h"

class TextZiel {
public:
    TextZiel(const TextZiel&) = delete;
    TextZiel& operator=(const TextZiel&) = delete;

    // Appends n bytes from p. p may point into the text the target was made from.
    void Anhaengen(const char* p, std::size_t n)
    {
        if (n <= static_cast<std::size_t>(m_pEnde - m_pW)) {
            if (n > 0) std::memcpy(m_pW, p, n);
            m_pW += n;
        } else {
            Ueberlauf(p, n);
        }
    }
    // Appends the view's bytes (nothing for an empty view or one with no data).
    void Anhaengen(const BrixSubString& view)
    {
        if (view.HatDaten() && view.Laenge() > 0) Anhaengen(view.Daten(), static_cast<std::size_t>(view.Laenge()));
    }
    // A hint that about n more bytes will follow; the default ignores it.
    virtual void Erwarte(std::int64_t n);

protected:
    TextZiel() = default;
    ~TextZiel() = default;
    // Takes a piece that does not fit into the free window.
    virtual void Ueberlauf(const char* p, std::size_t n) = 0;

    char* m_pW = nullptr;     // next free byte
    char* m_pEnde = nullptr;  // end of the free window
};

// Appends to a CString, which grows geometrically. The string's length is brought up to date by
// Fertig and by the destructor, so after an exception it holds every piece appended before.
// Throws std::bad_alloc (string unchanged by the failed piece) when there is no memory for a
// piece. The pieces must not be views of the target string itself.
class StringZiel final : public TextZiel {
public:
    explicit StringZiel(CString& out);
    ~StringZiel() { Fertig(); }
    // Sets the string's length to what was appended.
    void Fertig() noexcept;
    // Number of bytes in the string, pieces appended so far included.
    std::int64_t Laenge() const noexcept;
    void Erwarte(std::int64_t n) override;

protected:
    void Ueberlauf(const char* p, std::size_t n) override;

private:
    // Grows the buffer to hold at least nGesamt bytes; the text written so far is kept.
    void Wachse(std::int64_t nGesamt);

    CString& m_out;
    char* m_pAnfang = nullptr;  // the string's buffer while the target writes to it
};

// Writes the result over the text it is made from, for filters that only leave text out: each
// piece is a stretch of the text at or behind everything written so far, so it moves forward
// over text already read, and the filter reads on behind it. The string's length becomes what
// was written at Fertig (and in the destructor). The text needs no second buffer. A debug build
// checks that every piece stands at or behind what was written: a filter that read text it has
// already written over would fail there.
class EigenZiel final : public TextZiel {
public:
    explicit EigenZiel(CString& text);
    ~EigenZiel() { Fertig(); }
    void Fertig() noexcept;

protected:
    // Every piece comes here (the window of free bytes stays empty): pieces may overlap the
    // place they move to, so they are moved, not copied.
    void Ueberlauf(const char* p, std::size_t n) override;

private:
    CString& m_text;
    char* m_pAnfang;
};
