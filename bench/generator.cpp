// Deterministic document generator for the benchmark.
//
//   generator --kind KIND --size SIZE [--seed N] [--depth D] [--wrap] [-o FILE]
//
// KIND is one of catalog-lf, catalog-crlf, deep, flat, comments, children. SIZE is a byte
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
// --wrap puts the whole document (after the XML declaration) inside <catalog> ... </catalog>,
// so that tools that need one root element can read it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Zufall {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n) (n small; the bias is irrelevant here).
    uint32_t unter(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    bool prozent(uint32_t p) { return unter(100) < p; }
};

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
    Schreiber(const char* pfad, const char* eol, uint64_t ziel)
        : m_eol(eol), m_ziel(ziel) {
        m_datei = pfad ? std::fopen(pfad, "wb") : stdout;
        if (!m_datei) {
            std::perror(pfad);
            std::exit(2);
        }
        m_puffer.reserve(1 << 20);
    }
    ~Schreiber() {
        spuelen();
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

private:
    void anhaengen(const char* p, size_t n) {
        m_puffer.append(p, n);
        if (m_puffer.size() >= (1u << 20)) spuelen();
    }
    void spuelen() {
        if (!m_puffer.empty()) {
            if (std::fwrite(m_puffer.data(), 1, m_puffer.size(), m_datei) != m_puffer.size()) {
                std::perror("write");
                std::exit(2);
            }
            m_gesamt += m_puffer.size();
            m_puffer.clear();
        }
    }
    FILE* m_datei;
    const char* m_eol;
    uint64_t m_ziel;
    uint64_t m_gesamt = 0;
    std::string m_puffer;
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

// One catalog record; books may be full, self-closing or empty with an end tag.
std::string buch(Zufall& z, uint64_t n, const char* eol) {
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

void katalog(Schreiber& w, Zufall& z) {
    uint64_t n = 0;
    std::string letztes_volles;
    for (;;) {
        std::string b = buch(z, n + 1, w.eol());
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

[[noreturn]] void aufruf() {
    std::fprintf(stderr,
                 "usage: generator --kind catalog-lf|catalog-crlf|deep|flat|comments|children --size N[K|M|G]\n"
                 "                 [--seed N] [--depth D] [--wrap] [-o FILE]\n");
    std::exit(255);
}

}  // namespace

int main(int argc, char** argv) {
    std::string art;
    uint64_t ziel = 0, saat = 42, tiefe = 10;
    bool huelle = false;
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
        else if (a == "-o") pfad = wert();
        else aufruf();
    }
    if (art.empty() || ziel == 0) aufruf();
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
        Schreiber w(pfad, eol, innen + kopf.size() + huelle_auf.size());
        w.text(kopf);
        w.text(huelle_auf);
        if (art == "catalog-lf" || art == "catalog-crlf") katalog(w, z);
        else if (art == "deep") tief(w, z, tiefe);
        else if (art == "flat") flach(w, z);
        else if (art == "comments") kommentare(w, z);
        else if (art == "children") kinder(w, z);
        else aufruf();
        w.text(huelle_zu);
    }
    return 0;
}
