// Text leaving a view: into a CString of its own (ErzeugeString, Zuweisen), and onto a stream
// (AusgabeStrom, SchreibeAusgabe). A zero byte is an ordinary byte. No newline translation takes
// place. Narrow text goes out as it is; text in the form AusUtf16 is converted on the way
// (platform/Textform.h).
#pragma once

#include <cstddef>
#include <memory>

#include "brix/BrixSubString.h"
#include "brix/TextZiel.h"
#include "platform/CString.h"
#include "platform/Datei.h"
#include "platform/Textform.h"

class EingabeWache;

// A new string holding the view's bytes (empty for a view with no data), in the view's form.
CString ErzeugeString(const BrixSubString& view);

// Gives target the view's bytes and form and returns it; works when the view is of target itself.
CString& Zuweisen(CString& target, const BrixSubString& view);

// What text in the form AusUtf16 goes out as; narrow text always goes out as it is.
enum class AusgabeForm : unsigned char {
    Schmal,      // narrow bytes (InternZuAusgabe): standard output
    WieGelesen,  // as it was read: the mark FF FE, then UTF-16LE (InternZuUtf16); a file edited in place
};

// Writes the pieces appended to it to a stream in blocks of about 1 MiB, so that a filter's
// result goes out while it is made and is never held whole. Small pieces are gathered first;
// large ones of narrow text are written from where they are. Text in the form AusUtf16 is
// converted as it comes; a character is never cut, nor a surrogate from its partner, not even
// when they arrive in different pieces: the bytes written are exactly those of the whole text
// converted at once. Nothing is written before the first block is full, Spuele or Fertig is called, and
// nothing at all for an empty text, but for the mark FF FE of UTF-16 output, which Fertig writes
// in any case. Before each write the input is asked whether it still holds the bytes the output
// came from (pWache). Appending and Fertig throw CFileException when a write fails or the input
// shrank.
class AusgabeStrom final : public TextZiel {
public:
    AusgabeStrom(CStdioFile& stream, TextForm eForm = TextForm::Schmal, const EingabeWache* pWache = nullptr,
                 AusgabeForm eAusgabe = AusgabeForm::Schmal);
    ~AusgabeStrom();
    // Writes everything still held; the stream is not closed.
    void Fertig();
    // Writes what has been gathered (but for a character or surrogate pair cut short), so that it
    // reaches its reader before more of the input has come.
    void Spuele();

protected:
    void Ueberlauf(const char* p, std::size_t n) override;

private:
    // Writes what was gathered, but for the bytes at its end that may belong to what follows
    // (bAlles false: a character cut short, or a high surrogate waiting for its partner).
    void Schreibe(bool bAlles);
    // Writes n bytes from p as they are, after asking the input.
    void SchreibeRoh(const char* p, std::size_t n);

    CStdioFile& m_stream;
    TextForm m_eForm;
    const EingabeWache* m_pWache;
    bool m_bUtf16;                      // AusUtf16 written as UTF-16LE
    bool m_bMarke;                      // the mark FF FE of UTF-16 output is still to be written
    std::unique_ptr<char[]> m_pPuffer;  // gathered bytes (the window of TextZiel)
    std::size_t m_nKapazitaet = 0;
    std::unique_ptr<char[]> m_pGewandelt;  // AusUtf16: a block converted (twice its size as UTF-16)
    std::size_t m_nGewandelt = 0;
};

// Writes the text through an AusgabeStrom. Nothing is written for an empty text. False when a
// write failed, with the message (naming the stream) and errno in *pFehler.
bool SchreibeAusgabe(const BrixSubString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr,
                     const EingabeWache* pWache = nullptr);
bool SchreibeAusgabe(const CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr);
