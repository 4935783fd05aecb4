// Seeded random XML-like documents, well-formed and broken, for differential tests, fuzz seeds
// and benchmarks. Equal seeds and options give equal documents on every platform (std::mt19937
// and no distribution classes, whose results the standard leaves open).
//
// What occurs: elements of a small name set (a, b, c, ab, B, title, a:b, t1, ...), attributes
// whose quoted values hold < > ( ) and the other quote, self-closing tags with and without a
// blank, comments (also "<!-->" and ones holding tags), processing instructions, declarations,
// CR, LF and CR LF, umlauts, a surrogate pair, now and then U+0000; and, at the rate asked for,
// broken constructs: stray and mismatched end tags, unclosed elements, tags, quotes, comments,
// processing instructions and declarations, and lone '<' fragments.
#pragma once

#include <cstdint>
#include <random>
#include <string>

struct ZufallsOptionen {
    int nMaxTiefe = 3;          // deepest nesting of elements (the generator recurses this deep)
    int nMaxKinder = 4;         // most items in one element's content (and at the top level)
    int nFehlerPromille = 50;   // chance of a broken construct per item, in thousandths
};

// A document drawn from rng's current state.
std::u16string ErzeugeZufallsdokument(std::mt19937& rng, const ZufallsOptionen& optionen = {});

// A document from a generator seeded with nSeed.
std::u16string ErzeugeZufallsdokument(std::uint32_t nSeed, const ZufallsOptionen& optionen = {});

// Hostile families: broken shapes on which an element walk goes far, and a naive one goes far
// again from every later tag. A document of a family is a random mixture of the family's pieces,
// sound elements and text, at the top level and inside elements.
enum class Feindfamilie {
    KlammerOffen,      // start tags with an unclosed bracket ( [ { <: "<b (>t"
    QuoteOffen,        // start tags with an unclosed quote, closed much later or never
    StartTagOffen,     // start tags that never end: "<a <a <a", "<a x <a y"
    Prosa,             // '<' and '>' as signs, brackets that close lines later
    EndTagFalsch,      // stray and mismatched end tags, end tags without '>'
    EinschubOffen,     // unclosed comments, processing instructions and declarations
    ElementOffen,      // top-level records without end tag
    FehlerInDerTiefe,  // nested records with a fault of any family at a random depth
    Gemischt,          // pieces of every family
    // Not in kFeindfamilien (not a piece of Gemischt): unclosed comments, processing
    // instructions and declarations, each followed by text that puts surrogate pairs and units
    // that stand for bytes no UTF-8 decoder accepts (U+DC80..U+DCFF: stray bytes, cut
    // sequences, encoded surrogates, overlong forms; also lone surrogates) about 95 to 105 units
    // behind its '<', where the scanner's step of 100 units behind it ends; some documents end
    // sooner. Nothing behind a construct closes it.
    Sprungziele,
};

// Every family, in the order above.
inline constexpr Feindfamilie kFeindfamilien[] = {
    Feindfamilie::KlammerOffen,  Feindfamilie::QuoteOffen,   Feindfamilie::StartTagOffen,
    Feindfamilie::Prosa,         Feindfamilie::EndTagFalsch, Feindfamilie::EinschubOffen,
    Feindfamilie::ElementOffen,  Feindfamilie::FehlerInDerTiefe,
    Feindfamilie::Gemischt,
};

// The family's name as written above, for failure messages and file names.
const char* FamilienName(Feindfamilie familie);

struct FeindOptionen {
    Feindfamilie familie = Feindfamilie::Gemischt;
    int nLaenge = 400;   // pieces are added until the document has at least this many units
    int nMaxTiefe = 40;  // deepest record of FehlerInDerTiefe
};

// A hostile document from a generator seeded with nSeed; equal seeds and options give equal
// documents.
std::u16string ErzeugeFeindlichesDokument(std::uint32_t nSeed, const FeindOptionen& optionen);

// A text of units for a document given as a readable string in tests and failure messages:
// non-ASCII units and controls written as \uXXXX, CR as \r, LF as \n.
std::string Lesbar(const std::u16string& text);
