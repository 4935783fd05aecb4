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

class Erzeuger {
public:
    Erzeuger(std::mt19937& rng, const ZufallsOptionen& optionen) : m_rng(rng), m_optionen(optionen) {}

    std::u16string Dokument()
    {
        if (Wurf(10)) m_out += u"<?xml version=\"1.0\"?>\r\n";
        Inhalt(0);
        return std::move(m_out);
    }

private:
    // A number in 0..n-1 (n > 0), reproducible across standard libraries.
    int Zahl(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }
    // True with a chance of nProzent in a hundred.
    bool Wurf(int nProzent) { return Zahl(100) < nProzent; }
    bool Fehler() { return Zahl(1000) < m_optionen.nFehlerPromille; }

    template <std::size_t N>
    std::u16string_view Wahl(const std::u16string_view (&aus)[N])
    {
        return aus[static_cast<std::size_t>(Zahl(static_cast<int>(N)))];
    }

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

    std::mt19937& m_rng;
    const ZufallsOptionen& m_optionen;
    std::u16string m_out;
};

}  // namespace

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
