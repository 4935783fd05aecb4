// Deterministic document generator for the benchmark.
//
//   generator --kind KIND --size SIZE [--seed N] [--depth D] [--wrap] [--invalid-utf8]
//             [--utf16le [--odd-length]] [--record-size N] [-o FILE]
//   generator --help
//
// KIND is one of catalog-lf, catalog-crlf, deep, flat, comments, children, or one of the hostile
// kinds h-... (broken documents, see below and --help). SIZE is a byte
// count with an optional suffix K, M or G (powers of 1000: 10M = 10,000,000 bytes). The same
// arguments always give the same bytes: the only randomness is a seeded splitmix64 stream, and
// no library distribution is used. Every document is padded to exactly SIZE bytes (a deep
// document whose single record is already longer than SIZE comes out longer).
//
// Layout shared by all kinds, so that line-anchored regular expressions can stand in for the
// element walks of the filter: every top-level element and top-level comment starts at the
// beginning of a line, and every nested line is indented. Top-level "book" records carry their
// "title" elements as direct children on lines indented by exactly two blanks; further titles
// stand deeper (inside notes). Comments never contain "<" or "--". The document ends with a
// summary element that follows the last book, whose text pads the file to its size.
//
// --record-size N (catalog kinds): every full book record gets <abstract> lines of words before its
// end tag until it holds at least N bytes (suffixes as for SIZE), for records of a given size; the
// other bytes and the seeded stream stay as without it.
//
// --wrap puts the whole document (after the XML declaration) inside <catalog> ... </catalog>,
// so that tools that need one root element can read it.
//
// The hostile kinds (h-...) are broken documents made to find element walks that are slower
// than linear: well-formed lines (p, b, q, i, book, title elements, comments, plain text) mixed
// with faulty ones such as start tags with an unclosed bracket or quote, start tags that never
// end, stray end tags, unclosed comments and elements whose end tag is missing. The layout
// rules above do not hold for them.
//
// --invalid-utf8 overwrites about one byte in 400 (never the first two) with bytes that are not
// valid UTF-8: stray continuation bytes, lead bytes without their continuation, overlong and
// surrogate forms, F8, FE and FF. The size stays the same, and the other bytes are those of the
// document without the flag.
//
// --utf16le writes the same document as UTF-16LE behind a byte-order mark (FF FE); SIZE is that of
// the UTF-8 document. Bytes that are not valid UTF-8 (with --invalid-utf8) become lone surrogates:
// a surrogate in its 3-byte form (ED A0..BF xx) that unit, any other byte b the unit DC00 + b.
// --odd-length appends one more byte, so that the file ends in half a unit.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zufall.h"

namespace {

const char* const kWoerter[] = {
    "Über",    "Brücke",  "Größe",    "Mädchen", "Bücher",  "Straße",   "Käse",    "Tür",
    "Öfen",    "Äpfel",   "schön",    "grün",    "müde",    "früh",     "hören",   "Flüsse",
    "Wald",    "Haus",    "Nacht",    "Stadt",   "Licht",   "Zeit",     "Meer",    "Berg",
    "Reise",   "Garten",  "Fenster",  "Abend",   "Winter",  "Sommer",   "Stein",   "Weg",
    "the",     "river",   "garden",   "night",   "light",   "and",      "of",      "under",
    "Jäger",   "Bäcker",  "Müller",   "Schäfer", "Fuß",     "Spaß",     "weiß",    "heiß",
};
const char* const kVornamen[] = {"Jürgen", "Käthe", "Björn", "Günter", "Jörg", "Anna",
                                 "Lena",   "Tomás", "Sören", "Zoë",    "Maja", "Lutz"};
const char* const kNachnamen[] = {"Müller", "Schäfer", "Köhler", "Groß", "Weiß",  "Hübner",
                                  "Brandt", "Fischer", "Löwe",   "Krüger", "Vogel", "Bauer"};
constexpr int kAnzahlWoerter = sizeof(kWoerter) / sizeof(kWoerter[0]);

class Schreiber {
public:
    // kaputt: every write has some bytes overwritten with invalid UTF-8 (see --invalid-utf8),
    // drawn from a stream of its own so that the document's other bytes do not change.
    Schreiber(const char* pfad, const char* eol, uint64_t ziel, bool kaputt = false, uint64_t saat = 0)
        : m_eol(eol), m_ziel(ziel), m_kaputt(kaputt), m_stoerung{saat ^ 0x5851F42D4C957F2Dull} {
        m_datei = pfad ? std::fopen(pfad, "wb") : stdout;
        if (!m_datei) {
            std::perror(pfad);
            std::exit(2);
        }
        m_puffer.reserve(1 << 20);
    }
    ~Schreiber() {
        spuelen(true);
        if (m_ungerade >= 0) {
            const char b = static_cast<char>(m_ungerade);
            schreiben(&b, 1);
        }
        if (m_datei != stdout) std::fclose(m_datei);
        else std::fflush(stdout);
    }
    void text(const std::string& s) { anhaengen(s.data(), s.size()); }
    void text(const char* s) { anhaengen(s, std::strlen(s)); }
    void zahl(uint64_t n) { text(std::to_string(n)); }
    void zeile() { text(m_eol); }
    uint64_t geschrieben() const { return m_gesamt + m_puffer.size(); }
    uint64_t ziel() const { return m_ziel; }
    const char* eol() const { return m_eol; }
    // Writes UTF-16LE behind a byte-order mark; ungerade >= 0: that byte at the very end.
    void alsUtf16(int ungerade) {
        m_utf16 = true;
        m_ungerade = ungerade;
        schreiben("\xFF\xFE", 2);
    }

private:
    void anhaengen(const char* p, size_t n) {
        m_puffer.append(p, n);
        if (m_puffer.size() >= (1u << 20)) spuelen();
    }
    // Overwrites about one byte in 400 of the buffer with a sequence that is not valid UTF-8.
    // The first two bytes of the document stay, so it never starts with a byte-order mark.
    void stoeren() {
        static const char* const kFalsch[] = {"\x80", "\xBF", "\xC3", "\xE2\x82", "\xF0\x9F\x98",
                                              "\xC0\xAF", "\xED\xA0\x80", "\xF8", "\xFE", "\xFF"};
        const size_t erster = m_gesamt == 0 ? 2 : 0;
        for (size_t i = erster; i < m_puffer.size(); ++i) {
            if (m_stoerung.unter(400) != 0) continue;
            const char* f = kFalsch[m_stoerung.unter(sizeof kFalsch / sizeof kFalsch[0])];
            for (; *f && i < m_puffer.size(); ++f, ++i) m_puffer[i] = *f;
        }
    }
    void schreiben(const char* p, size_t n) {
        if (std::fwrite(p, 1, n, m_datei) != n) {
            std::perror("write");
            std::exit(2);
        }
    }
    // Length of the sequence at p (n bytes from p on) in UTF-8 that admits surrogates, and its code
    // point in c; 0 for a byte that starts none.
    static int folge(const unsigned char* p, size_t n, uint32_t& c) {
        const unsigned b0 = p[0];
        auto folgebyte = [&](size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
        if (b0 < 0x80) {
            c = b0;
            return 1;
        }
        if (b0 < 0xC2) return 0;
        if (b0 < 0xE0) {
            if (!folgebyte(1)) return 0;
            c = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
            return 2;
        }
        if (b0 < 0xF0) {
            if (!folgebyte(1) || !folgebyte(2) || (b0 == 0xE0 && p[1] < 0xA0)) return 0;
            c = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            return 3;
        }
        if (b0 < 0xF5) {
            if (!folgebyte(1) || !folgebyte(2) || !folgebyte(3)) return 0;
            if ((b0 == 0xF0 && p[1] < 0x90) || (b0 == 0xF4 && p[1] > 0x8F)) return 0;
            c = ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
            return 4;
        }
        return 0;
    }
    // Converts the buffer (behind the bytes held back last time) to UTF-16LE and writes it. Up to
    // three bytes at the end wait for the next buffer, where their sequence may go on.
    void utf16_schreiben(bool letztes) {
        std::string s = m_rest + m_puffer;
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const size_t n = s.size(), bis = letztes ? n : (n > 3 ? n - 3 : 0);
        std::string u;
        u.reserve(2 * n + 4);
        auto einheit = [&](uint32_t e) {
            u += static_cast<char>(e & 0xFF);
            u += static_cast<char>(e >> 8);
        };
        size_t i = 0;
        while (i < bis) {
            uint32_t c = 0;
            const int l = folge(p + i, n - i, c);
            if (l == 0) {
                einheit(0xDC00u + p[i]);
                ++i;
                continue;
            }
            if (c >= 0x10000) {
                einheit(0xD800u + ((c - 0x10000) >> 10));
                einheit(0xDC00u + ((c - 0x10000) & 0x3FF));
            } else {
                einheit(c);
            }
            i += static_cast<size_t>(l);
        }
        m_rest = s.substr(i);
        schreiben(u.data(), u.size());
    }
    void spuelen(bool letztes = false) {
        if (!m_puffer.empty() || (letztes && !m_rest.empty())) {
            if (m_kaputt) stoeren();
            if (m_utf16) utf16_schreiben(letztes);
            else schreiben(m_puffer.data(), m_puffer.size());
            m_gesamt += m_puffer.size();
            m_puffer.clear();
        }
    }
    FILE* m_datei;
    const char* m_eol;
    uint64_t m_ziel;
    bool m_kaputt;
    Zufall m_stoerung;
    uint64_t m_gesamt = 0;
    std::string m_puffer;
    bool m_utf16 = false;
    int m_ungerade = -1;
    std::string m_rest;  // bytes held back for the next buffer (UTF-16 only)
};

std::string woerter(Zufall& z, int mindestens, int hoechstens) {
    int n = mindestens + static_cast<int>(z.unter(static_cast<uint32_t>(hoechstens - mindestens + 1)));
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kWoerter[z.unter(kAnzahlWoerter)];
    }
    return s;
}

std::string kennung(char prefix, uint64_t n) {
    char b[32];
    std::snprintf(b, sizeof b, "%c%07llu", prefix, static_cast<unsigned long long>(n));
    return b;
}

// One catalog record; books may be full, self-closing or empty with an end tag. A full one is
// padded to at least satz bytes (see --record-size).
std::string buch(Zufall& z, uint64_t n, const char* eol, uint64_t satz = 0) {
    std::string s;
    std::string id = kennung('b', n);
    uint32_t art = z.unter(100);
    if (art < 4) return "<book id=\"" + id + "\"/>" + eol;
    if (art < 7) return "<book id=\"" + id + "\"></book>" + eol;
    s += "<book id=\"" + id + "\" lang=\"" + (z.prozent(70) ? "de" : "en") + "\" year=\"" +
         std::to_string(1900 + z.unter(125)) + "\" available=\"" + (z.prozent(80) ? "yes" : "no") +
         "\">" + eol;
    s += "  <title>" + woerter(z, 2, 6) + "</title>" + eol;
    if (z.prozent(50)) s += "  <title lang=\"en\">" + woerter(z, 2, 5) + "</title>" + eol;
    int autoren = 1 + static_cast<int>(z.unter(2));
    for (int i = 0; i < autoren; ++i)
        s += std::string("  <author born=\"") + std::to_string(1850 + z.unter(150)) + "\">" +
             kVornamen[z.unter(12)] + " " + kNachnamen[z.unter(12)] + "</author>" + eol;
    s += "  <price currency=\"EUR\">" + std::to_string(5 + z.unter(60)) + "." +
         std::to_string(10 + z.unter(90)) + "</price>" + eol;
    if (z.prozent(30)) s += std::string("  <isbn/>") + eol;
    int notizen = static_cast<int>(z.unter(4));
    if (notizen) {
        s += std::string("  <notes>") + eol;
        for (int i = 1; i <= notizen; ++i) {
            uint32_t k = z.unter(10);
            std::string nr = std::to_string(i);
            if (k < 2) {
                s += "    <note n=\"" + nr + "\"/>" + eol;
            } else if (k < 5) {
                s += "    <note n=\"" + nr + "\">siehe <cite><title>" + woerter(z, 1, 4) +
                     "</title></cite>, S. " + std::to_string(1 + z.unter(400)) + "</note>" + eol;
            } else {
                s += "    <note n=\"" + nr + "\">" + woerter(z, 3, 10) + " <em>" +
                     woerter(z, 1, 2) + "</em> " + woerter(z, 1, 5) + ".</note>" + eol;
            }
        }
        s += std::string("  </notes>") + eol;
    }
    if (z.prozent(30)) s += "  <!-- Bestand geprüft: Regal " + std::to_string(z.unter(90)) + " -->" + eol;
    if (z.prozent(20)) s += std::string("  <tags></tags>") + eol;
    // The padding draws from a stream of its own, so the records stay those without it.
    Zufall fuell{z.s ^ 0xA5A5A5A55A5A5A5Aull};
    while (s.size() + 8 < satz) s += "  <abstract>" + woerter(fuell, 8, 16) + "</abstract>" + eol;
    s += std::string("</book>") + eol;
    if (z.prozent(10)) s += "<!-- Lieferung " + std::to_string(z.unter(1000)) + ": " + woerter(z, 2, 6) + " -->" + eol;
    if (z.prozent(3)) s += std::string("<sep/>") + eol;
    return s;
}

// The closing part every kind shares: a comment and a summary padded to the exact size.
void schluss(Schreiber& w, uint64_t anzahl, const char* huelle_ende) {
    std::string kopf = std::string("<!-- Ende des Katalogs -->") + w.eol() + "<summary count=\"" +
                       std::to_string(anzahl) + "\">";
    std::string fuss = std::string("</summary>") + w.eol() + huelle_ende;
    w.text(kopf);
    uint64_t rest = w.geschrieben() + fuss.size() < w.ziel() ? w.ziel() - w.geschrieben() - fuss.size() : 0;
    static const char muster[] = "Zusammenfassung der Bestände. ";  // 31 bytes, ü is two
    std::string fueller;
    while (fueller.size() + sizeof(muster) - 1 <= rest) fueller += muster;
    fueller.append(rest - fueller.size(), '.');
    w.text(fueller);
    w.text(fuss);
}

uint64_t reserve_schluss() { return 200; }

void katalog(Schreiber& w, Zufall& z, uint64_t satz) {
    uint64_t n = 0;
    std::string letztes_volles;
    for (;;) {
        std::string b = buch(z, n + 1, w.eol(), satz);
        if (w.geschrieben() + b.size() + reserve_schluss() > w.ziel()) break;
        w.text(b);
        ++n;
    }
    // The last record is always a full book, so that "what follows the last book" is well defined
    // for the regular-expression peers too.
    w.text(std::string("<book id=\"") + kennung('b', n + 1) + "\">" + w.eol() + "  <title>Letztes Buch</title>" +
           w.eol() + "</book>" + w.eol());
    schluss(w, n + 1, "");
}

// Top-level records nested to the given depth: book > note > note > ... > title.
void tief(Schreiber& w, Zufall& z, uint64_t tiefe) {
    if (tiefe < 2) tiefe = 2;
    uint64_t notizen = tiefe - 1;  // book is level 1, the innermost title sits inside the last note
    std::string offen, zu;
    for (uint64_t i = 0; i < notizen; ++i) offen += "<note>t";
    for (uint64_t i = 0; i < notizen; ++i) zu += "</note>";
    uint64_t n = 0;
    for (;;) {
        std::string kopf = std::string("<book id=\"") + kennung('d', n + 1) + "\">" + w.eol() +
                           "  <title>" + woerter(z, 1, 3) + "</title>" + w.eol() + "  ";
        std::string innen = "<title>" + woerter(z, 1, 2) + "</title>";
        std::string ende = w.eol() + std::string("</book>") + w.eol() + "<!-- r" + std::to_string(n + 1) +
                           " -->" + w.eol() + "<e/>" + w.eol();
        uint64_t laenge = kopf.size() + offen.size() + innen.size() + zu.size() + ende.size();
        if (n > 0 && w.geschrieben() + laenge + reserve_schluss() > w.ziel()) break;
        w.text(kopf);
        w.text(offen);
        w.text(innen);
        w.text(zu);
        w.text(ende);
        ++n;
    }
    schluss(w, n, "");
}

// Millions of tiny top-level elements, one per line.
void flach(Schreiber& w, Zufall& z) {
    uint64_t n = 0;
    std::string zeile;
    while (w.geschrieben() + 64 + reserve_schluss() <= w.ziel()) {
        uint32_t k = z.unter(20);
        switch (k) {
            case 0: case 1: case 2: case 3: case 4:
                zeile = "<i>" + std::to_string(z.unter(1000)) + "</i>"; break;
            case 5: case 6: zeile = "<e/>"; break;
            case 7: zeile = "<b></b>"; break;
            case 8: case 9: case 10: zeile = "<book>x</book>"; break;
            case 11: case 12: zeile = "<title>ä</title>"; break;
            case 13: zeile = "<!--c-->"; break;
            case 14: zeile = "<book><title>ö</title></book>"; break;
            default: zeile = "<v>" + std::string(kWoerter[z.unter(kAnzahlWoerter)]) + "</v>"; break;
        }
        w.text(zeile);
        w.zeile();
        ++n;
    }
    w.text(std::string("<book>z</book>") + w.eol());
    schluss(w, n + 1, "");
}

// Mostly comments: whole-line ones, multi-line ones and comments inside lines.
void kommentare(Schreiber& w, Zufall& z) {
    uint64_t n = 0;
    while (w.geschrieben() + 512 + reserve_schluss() <= w.ziel()) {
        uint32_t k = z.unter(10);
        std::string s;
        if (k < 4) {
            s = "<!-- " + woerter(z, 3, 12) + " -->" + w.eol();
        } else if (k < 6) {
            s = "<!-- " + woerter(z, 2, 6) + w.eol() + "     " + woerter(z, 2, 8) + w.eol() + "-->" + w.eol();
            if (z.prozent(30)) s += w.eol();
        } else if (k < 8) {
            s = "<book id=\"" + kennung('k', n) + "\"><!-- a -->" + w.eol() + "  <title>" + woerter(z, 1, 3) +
                "</title><!-- " + woerter(z, 1, 4) + " -->" + w.eol() + "  <!-- " + woerter(z, 2, 6) + " -->" +
                w.eol() + "</book>" + w.eol();
        } else {
            s = "<p>" + woerter(z, 1, 3) + "<!-- " + woerter(z, 1, 5) + " -->" + woerter(z, 1, 3) + "</p><!--x-->" +
                w.eol();
        }
        w.text(s);
        ++n;
    }
    w.text(std::string("<book>") + w.eol() + "  <title>Ende</title>" + w.eol() + "</book>" + w.eol());
    schluss(w, n, "");
}

// One book element with very many children of many names.
void kinder(Schreiber& w, Zufall& z) {
    w.text(std::string("<book id=\"alle\">") + w.eol());
    std::string ende = std::string("</book>") + w.eol();
    uint64_t n = 0;
    while (w.geschrieben() + 128 + ende.size() + reserve_schluss() <= w.ziel()) {
        uint32_t k = z.unter(40);
        std::string s;
        if (k == 0) {
            s = "  <title>" + woerter(z, 1, 4) + "</title>";
        } else if (k == 1) {
            s = "  <x" + std::to_string(z.unter(300)) + "/>";
        } else if (k == 2) {
            s = "  <!-- " + woerter(z, 1, 3) + " -->";
        } else {
            std::string name = "c" + std::to_string(z.unter(300));
            s = "  <" + name + " a=\"" + std::to_string(z.unter(100)) + "\">" + woerter(z, 1, 3) + "</" + name + ">";
        }
        w.text(s);
        w.zeile();
        ++n;
    }
    w.text(ende);
    schluss(w, n, "");
}

// --- Hostile documents ---------------------------------------------------------------------
//
// Each hostile kind is a list of fault templates mixed with well-formed lines. In a template,
// '@' stands for a word, '#' for a number, '~' for an attribute (id="h#", or nothing in the
// kinds that keep quotes out of their well-formed lines, where a quote would pair with the
// unclosed one of a fault), '$' for a 4-byte character (h-pairs only) and '\n' for a line end.

// Well-formed lines: they close every bracket and quote they open, so that a fault stays open.
const char* const kGesund[] = {
    "<p>@ @ <b>@</b> @ <i>@</i>.</p>",
    "<book~><title>@ @</title><q>@</q></book>",
    "<q>@ @ @</q>",
    "<b></b>",
    "<i/>",
    "@ @ @ @",
    "<!-- @ @ -->",
    "<book~>\n  <title>@</title>\n  <p>@ <b>@</b> @</p>\n</book>",
    "<p~>@ <q>@ <i>@</i></q> @</p>",
    "<title>@</title>",
};

const char* const kKlammer[] = {"<b (>@ @", "<b [>@", "<q {>@ @", "<b <>@", "<i (>@", "<p [>@ @", "<b (>@ <i {>@"};
const char* const kQuote[] = {"<b x='1>@ @", "<b x=\"1>@", "<b x='1\">@", "<q y=\"2'>@ @", "<i z='#>@"};
const char* const kOffen[] = {"<a ", "<a <a <a ", "<a @ <a ", "<a <b <q "};
const char* const kOffenAttr[] = {"<a x <a y ", "<a x=# <a y ", "<b x <q y <i z ", "<a @ "};
const char* const kProsa[] = {
    "<p>if (x < y) then [z] {w} a<b c</p>",
    "<q>note: x <= 3 (see <i>ref</i></q>",
    "<p>@ (@ @</p>\n<p>@ @ @</p>\n<p>@) @</p>",
    "<p>x > y and y >= z, @</p>",
    "<q>@ a<b @ [see @</q>",
    "<p>@ -> @ <- @ {@</p>",
};
const char* const kEndTag[] = {"</q>", "<a><b></a></b>", "<p>@ </q>@</p>", "<book><title>@</book></title>",
                               "</book>", "<q><i>@</q></i>"};
const char* const kEndTagOffen[] = {"<b>@</b @ @", "</b @", "<p>@ </p @", "<q>@</q\n@", "<title>@</title"};
const char* const kMarkupOffen[] = {"<!-- @",      "<?x @",      "<!x @",        "<b <!-- @",  "<q <?x @",
                                    "<i <!x @",    "<p>@ <!-- @</p>", "<p>@ <?x @</p>", "<p>@ <!x @</p>"};
const char* const kOhneEnde[] = {"<book~>\n  <title>@ @</title>\n  <p>@ <b>@</b></p>", "<book~><title>@</title>",
                                 "<book>\n  <q>@ @</q>"};

struct Vorlagen {
    const char* const* p;
    size_t n;
};
template <size_t N>
constexpr Vorlagen vorlagen(const char* const (&a)[N]) { return {a, N}; }

struct Familie {
    const char* art;          // the --kind name
    const char* wurzel;       // element around all records, or null: records at the top level
    Vorlagen fehler;          // fault templates; empty: faults at every depth (tiefe_fehler)
    uint32_t fehler_prozent;  // share of records that are faults
    bool ohne_attribute;      // well-formed lines without quoted attributes
    const char* hilfe;        // one line for --help
};

// The fault templates of all kinds, for faults at every depth.
const Vorlagen kAlleFehler[] = {vorlagen(kKlammer),  vorlagen(kQuote),      vorlagen(kOffen),
                                vorlagen(kProsa),    vorlagen(kEndTag),     vorlagen(kEndTagOffen),
                                vorlagen(kMarkupOffen), vorlagen(kOhneEnde)};

const Familie kFamilien[] = {
    {"h-bracket", "r", vorlagen(kKlammer), 60, false, "<r> and start tags with an unclosed ( [ { or <, like <b (>t"},
    {"h-bracket-top", nullptr, vorlagen(kKlammer), 60, false, "the same at the top level, no root"},
    {"h-quote", "r", vorlagen(kQuote), 40, true, "<r> and start tags with an unclosed quote: x='1, x=\"1, x='1\""},
    {"h-quote-top", nullptr, vorlagen(kQuote), 40, true, "the same at the top level, no root"},
    {"h-open", "r", vorlagen(kOffen), 60, false, "<r> and start tags that never end: <a <a <a ..."},
    {"h-open-top", nullptr, vorlagen(kOffenAttr), 60, false, "start tags that never end at the top level: <a x <a y ..."},
    {"h-prose", nullptr, vorlagen(kProsa), 50, false, "prose with < and > as signs, brackets closed lines later"},
    {"h-endtag", nullptr, vorlagen(kEndTag), 30, false, "stray and mismatched end tags: </q>, <a><b></a></b>"},
    {"h-endtag-open", "r", vorlagen(kEndTagOffen), 30, false, "<r> and end tags without '>': </b followed by text"},
    {"h-markup", "r", vorlagen(kMarkupOffen), 30, false, "<r> and unclosed <!-- <?x <!x, in content and in tags"},
    {"h-markup-top", nullptr, vorlagen(kMarkupOffen), 30, false, "the same at the top level, no root"},
    {"h-unended", nullptr, vorlagen(kOhneEnde), 40, false, "top-level <book> records whose end tag is missing"},
    {"h-depth", nullptr, {nullptr, 0}, 100, false, "records nested 1..50 deep, a fault at a random depth in each"},
};

const Familie* familie(const std::string& art) {
    for (const Familie& f : kFamilien)
        if (art == f.art) return &f;
    return nullptr;
}

// 4-byte characters (two UTF-16 units each): the low surrogates of U+10083, U+1F0A1, U+1F4F0,
// U+1F4F4 and U+100FF lie in DC80..DCFF, those of the others do not.
const char* const kVierbyte[] = {"\xF0\x9F\x98\x80", "\xF0\x90\x82\x83", "\xF0\x9F\x82\xA1",
                                 "\xF0\x9F\x93\xB0", "\xF0\x9F\x93\xB4", "\xF0\xA0\x80\x80",
                                 "\xF0\x9D\x84\x9E", "\xF4\x8F\xBF\xBF", "\xF0\x90\x83\xBF"};
constexpr uint32_t kAnzahlVierbyte = sizeof(kVierbyte) / sizeof(kVierbyte[0]);

// Expands a template: '@' a word, '#' a number, '~' an attribute or nothing, '$' a 4-byte
// character.
std::string vorlage(Zufall& z, const char* v, bool ohne_attribute) {
    std::string s;
    for (; *v; ++v) {
        switch (*v) {
            case '@': s += kWoerter[z.unter(kAnzahlWoerter)]; break;
            case '$': s += kVierbyte[z.unter(kAnzahlVierbyte)]; break;
            case '#': s += std::to_string(z.unter(1000)); break;
            case '~':
                if (!ohne_attribute) s += " id=\"h" + std::to_string(z.unter(100000)) + "\"";
                break;
            default: s += *v; break;
        }
    }
    return s;
}

std::string eine_von(Zufall& z, const Vorlagen& v, bool ohne_attribute) {
    return vorlage(z, v.p[z.unter(static_cast<uint32_t>(v.n))], ohne_attribute);
}

// A record nested 1..50 deep with a fault of any kind at a random depth (0: before the first
// start tag, at the level around the record).
std::string tiefe_fehler(Zufall& z) {
    static const char* const kNamen[] = {"book", "p", "q", "b", "i", "title"};
    const uint32_t tiefe = 1 + z.unter(50), stelle = z.unter(tiefe + 1);
    std::string s, zu;
    for (uint32_t i = 0; i <= tiefe; ++i) {
        if (i == stelle) s += eine_von(z, kAlleFehler[z.unter(sizeof kAlleFehler / sizeof kAlleFehler[0])], false);
        if (i == tiefe) break;
        const std::string name = kNamen[z.unter(6)];
        s += "<" + name + ">" + kWoerter[z.unter(kAnzahlWoerter)] + " ";
        zu = "</" + name + ">" + zu;
    }
    return s + zu;
}

// Records of one hostile kind, one per line, inside its root if it has one, then a line of
// plain words that pads the document to its size.
void feindlich(Schreiber& w, Zufall& z, const Familie& f) {
    const std::string auf = f.wurzel ? std::string("<") + f.wurzel + ">" + w.eol() : std::string();
    const std::string zu = f.wurzel ? std::string("</") + f.wurzel + ">" + w.eol() : std::string();
    w.text(auf);
    for (;;) {
        std::string s;
        if (!f.fehler.n) s = tiefe_fehler(z);
        else if (z.prozent(f.fehler_prozent)) s = eine_von(z, f.fehler, f.ohne_attribute);
        else s = vorlage(z, kGesund[z.unter(sizeof kGesund / sizeof kGesund[0])], f.ohne_attribute);
        s += w.eol();
        if (w.geschrieben() + s.size() + zu.size() + 1 > w.ziel()) break;
        w.text(s);
    }
    static const char muster[] = "Ende der Daten und Schluss ";
    uint64_t rest = w.ziel() > w.geschrieben() + zu.size() + 1 ? w.ziel() - w.geschrieben() - zu.size() - 1 : 0;
    std::string fueller;
    while (fueller.size() + sizeof(muster) - 1 <= rest) fueller += muster;
    fueller.append(rest - fueller.size(), '.');
    w.text(fueller + w.eol() + zu);
}

// --- 4-byte characters behind unclosed markup (h-pairs) ---------------------------------------
//
// An unclosed comment, processing instruction or declaration makes the scanner step 100 UTF-16
// units on from its '<'. Here 4-byte characters (two units each) and bytes that are not valid
// UTF-8 stand 95..105 units behind such a '<', so that the step lands on, inside and beside
// them. The document holds no "-->" and no "?>", so every comment and processing instruction
// stays open to the end; a declaration stays open inside element content without '>' and at the
// end of the document, which ends in a 4-byte character less than 100 units behind the '<' of
// one of the three.

// Bytes that are not valid UTF-8; the first three are lead bytes whose sequence is cut short.
const char* const kStreu[] = {"\xC3", "\xE2\x82", "\xF0\x9F\x98", "\x80", "\xBF",
                              "\xC0\xAF", "\xED\xA0\x80", "\xF8", "\xFE", "\xFF"};
constexpr uint32_t kAnzahlStreu = sizeof(kStreu) / sizeof(kStreu[0]);
const char* const kPaarOeffner[] = {"<!-- ", "<!--", "<?x ", "<?pi @ ", "<!x ", "<!DOCTYPE @ "};
// Where the open markup stands: at the top level, in element content, inside a start tag.
const char* const kPaarRahmen[][2] = {{"", ""},           {"", ""},     {"<p>@ ", "</p>"},
                                      {"<b ", ""},        {"<q>@ <i>@</i> ", "</q>"},
                                      {"<book~><title>@</title> ", "</book>"}};
// Well-formed lines, without comments and processing instructions.
const char* const kPaarGesund[] = {
    "<p>@ <b>@</b> @ <i>@</i>.</p>", "<book~><title>@ $ @</title><q>@</q></book>", "<q>@ $$ @</q>", "<b></b>", "<i/>",
    "@ $ @ @", "<book~>\n  <title>@$</title>\n  <p>@ <b>@</b> @</p>\n</book>", "<title>$@</title>"};
// Element content that ends in a 4-byte character less than 100 units behind open markup.
const char* const kPaarKurz[] = {"<p>@ <!-- @ $</p>", "<q><?x @ $</q>", "<title>@ <!x @$</title>",
                                 "<p><!-- $$</p>", "<b>@ <?x $</b>", "<book><title>@</title> <!x @ $</book>"};
// The end of the document.
const char* const kPaarEnde[] = {"<!-- @ @ $", "<?x @ $", "<!x @ @ @ $"};

template <size_t N>
const char* eine(Zufall& z, const char* const (&a)[N]) { return a[z.unter(static_cast<uint32_t>(N))]; }

// UTF-16 units of well-formed UTF-8 without 4-byte characters.
int einheiten(const std::string& s) {
    int n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// One line of h-pairs: a well-formed line, short element content ending in a 4-byte character,
// or (mostly) open markup followed by 1 to 4 characters of two units or bytes of one unit each
// from 95..105 units behind its '<' on.
std::string paar_satz(Zufall& z) {
    const uint32_t k = z.unter(10);
    if (k < 3) return vorlage(z, eine(z, kPaarGesund), false);
    if (k == 3) return vorlage(z, eine(z, kPaarKurz), false);
    const auto& rahmen = kPaarRahmen[z.unter(sizeof kPaarRahmen / sizeof kPaarRahmen[0])];
    std::string s = vorlage(z, rahmen[0], false);
    std::string t = vorlage(z, eine(z, kPaarOeffner), false);
    const int ziel = 95 + static_cast<int>(z.unter(11));
    int u = einheiten(t);
    for (;;) {
        const std::string wort = kWoerter[z.unter(kAnzahlWoerter)];
        if (u + 1 + einheiten(wort) > ziel) break;
        t += ' ' + wort;
        u += 1 + einheiten(wort);
    }
    t.append(static_cast<size_t>(ziel - u), '.');
    const uint32_t anzahl = 1 + z.unter(4);
    int vorher = -1;  // the stray sequence before, if any
    for (uint32_t i = 0; i < anzahl; ++i) {
        if (z.prozent(70)) {
            t += kVierbyte[z.unter(kAnzahlVierbyte)];
            vorher = -1;
            continue;
        }
        const int streu = static_cast<int>(z.unter(kAnzahlStreu));
        // A cut-short lead byte followed by a continuation byte would be a character.
        if (vorher >= 0 && vorher < 3 && (streu == 3 || streu == 4)) t += 'x';
        t += kStreu[streu];
        vorher = streu;
    }
    s += t + vorlage(z, z.prozent(30) ? " @ $ @" : " @ @", false) + vorlage(z, rahmen[1], false);
    return s;
}

// Lines of h-pairs, a line of plain words that pads the document, and its open end.
void paare(Schreiber& w, Zufall& z) {
    const std::string ende = vorlage(z, eine(z, kPaarEnde), false);
    const std::string eol = w.eol();
    for (;;) {
        const std::string s = paar_satz(z) + eol;
        if (w.geschrieben() + s.size() + ende.size() + eol.size() > w.ziel()) break;
        w.text(s);
    }
    static const char muster[] = "Ende der Daten und Schluss ";
    const uint64_t rest = w.ziel() > w.geschrieben() + ende.size() + eol.size()
                              ? w.ziel() - w.geschrieben() - ende.size() - eol.size()
                              : 0;
    std::string fueller;
    while (fueller.size() + sizeof(muster) - 1 <= rest) fueller += muster;
    fueller.append(rest - fueller.size(), '.');
    w.text(fueller + eol + ende);
}

uint64_t groesse(const char* s) {
    char* ende = nullptr;
    double v = std::strtod(s, &ende);
    uint64_t f = 1;
    if (*ende == 'k' || *ende == 'K') f = 1000;
    else if (*ende == 'm' || *ende == 'M') f = 1000 * 1000;
    else if (*ende == 'g' || *ende == 'G') f = 1000ull * 1000 * 1000;
    else if (*ende != '\0') {
        std::fprintf(stderr, "generator: bad size %s\n", s);
        std::exit(255);
    }
    return static_cast<uint64_t>(v * static_cast<double>(f));
}

void hilfe(FILE* f) {
    std::fprintf(f,
                 "usage: generator --kind KIND --size N[K|M|G] [--seed N] [--depth D] [--wrap] [--invalid-utf8]\n"
                 "                 [--utf16le [--odd-length]] [--record-size N] [-o FILE]\n"
                 "kinds:\n"
                 "  catalog-lf       book records with titles, notes, comments, empty elements\n"
                 "  catalog-crlf     the same with CR LF line ends\n"
                 "  deep             book records nested to --depth (default 10)\n"
                 "  flat             tiny top-level elements, one per line\n"
                 "  comments         mostly comments\n"
                 "  children         one book with very many children\n"
                 "hostile kinds (broken documents, well-formed lines mixed in):\n");
    for (const Familie& k : kFamilien) std::fprintf(f, "  %-16s %s\n", k.art, k.hilfe);
    std::fprintf(f, "  %-16s %s\n", "h-pairs", "4-byte characters and stray bytes 95..105 UTF-16 units behind unclosed <!-- <?x <!x");
    std::fprintf(f,
                 "--invalid-utf8 overwrites about one byte in 400 with bytes that are not valid UTF-8.\n"
                 "--utf16le writes the document as UTF-16LE with a byte-order mark (invalid bytes become lone\n"
                 "surrogates); --odd-length appends one byte to it.\n"
                 "--record-size N pads every full book of the catalog kinds to at least N bytes.\n"
                 "Sizes are powers of 1000; every document has exactly --size bytes (in UTF-8).\n");
}

[[noreturn]] void aufruf() {
    hilfe(stderr);
    std::exit(255);
}

}  // namespace

int main(int argc, char** argv) {
    std::string art;
    uint64_t ziel = 0, saat = 42, tiefe = 10, satz = 0;
    bool huelle = false, kaputt = false, utf16 = false, ungerade = false;
    const char* pfad = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto wert = [&]() -> const char* {
            if (i + 1 >= argc) aufruf();
            return argv[++i];
        };
        if (a == "--kind") art = wert();
        else if (a == "--size") ziel = groesse(wert());
        else if (a == "--seed") saat = std::strtoull(wert(), nullptr, 10);
        else if (a == "--depth") tiefe = std::strtoull(wert(), nullptr, 10);
        else if (a == "--wrap") huelle = true;
        else if (a == "--invalid-utf8") kaputt = true;
        else if (a == "--utf16le") utf16 = true;
        else if (a == "--odd-length") ungerade = true;
        else if (a == "--record-size") satz = groesse(wert());
        else if (a == "--help" || a == "-h") {
            hilfe(stdout);
            return 0;
        }
        else if (a == "-o") pfad = wert();
        else aufruf();
    }
    if (art.empty() || ziel == 0 || (ungerade && !utf16)) aufruf();
    const char* eol = art == "catalog-crlf" ? "\r\n" : "\n";
    Zufall z{saat * 0x2545F4914F6CDD1Dull + 1};
    std::string kopf = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + eol;
    std::string huelle_auf = huelle ? std::string("<catalog>") + eol : std::string();
    std::string huelle_zu = huelle ? std::string("</catalog>") + eol : std::string();
    uint64_t innen = ziel > kopf.size() + huelle_auf.size() + huelle_zu.size()
                         ? ziel - kopf.size() - huelle_auf.size() - huelle_zu.size()
                         : 1;
    {
        // The body is written against a target that leaves room for the wrapper's closing tag.
        Schreiber w(pfad, eol, innen + kopf.size() + huelle_auf.size(), kaputt, saat);
        // The odd byte comes from a stream of its own, so the document stays the same.
        if (utf16) w.alsUtf16(ungerade ? static_cast<int>(Zufall{saat ^ 0x0DDB1A5E5BAD5EEDull}.unter(256)) : -1);
        w.text(kopf);
        w.text(huelle_auf);
        if (art == "catalog-lf" || art == "catalog-crlf") katalog(w, z, satz);
        else if (art == "deep") tief(w, z, tiefe);
        else if (art == "flat") flach(w, z);
        else if (art == "comments") kommentare(w, z);
        else if (art == "children") kinder(w, z);
        else if (const Familie* f = familie(art)) feindlich(w, z, *f);
        else if (art == "h-pairs") paare(w, z);
        else aufruf();
        w.text(huelle_zu);
    }
    return 0;
}
