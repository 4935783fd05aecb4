#include "support/Zufallsdokument.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;

// Element names: mostly a, b, c, so that names meet; a:b and t1 differ between the scanner's
// name (up to a blank, '/' or '>') and TagName's (letters and digits only).
constexpr std::u16string_view kNamen[] = {u"a", u"b", u"c", u"a", u"b", u"ab", u"B", u"title", u"a:b", u"t1"};

// Pieces of text between tags.
constexpr std::u16string_view kText[] = {
    u"x", u"1", u"ab", u" ", u"  ", u"\r\n", u"\n", u"\r", u"\t", u"\u00e4", u"\u00f6\u00dc\u00df",
    u"\u20ac", u"\U0001F600", u"(", u")", u"[", u"}", u"\"", u"'", u"=", u"-", u"--", u"/", u"!", u"?",
    u">", u"&amp;", u"-->", u"?>", u"/>", u"y z",
};

// Pieces of attribute values (inside quotes): plain ones, rarer ones that a scanner may take
// for markup ('>' and "/>" end a tag for a plain search), and '<', which is not allowed in a
// value and derails the end-tag search (it starts inside the tag); that one counts as broken.
constexpr std::u16string_view kWert[] = {u"1", u"x", u"a b", u"\u00e4", u"=", u"2", u"(", u")", u"[", u"{", u"/"};
constexpr std::u16string_view kWertHeikel[] = {u">", u"/>", u"-->", u"?>"};
constexpr std::u16string_view kWertKaputt[] = {u"<", u"<b>", u"</a>"};

// Comments, processing instructions and declarations, all closed.
constexpr std::u16string_view kEinschub[] = {
    u"<!--k-->", u"<!-->", u"<!---->", u"<!-- <b>1</b> -->", u"<!-- a > b -->", u"<!--<a>-->",
    u"<?xml version='1.0'?>", u"<?pi x?>", u"<?p <a> ?>", u"<!DOCTYPE r>", u"<![CDATA[x]]>", u"<!x y>",
    u"\r\n<!--z-->\r\n\r\n",
};

// Broken pieces: stray end tags, unclosed constructs, lone '<'.
constexpr std::u16string_view kBruch[] = {
    u"</q>", u"</a>", u"</b>", u"<", u"</", u"< a>", u"<>", u"</>", u"<a", u"<a/", u"x <", u"<a b",
    u"<!--", u"<!-", u"<!", u"<?", u"<?x", u"<!x", u"</a", u"<b c='1>", u"<a x=\"(\">", u"<(a>", u"<a\0>"sv,
};

// Draws from a generator, reproducibly across standard libraries.
class Wuerfel {
public:
    explicit Wuerfel(std::mt19937& rng) : m_rng(rng) {}

protected:
    // A number in 0..n-1 (n > 0).
    int Zahl(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }
    // True with a chance of nProzent in a hundred.
    bool Wurf(int nProzent) { return Zahl(100) < nProzent; }

    template <std::size_t N>
    std::u16string_view Wahl(const std::u16string_view (&aus)[N])
    {
        return aus[static_cast<std::size_t>(Zahl(static_cast<int>(N)))];
    }

private:
    std::mt19937& m_rng;
};

class Erzeuger : Wuerfel {
public:
    Erzeuger(std::mt19937& rng, const ZufallsOptionen& optionen) : Wuerfel(rng), m_optionen(optionen) {}

    std::u16string Dokument()
    {
        if (Wurf(10)) m_out += u"<?xml version=\"1.0\"?>\r\n";
        Inhalt(0);
        return std::move(m_out);
    }

private:
    bool Fehler() { return Zahl(1000) < m_optionen.nFehlerPromille; }

    void Text()
    {
        const int n = 1 + Zahl(4);
        for (int i = 0; i < n; ++i) {
            if (Wurf(2)) {
                m_out += u'\0';
            } else {
                m_out += Wahl(kText);
            }
        }
    }

    void Attribute()
    {
        const int n = Wurf(50) ? 0 : 1 + Zahl(2);
        for (int i = 0; i < n; ++i) {
            static constexpr std::u16string_view kVor[] = {u" ", u" ", u"\t", u"\n", u"\r\n", u"  "};
            m_out += Wahl(kVor);
            m_out += Wurf(50) ? u"x=" : u"yz=";
            const char16_t quote = Wurf(50) ? u'"' : u'\'';
            if (Wurf(10)) {
                m_out += u"w";  // unquoted value
                continue;
            }
            m_out += quote;
            const int k = Zahl(3);
            for (int j = 0; j < k; ++j) {
                if (Fehler()) {
                    m_out += Wahl(kWertKaputt);
                } else {
                    m_out += Wurf(8) ? Wahl(kWertHeikel) : Wahl(kWert);
                }
                if (Wurf(10)) m_out += quote == u'"' ? u'\'' : u'"';
            }
            if (!Fehler()) m_out += quote;  // else an unclosed quote
        }
    }

    void Element(int nTiefe)
    {
        const std::u16string_view name = Wahl(kNamen);
        m_out += u'<';
        m_out += name;
        Attribute();
        if (Wurf(20)) {
            m_out += Wurf(50) ? u"/>" : u" />";
            return;
        }
        if (Fehler() && Wurf(30)) return;  // a tag without '>'
        m_out += u'>';
        Inhalt(nTiefe + 1);
        if (Fehler()) {
            switch (Zahl(4)) {
            case 0:
                return;  // unclosed element
            case 1:
                m_out += u"</";
                m_out += Wahl(kNamen);  // perhaps another name
                m_out += u'>';
                return;
            case 2:
                m_out += u"</";
                m_out += name;
                m_out += u" >";  // the blank makes it another name
                return;
            default:
                m_out += u"</";
                m_out += name;  // no '>'
                return;
            }
        }
        m_out += u"</";
        m_out += name;
        m_out += u'>';
    }

    void Inhalt(int nTiefe)
    {
        const int n = Zahl(m_optionen.nMaxKinder + 1);
        for (int i = 0; i < n; ++i) {
            if (Fehler()) {
                m_out += Wahl(kBruch);
                continue;
            }
            const int w = Zahl(10);
            if (w < 5 && nTiefe < m_optionen.nMaxTiefe) {
                Element(nTiefe);
            } else if (w < 6) {
                m_out += Wahl(kEinschub);
            } else {
                Text();
            }
        }
    }

    const ZufallsOptionen& m_optionen;
    std::u16string m_out;
};

// --- Hostile families ---

// Few names, so that start and end tags meet.
constexpr std::u16string_view kFeindNamen[] = {u"a", u"b", u"c", u"a", u"b", u"r", u"p"};

// Sound pieces between the faults.
constexpr std::u16string_view kFueller[] = {
    u"x", u" ", u"text ", u"\n", u"\r\n", u"\u00e4", u"\U0001F600", u"<c>y</c>", u"<a x='1'>t</a>", u"<b/>",
    u"<c />", u"<!--k-->", u"<?p?>", u"<!D r>", u"<a><b>1</b></a>", u"<p>(1) [2] {3}</p>", u"<b (1)/>", u"<c x='>'/>",
};

// Start tags with an open bracket, and the closers that come later in the text. Whether a
// start tag closes itself depends on the '>' that its bracket walk ends at: a "/>" far behind.
constexpr std::u16string_view kKlammerOffen[] = {
    u"<b (>t", u"<b [>t", u"<b {>t", u"<b <>t", u"<a (>", u"<c x='1' [>", u"<b ((>", u"<b ({[<>", u"<b (>t</b>",
    u"<a [>x</a>", u"<b {>t}</b>", u"<b <c>>t</b>", u"<b (\n>", u"<t1 [>", u"<b x=(>", u"<b (x)>t</b>",
    u"<a [1]>t</a>", u"<b (/>", u"<b [/>t", u"<a (((/>", u"<b ([{/>", u"<b <</>", u"<c x=')'(/>", u")", u"]",
    u"}", u">", u"x) y", u"] </a>", u"}>", u")/>", u"] />", u"}/>", u"))) />",
};

// Start tags with an open quote, and quotes that come later.
constexpr std::u16string_view kQuoteOffen[] = {
    u"<b x='1>", u"<b x=\"1>", u"<b x='1\">", u"<b x=\"1'>", u"<b x='1>t</b>", u"<a y=\"(>t", u"<b '>", u"<b \">",
    u"<c x='<a>'>", u"<b x='1' y=\"2>t", u"<b x=>'", u"<a x='</a>'>t</a>", u"<b x=\"a'b\">t</b>", u"'", u"\"",
    u"it's ", u"say \"hi\" ", u"'>", u"\">", u"' />", u"<b x='1/>", u"<b x=\"1 />", u"\"/>",
};

// Start tags that never end, and what may end them much later.
constexpr std::u16string_view kStartTagOffen[] = {
    u"<a ", u"<a x ", u"<b y=1 ", u"<a\n", u"<a\t", u"<c x='1' ", u"<a", u"<a/", u"<ab ", u"<b <b <b ",
    u"<a x <a y ", u"<r><a <a <a ", u">", u"/>", u" />", u"</a>",
};

// Prose with '<' and '>' as signs and brackets that close lines later.
constexpr std::u16string_view kProsa[] = {
    u"if (x < y) then [z] {w} a<b c", u"note: x <= 3 (see <i>ref</i>", u"a > b", u"x<3", u" -> ", u" <- ",
    u"1 < 2 > 0", u"(see ", u"[1, 2 ", u"{k ", u")", u"]", u"}", u"\n", u" and ", u"<i>ref</i>", u"a <b ", u"a< b",
    u"<= >=", u"<3 ", u"<< ", u">> ", u"if a<b and c>d ", u"(a < b) ", u"x </ y", u"<br/>", u"(see <br/>",
};

// Stray, mismatched and unclosed end tags.
constexpr std::u16string_view kEndTagFalsch[] = {
    u"</q>", u"<a><b></a></b>", u"</b", u"</b x", u"</a >", u"</ab>", u"</>", u"</", u"<a>x</b>", u"<a><b>x</a>",
    u"<b></b ></b>", u"</a></a>", u"<c>1</c></c>", u"</a\n>", u"</b text <c>1</c>", u"<a></a", u"</a:b>",
};

// Unclosed comments, processing instructions and declarations, also inside tags.
constexpr std::u16string_view kEinschubOffen[] = {
    u"<!--", u"<!-- x", u"<?x", u"<?x y", u"<!x", u"<!DOCTYPE r", u"<!", u"<?", u"<!-", u"<!- x>", u"<a <!-- x>",
    u"<a x=\"<!--\">", u"<a <?p>", u"<b <!y>t</b>", u"<r><!-- ", u"<r><?x ", u"--", u"- ->", u"->", u"?", u"-- >",
};
// What closes one of them late.
constexpr std::u16string_view kSpaetesEnde[] = {u"-->", u"?>", u">"};

class FeindErzeuger : Wuerfel {
public:
    FeindErzeuger(std::mt19937& rng, const FeindOptionen& optionen) : Wuerfel(rng), m_optionen(optionen) {}

    std::u16string Dokument()
    {
        while (static_cast<int>(m_out.size()) < m_optionen.nLaenge) {
            const int w = Zahl(10);
            if (w < 5) {
                Fehler(m_optionen.familie);  // at the top level
            } else if (w < 8) {
                Satz(m_optionen.familie);  // inside an element
            } else {
                Fueller();
            }
        }
        return std::move(m_out);
    }

private:
    void Fueller() { m_out += Wahl(kFueller); }

    void StartTag(std::u16string_view name)
    {
        m_out += u'<';
        m_out += name;
        if (Wurf(20)) m_out += u" x='1'";
        m_out += u'>';
    }

    void EndTag(std::u16string_view name)
    {
        m_out += u"</";
        m_out += name;
        m_out += u'>';
    }

    // An element holding a few pieces of the family and sound ones; now and then unclosed.
    void Satz(Feindfamilie familie)
    {
        const std::u16string_view name = Wahl(kFeindNamen);
        StartTag(name);
        const int n = 1 + Zahl(4);
        for (int i = 0; i < n; ++i) {
            if (Wurf(50)) {
                Fehler(familie);
            } else {
                Fueller();
            }
        }
        if (Wurf(80)) EndTag(name);
    }

    // A family of single faults (the first seven), for a place inside a deep record.
    Feindfamilie EinfacheFamilie() { return kFeindfamilien[Zahl(7)]; }

    void Fehler(Feindfamilie familie)
    {
        switch (familie) {
        case Feindfamilie::KlammerOffen:
            m_out += Wahl(kKlammerOffen);
            break;
        case Feindfamilie::QuoteOffen:
            m_out += Wahl(kQuoteOffen);
            break;
        case Feindfamilie::StartTagOffen:
            m_out += Wahl(kStartTagOffen);
            break;
        case Feindfamilie::Prosa:
            Prosa();
            break;
        case Feindfamilie::EndTagFalsch:
            m_out += Wahl(kEndTagFalsch);
            break;
        case Feindfamilie::EinschubOffen:
            m_out += Wahl(kEinschubOffen);
            if (Wurf(10)) m_out += Wahl(kSpaetesEnde);
            // Sound text, at times up to 150 units, so that the step of 100 units behind one of
            // them lands before, on or behind the next.
            for (const std::size_t nBis = m_out.size() + static_cast<std::size_t>(Zahl(Wurf(50) ? 150 : 20));
                 m_out.size() < nBis;)
                Fueller();
            break;
        case Feindfamilie::ElementOffen:
            OffenerSatz();
            break;
        case Feindfamilie::FehlerInDerTiefe:
            TieferSatz();
            break;
        case Feindfamilie::Gemischt:
            Fehler(kFeindfamilien[Zahl(8)]);  // any family but this one
            break;
        case Feindfamilie::Sprungziele:
            break;  // a document of its own (SprungzielDokument)
        }
    }

    // A paragraph of prose, mostly in an element p or q.
    void Prosa()
    {
        static constexpr std::u16string_view kGanz[] = {
            u"<p>if (x < y) then [z] {w} a<b c</p>",
            u"<q>note: x <= 3 (see <i>ref</i></q>",
        };
        if (Wurf(20)) {
            m_out += Wahl(kGanz);
            return;
        }
        const bool bElement = Wurf(70);
        const std::u16string_view name = Wurf(50) ? u"p" : u"q";
        if (bElement) StartTag(name);
        const int n = 1 + Zahl(6);
        for (int i = 0; i < n; ++i) m_out += Wahl(kProsa);
        if (bElement && Wurf(80)) EndTag(name);
    }

    // A record without end tag: "<a>" and sound content.
    void OffenerSatz()
    {
        const std::u16string_view name = Wahl(kFeindNamen);
        StartTag(name);
        const int n = Zahl(5);
        for (int i = 0; i < n; ++i) Fueller();
        if (Wurf(15)) EndTag(name);
    }

    // A record nested up to nMaxTiefe deep with one fault at a random depth, met on the way
    // down or on the way up.
    void TieferSatz()
    {
        const int nTiefe = 1 + Zahl(m_optionen.nMaxTiefe);
        const int nFehler = Zahl(nTiefe + 1);
        const bool bAbwaerts = Wurf(50);
        std::vector<std::u16string_view> aNamen;
        for (int i = 0; i < nTiefe; ++i) {
            if (bAbwaerts && i == nFehler) Fehler(EinfacheFamilie());
            aNamen.push_back(Wahl(kFeindNamen));
            StartTag(aNamen.back());
            if (Wurf(30)) Fueller();
        }
        if (nFehler == nTiefe) Fehler(EinfacheFamilie());
        for (int i = nTiefe - 1; i >= 0; --i) {
            if (Wurf(30)) Fueller();
            EndTag(aNamen[static_cast<std::size_t>(i)]);
            if (!bAbwaerts && i == nFehler) Fehler(EinfacheFamilie());
        }
    }

    const FeindOptionen& m_optionen;
    std::u16string m_out;
};

// --- Step targets (Feindfamilie::Sprungziele) ---

// Unclosed constructs, by kind: comments, processing instructions, declarations.
constexpr std::u16string_view kOffenerKommentar[] = {u"<!--", u"<!-- x", u"<!---", u"<!-- <a>", u"<!--<b/>"};
constexpr std::u16string_view kOffenePi[] = {u"<?", u"<?x", u"<?x y", u"<?p <a>"};
constexpr std::u16string_view kOffeneDeklaration[] = {u"<!", u"<!x", u"<!DOCTYPE r", u"<!-", u"<![CDATA[x"};

// Sound pieces; those that would close an open construct are left out while it is open.
constexpr std::u16string_view kSprungFueller[] = {
    u"x", u" ", u"text ", u"\n", u"\r\n", u"\u00e4", u"\u20ac", u"\U0001F600", u"<c>y</c>", u"<a x='1'>t</a>",
    u"<b/>", u"<!--k-->", u"<?p?>", u"<!D r>", u"<a><b>1</b></a>", u"<b", u"<a x", u"1 < 2", u"-", u"?",
};

// Text on the way to the step target: no closers at all.
constexpr std::u16string_view kSprungText[] = {
    u"x", u" ", u"ab ", u"\n", u"\r\n", u"\u00e4", u"\u20ac", u"\U0001F600", u"<", u"<b", u"y z", u"\u00f6\u00dc",
};

// What the step may land in or next to. Units U+DC80..U+DCFF stand for single bytes in the
// narrow world (the narrow encoder writes them as their byte); other lone surrogates become
// U+FFFD there.
constexpr std::u16string_view kStolpersteine[] = {
    u"\U0001F600", u"\U00010000", u"\U0010FFFF", u"\U0001F600\U0001F600",
    u"\xDC80", u"\xDCFF", u"\xDCBC", u"\xDCBE",  // stray bytes (BC and BE: '<' and '>' with the top bit)
    u"\xDCED\xDCA0\xDC80",                       // ED A0 80: an encoded surrogate
    u"\xDCC0\xDC80",                             // C0 80: an overlong zero
    u"\xDCE2\xDC82",                             // E2 82: a cut euro sign
    u"\xDCF0\xDC9F\xDC98",                       // F0 9F 98: a cut 4-byte sequence
    u"\xDCF4\xDC90\xDC80\xDC80",                 // F4 90 80 80: beyond U+10FFFF
    u"\U0001F600\xDC80", u"\xDC80\U0001F600",
    u"\xD83D", u"\xDE00", u"\xDE00\xD83D", u"\xD83D\xD83D\xDE00",  // lone surrogates
};

class SprungErzeuger : Wuerfel {
public:
    SprungErzeuger(std::mt19937& rng, const FeindOptionen& optionen) : Wuerfel(rng), m_optionen(optionen) {}

    std::u16string Dokument()
    {
        while (static_cast<int>(m_out.size()) < m_optionen.nLaenge && Abschnitt()) {
        }
        return std::move(m_out);
    }

private:
    // True when s would close a construct that is open.
    bool Schliesst(std::u16string_view s) const
    {
        return (m_bKommentarOffen && s.find(u"-->") != s.npos) || (m_bPiOffen && s.find(u"?>") != s.npos) ||
               (m_bDeklarationOffen && s.find(u'>') != s.npos);
    }

    // A pick from aus that closes nothing open, or an empty view when none is found soon.
    template <std::size_t N>
    std::u16string_view Erlaubt(const std::u16string_view (&aus)[N])
    {
        for (int i = 0; i < 8; ++i) {
            const std::u16string_view s = Wahl(aus);
            if (!Schliesst(s)) return s;
        }
        return {};
    }

    // Sound pieces, then an unclosed construct and text with a step target; false when the
    // document ends here (the construct is close to its end).
    bool Abschnitt()
    {
        for (int n = Zahl(4); n > 0; --n) m_out += Erlaubt(kSprungFueller);
        const std::size_t p = m_out.size();
        switch (Zahl(3)) {
        case 0:
            m_out += Erlaubt(kOffenerKommentar);
            m_bKommentarOffen = m_bKommentarOffen || m_out.size() > p;
            break;
        case 1:
            m_out += Erlaubt(kOffenePi);
            m_bPiOffen = m_bPiOffen || m_out.size() > p;
            break;
        default:
            m_out += Erlaubt(kOffeneDeklaration);
            m_bDeklarationOffen = m_bDeklarationOffen || m_out.size() > p;
            break;
        }
        if (Wurf(20)) {
            // A short end: the step runs into the last unit.
            for (int n = Zahl(4); n > 0; --n) m_out += Wahl(kSprungText);
            m_out += Wahl(kStolpersteine);
            return false;
        }
        // Text up to the target, 95 to 105 units behind the '<', mostly 99 (where a pair's second
        // unit is the step's end), then what the step meets there.
        const std::size_t nZiel = p + (Wurf(40) ? 99 : 95 + static_cast<std::size_t>(Zahl(11)));
        while (m_out.size() + 4 < nZiel) m_out += Wahl(kSprungText);
        while (m_out.size() < nZiel) m_out += u'x';
        m_out += Wahl(kStolpersteine);
        if (Wurf(30)) m_out += Wahl(kStolpersteine);
        return true;
    }

    const FeindOptionen& m_optionen;
    std::u16string m_out;
    bool m_bKommentarOffen = false;
    bool m_bPiOffen = false;
    bool m_bDeklarationOffen = false;
};

}  // namespace

const char* FamilienName(Feindfamilie familie)
{
    switch (familie) {
    case Feindfamilie::KlammerOffen:
        return "KlammerOffen";
    case Feindfamilie::QuoteOffen:
        return "QuoteOffen";
    case Feindfamilie::StartTagOffen:
        return "StartTagOffen";
    case Feindfamilie::Prosa:
        return "Prosa";
    case Feindfamilie::EndTagFalsch:
        return "EndTagFalsch";
    case Feindfamilie::EinschubOffen:
        return "EinschubOffen";
    case Feindfamilie::ElementOffen:
        return "ElementOffen";
    case Feindfamilie::FehlerInDerTiefe:
        return "FehlerInDerTiefe";
    case Feindfamilie::Gemischt:
        return "Gemischt";
    case Feindfamilie::Sprungziele:
        return "Sprungziele";
    }
    return "?";
}

std::u16string ErzeugeFeindlichesDokument(std::uint32_t nSeed, const FeindOptionen& optionen)
{
    // The family goes into the seed, so that equal seeds of two families give unlike documents.
    std::mt19937 rng(nSeed * 16 + static_cast<std::uint32_t>(optionen.familie));
    if (optionen.familie == Feindfamilie::Sprungziele) return SprungErzeuger(rng, optionen).Dokument();
    return FeindErzeuger(rng, optionen).Dokument();
}

std::u16string ErzeugeZufallsdokument(std::mt19937& rng, const ZufallsOptionen& optionen)
{
    return Erzeuger(rng, optionen).Dokument();
}

std::u16string ErzeugeZufallsdokument(std::uint32_t nSeed, const ZufallsOptionen& optionen)
{
    std::mt19937 rng(nSeed);
    return ErzeugeZufallsdokument(rng, optionen);
}

std::string Lesbar(const std::u16string& text)
{
    std::string out;
    for (const char16_t u : text) {
        if (u == u'\r') {
            out += "\\r";
        } else if (u == u'\n') {
            out += "\\n";
        } else if (u == u'\\') {
            out += "\\\\";
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            char puffer[8];
            std::snprintf(puffer, sizeof puffer, "\\u%04X", static_cast<unsigned>(u));
            out += puffer;
        }
    }
    return out;
}
