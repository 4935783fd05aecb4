// The chain of filters: the steps of the command line, each a filter that reads the result of the
// one before as it comes, the first one the document as it is read; the last one writes to the
// output. Each filter's text holds what it still needs; what a filter has made final goes on to
// the next at once, and once enough of it has come the next one walks it, before the filter
// before goes on: so a filter that makes much of little (-R) does not pile up its result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "app/Kommandozeile.h"
#include "brix/TextZiel.h"
#include "platform/CString.h"
#include "xml/Filter.h"

class Kette {
public:
    // The steps over the text eingang, which the reader fills (in its form: a value of the
    // command line is converted into the form of a document read as UTF-16); the result goes to
    // aus. Both must outlive the chain.
    Kette(const std::vector<Schritt>& aSchritte, CString& eingang, TextZiel& aus);
    Kette(const Kette&) = delete;
    Kette& operator=(const Kette&) = delete;
    ~Kette();

    // More of the document has come into eingang, all of it when bEnde: each filter walks on
    // where that is worth it, and whatever it makes final goes down the chain; each text then
    // drops what its filter no longer needs. nAktuell tells which argument is being handled,
    // for messages.
    void Weiter(bool bEnde, std::size_t& nAktuell);

private:
    class Zulauf;
    struct Stufe;

    // Lets filter k walk on over its text, when that is worth it or bEnde.
    void Laufe(std::size_t k, bool bEnde);

    std::deque<CString> m_aWerte;  // values converted into the document's form
    std::vector<std::unique_ptr<Stufe>> m_aStufen;
    TextZiel& m_aus;
    std::size_t* m_pnAktuell = nullptr;
};
