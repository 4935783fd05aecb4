// Text leaving a view: into a CString of its own (ErzeugeString, Zuweisen), and as narrow bytes
// (UTF-8, byte-transparent) onto a stream (SchreibeAusgabe). U+0000 is an ordinary unit: copies
// keep every unit, and it is written as a zero byte. No newline translation takes place.
#pragma once

#include <cstddef>
#include <memory>

#include "brix/BrixSubString.h"
#include "brix/TextZiel.h"
#include "platform/CString.h"
#include "platform/Datei.h"

// A new string holding the view's units (empty for a view with no data).
CString ErzeugeString(const BrixSubString& view);

// Gives target the view's units and returns it; works when the view is of target itself.
CString& Zuweisen(CString& target, const BrixSubString& view);

// Encodes the pieces appended to it as narrow bytes and writes them to a stream in blocks of
// about 1 MiB, so that a filter's result goes out while it is made and is never held whole.
// Small pieces are gathered first; large ones are encoded straight from where they are. A
// surrogate pair is never cut, not even when its two units arrive in different pieces: the
// bytes written are exactly those of the whole text encoded at once. Nothing is written before
// the first block is full or Fertig is called, and nothing at all for an empty text.
// Appending and Fertig throw CFileException when a write fails.
class AusgabeStrom final : public TextZiel {
public:
    explicit AusgabeStrom(CStdioFile& stream);
    ~AusgabeStrom();
    // Encodes and writes everything still held; the stream is not closed.
    void Fertig();

protected:
    void Ueberlauf(const char16_t* p, std::size_t n) override;

private:
    // Encodes n units in order with those before; a high surrogate at the end waits for the
    // next piece.
    void Kodiere(const char16_t* p, std::size_t n);
    // Encodes n units none of which is a high surrogate waiting for its partner outside them.
    void KodiereGanz(const char16_t* p, std::size_t n);
    void Schreibe();

    CStdioFile& m_stream;
    std::unique_ptr<char16_t[]> m_pStufe;  // small pieces gathered before encoding
    std::unique_ptr<char[]> m_pBytes;      // encoded bytes waiting to be written
    std::size_t m_nKapazitaet = 0;         // size of that buffer (at most one block)
    std::size_t m_nBytes = 0;
    char16_t m_nHoch = 0;                  // a high surrogate held back, or 0
};

// Writes the text as narrow bytes, encoded and written in blocks of about 1 MiB that never cut a
// surrogate pair. Nothing is written for an empty text.
// False when a write failed, with the message (naming the stream) and errno in *pFehler.
bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
bool SchreibeAusgabe(const CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
