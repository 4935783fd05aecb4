// Exceptions of the platform layer: the stand-ins for the framework's exception classes.
// The library itself never throws its own; these come from files (memory is std::bad_alloc).
#pragma once

#include <string>

// Base of every platform exception; carries a German message for the user.
class CException {
public:
    explicit CException(std::string strMeldung = {}) : m_strMeldung(std::move(strMeldung)) {}
    virtual ~CException() = default;
    // German text describing what failed (without the program-name prefix).
    const std::string& Meldung() const noexcept { return m_strMeldung; }

private:
    std::string m_strMeldung;
};

// A file could not be opened, read, written or closed. Names the file and keeps errno.
class CFileException : public CException {
public:
    CFileException(std::string strMeldung, int nErrno) : CException(std::move(strMeldung)), m_nErrno(nErrno) {}
    int Fehlernummer() const noexcept { return m_nErrno; }

private:
    int m_nErrno;
};
