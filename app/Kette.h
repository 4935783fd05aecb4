// The chain of filters: the steps of the command line, run one after another over the document,
// each on the result of the one before; the last one writes straight to the output.
#pragma once

#include <cstddef>
#include <vector>

#include "app/Kommandozeile.h"
#include "brix/TextZiel.h"
#include "platform/CString.h"

class Kette {
public:
    explicit Kette(const std::vector<Schritt>& aSchritte) : m_aSchritte(aSchritte) {}

    // Runs every step over text, which the chain may write over and take apart, and appends the
    // last result to aus (the text itself when there is no step). nAktuell tells which argument
    // is being handled, for messages.
    void Laufe(CString& text, TextZiel& aus, std::size_t& nAktuell);

private:
    const std::vector<Schritt>& m_aSchritte;
};
