// Reading the document: from a named file or from standard input, as the bytes it holds, piece
// by piece. A regular file is mapped into memory and made part of the text a piece at a time (or,
// where it cannot be mapped, read); anything else (a pipe, a terminal, a device) is read as it
// comes. A named file that starts with the bytes FF FE is UTF-16LE and is converted into the form
// AusUtf16 (platform/Textform.h) as it is read; everything else is narrow text and stays as it
// is. No newline translation takes place.
//
// After each piece the reader hands over (Weiterleitung): the piece is then at the end of the
// text, and whoever takes it may drop bytes from the text's front (CString::VerwirfVorne) that
// it no longer needs. Without a Weiterleitung the text ends up holding the whole document.
//
// Every reader empties the text first; after a failure the text is empty and the reader returns
// false, with the German message in *pFehler if given. What the Weiterleitung throws is not the
// reader's failure: it passes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/CString.h"
#include "platform/Datei.h"

// The input a document was mapped from, kept open while its bytes are used: a file that shrinks
// meanwhile leaves zero bytes where its end was (see SchuetzeAbbilder), so whatever sends bytes
// out of the program asks it first (Pruefe).
class EingabeWache {
public:
    EingabeWache() = default;
    EingabeWache(const EingabeWache&) = delete;
    EingabeWache& operator=(const EingabeWache&) = delete;

    // Watches the bytes mapped from datei up to offset nEnde; datei stays open and alive as long
    // as the wache is used (pEigen: the wache keeps it).
    void Bewache(const CFile& datei, std::int64_t nEnde, std::unique_ptr<CFile> pEigen = nullptr) noexcept;
    // Throws CFileException ("... wurde beim Lesen kürzer") when the mapped file is shorter now
    // than the bytes mapped from it; nothing when no file is mapped.
    void Pruefe() const;
    // Stops watching: the bytes were copied out of the mapping, which is gone.
    void Vergiss() noexcept;

private:
    const CFile* m_pDatei = nullptr;
    std::unique_ptr<CFile> m_pEigen;
    std::int64_t m_nEnde = 0;
};

// What the reader calls after each piece: bEnde for the last (the document is whole), bStrom
// when the piece came from a stream, where the next one may be long in coming.
using Weiterleitung = std::function<void(bool bEnde, bool bStrom)>;

// True when the file's status can be obtained (it exists and is reachable); otherwise false,
// with errno in *pnErrno if given.
bool DateiExistiert(const CString& strName, int* pnErrno = nullptr);

// Reads the named file. pWache (if given) keeps a mapped file open and watches it.
bool LiesDatei(CString& text, const CString& strName, const Weiterleitung& weiter, DateiFehler* pFehler = nullptr,
               EingabeWache* pWache = nullptr);
bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler = nullptr, EingabeWache* pWache = nullptr);

// Reads standard input (or any stream) as narrow text: mapped when it is a regular file (from
// the current offset to the end); otherwise as it comes, and one line feed appended when the
// bytes are not empty and do not end in one. False at once, text untouched, when no stream is
// attached.
bool LiesStream(CString& text, CStdioFile& stream, const Weiterleitung& weiter, DateiFehler* pFehler = nullptr,
                EingabeWache* pWache = nullptr);
bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr, EingabeWache* pWache = nullptr);
