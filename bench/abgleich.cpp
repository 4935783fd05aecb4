// Decides whether the outputs of an old and a new brixfilter differ by the two deliberate
// changes between them alone, for bench/vergleich.sh.
//
//   abgleich ALT NEU DOCUMENT [--liste] [--stellen]
//
// ALT and NEU are the two outputs for the input file DOCUMENT. A difference is accepted where
//   pair: NEU has a 4-byte UTF-8 sequence (a character of two UTF-16 units) where ALT has the
//         bytes the old program wrote for that character's second unit alone: its low byte when
//         that unit L lies in DC80..DCFF, else EF BF BD. The old program could step into the
//         middle of such a character 100 units behind an unclosed comment, processing
//         instruction or declaration; the new one steps to its start. The character must occur
//         in DOCUMENT (as UTF-8, or as UTF-16LE in a file that starts FF FE).
//   odd:  DOCUMENT is UTF-16LE (starts FF FE) of odd length, and NEU is ALT followed by the
//         file's last byte, which the old program dropped. The new program keeps that byte in
//         the text and writes it behind everything else, except through a listing (--liste:
//         the command lists elements, which never hold it).
// Everything else must be equal.
//
// Exit status 0 when the outputs are equal but for such differences, with one line "pairs N
// odd M" (--stellen: then the offsets in NEU of the kept pairs, one a line); 1 with a line that
// names the first difference that is neither; 2 when a file cannot be read.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

bool lies(const char* pfad, std::string& inhalt) {
    std::ifstream f(pfad, std::ios::binary);
    if (!f) return false;
    inhalt.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

inline bool IstFolgebyte(unsigned char b) { return (b & 0xC0) == 0x80; }

// The code point of the well-formed 4-byte sequence at p (n bytes from p on), or 0.
uint32_t Vierbyte(const unsigned char* p, size_t n) {
    if (n < 4 || p[0] < 0xF0 || p[0] > 0xF4) return 0;
    if (!IstFolgebyte(p[1]) || !IstFolgebyte(p[2]) || !IstFolgebyte(p[3])) return 0;
    if ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] > 0x8F)) return 0;
    return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
}

class Dokument {
public:
    explicit Dokument(const std::string& d) : m_d(d) {
        m_bUtf16 = d.size() >= 2 && static_cast<unsigned char>(d[0]) == 0xFF && static_cast<unsigned char>(d[1]) == 0xFE;
    }
    bool Utf16() const { return m_bUtf16; }
    bool Ungerade() const { return m_bUtf16 && m_d.size() % 2 == 1; }
    char LetztesByte() const { return m_d.back(); }
    // The UTF-8 bytes the old program wrote for the last complete unit; empty when there is
    // none or it is a surrogate (then nothing is checked).
    // True when the character c occurs in the document.
    bool Enthaelt(uint32_t c) {
        if (m_Gefunden.count(c)) return true;
        std::string muster;
        if (m_bUtf16) {
            const uint32_t hoch = 0xD800 + ((c - 0x10000) >> 10), tief = 0xDC00 + ((c - 0x10000) & 0x3FF);
            for (uint32_t e : {hoch, tief}) {
                muster += static_cast<char>(e & 0xFF);
                muster += static_cast<char>(e >> 8);
            }
        } else {
            muster += static_cast<char>(0xF0 | (c >> 18));
            muster += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            muster += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            muster += static_cast<char>(0x80 | (c & 0x3F));
        }
        if (m_d.find(muster) == std::string::npos) return false;
        m_Gefunden.insert(c);
        return true;
    }

private:
    const std::string& m_d;
    bool m_bUtf16;
    std::set<uint32_t> m_Gefunden;
};

}  // namespace

int main(int argc, char** argv) {
    bool bListe = false;
    bool bStellen = false;
    for (int k = 4; k < argc; ++k) {
        if (std::strcmp(argv[k], "--liste") == 0) {
            bListe = true;
        } else if (std::strcmp(argv[k], "--stellen") == 0) {
            bStellen = true;
        } else {
            argc = 0;
        }
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: abgleich ALT NEU DOCUMENT [--liste] [--stellen]\n");
        return 2;
    }
    std::string alt, neu, doc;
    for (auto [pfad, ziel] : {std::pair{argv[1], &alt}, std::pair{argv[2], &neu}, std::pair{argv[3], &doc}}) {
        if (!lies(pfad, *ziel)) {
            std::perror(pfad);
            return 2;
        }
    }
    Dokument dokument(doc);
    const auto* a = reinterpret_cast<const unsigned char*>(alt.data());
    const auto* b = reinterpret_cast<const unsigned char*>(neu.data());
    const size_t na = alt.size(), nb = neu.size();
    size_t i = 0, j = 0;
    size_t gleich = 0;  // equal bytes since the last accepted difference
    std::vector<size_t> paare;
    bool ungerade = false;
    for (;;) {
        while (i < na && j < nb && a[i] == b[j]) ++i, ++j, ++gleich;
        if (i == na && j == nb) break;
        if (i == na && j + 1 == nb && dokument.Ungerade() && !bListe && neu.back() == dokument.LetztesByte()) {
            ungerade = true;
            break;
        }
        // A pair: its first byte may equal the old low byte (L in DCF0..DCF4), so its start may
        // lie up to three equal bytes back.
        bool bPaar = false;
        for (size_t k = 0; k <= 3 && k <= gleich && !bPaar; ++k) {
            const size_t ii = i - k, jj = j - k;
            const uint32_t c = Vierbyte(b + jj, nb - jj);
            if (c == 0) continue;
            const uint32_t tief = 0xDC00 + ((c - 0x10000) & 0x3FF);
            std::string halb;
            if (tief >= 0xDC80 && tief <= 0xDCFF) halb = static_cast<char>(tief & 0xFF);
            else halb = "\xEF\xBF\xBD";
            if (na - ii < halb.size() || alt.compare(ii, halb.size(), halb) != 0) continue;
            if (!dokument.Enthaelt(c)) continue;
            paare.push_back(jj);
            i = ii + halb.size();
            j = jj + 4;
            gleich = 0;
            bPaar = true;
        }
        if (!bPaar) {
            std::printf("not a mend: alt byte %zu (of %zu), neu byte %zu (of %zu)\n", i, na, j, nb);
            return 1;
        }
    }
    std::printf("pairs %zu odd %d\n", paare.size(), ungerade ? 1 : 0);
    if (bStellen)
        for (size_t p : paare) std::printf("%zu\n", p);
    return 0;
}
