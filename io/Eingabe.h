// Reading the document: from a named file or from standard input, as the bytes it holds. A
// regular file is mapped into memory (or, where it cannot be mapped, read whole); anything else
// (a pipe, a terminal, a device) is read to its end. A named file that starts with the bytes
// FF FE is UTF-16LE and is converted into the form AusUtf16 (platform/Textform.h); everything
// else is narrow text and stays as it is. No newline translation takes place.
//
// Every reader empties the text first; after a failure the text is empty and the reader returns
// false, with the German message in *pFehler if given.
#pragma once

#include <cstddef>
#include <cstdint>
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
    virtual ~EingabeWache() = default;

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

// True when the file's status can be obtained (it exists and is reachable); otherwise false,
// with errno in *pnErrno if given.
bool DateiExistiert(const CString& strName, int* pnErrno = nullptr);

// Reads the named file. pWache (if given) keeps a mapped file open and watches it.
bool LiesDatei(CString& text, const CString& strName, DateiFehler* pFehler = nullptr, EingabeWache* pWache = nullptr);

// Reads standard input (or any stream) as narrow text: mapped or whole when it is a regular file
// (from the current offset to the end); otherwise to its end, and one line feed appended when
// the bytes are not empty and do not end in one. False at once, text untouched, when no stream
// is attached.
bool LiesStream(CString& text, CStdioFile& stream, DateiFehler* pFehler = nullptr, EingabeWache* pWache = nullptr);
