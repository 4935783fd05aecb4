// Tests of CString: buffers across the size where the heap gives way to mapped memory (content
// kept through growth, copies, moves, swaps and release), the text form carried along, strings
// made from views, zero bytes inside a text, and files mapped into memory and adopted.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "brix/BrixSubString.h"
#include "io/Ausgabe.h"
#include "platform/CString.h"
#include "platform/Datei.h"
#include "platform/Textform.h"
#include "support/Prozess.h"

namespace {

using namespace std::string_view_literals;

// Byte i of a text that differs at every position within 251 bytes (zero bytes included).
char Byte(std::int64_t i) { return static_cast<char>((i * 7 + 3) % 251); }

std::string Muster(std::int64_t nAnfang, std::int64_t nLaenge)
{
    std::string s(static_cast<std::size_t>(nLaenge), '\0');
    for (std::int64_t i = 0; i < nLaenge; ++i) s[static_cast<std::size_t>(i)] = Byte(nAnfang + i);
    return s;
}

// Fills s with nLaenge patterned bytes through the buffer.
void Fuelle(CString& s, std::int64_t nLaenge)
{
    char* p = s.GetBufferSetLength(nLaenge);
    for (std::int64_t i = 0; i < nLaenge; ++i) p[i] = Byte(i);
    s.ReleaseBuffer(nLaenge);
}

// The first index where s differs from the pattern (or -2 when its length is wrong, nLaenge when
// no zero byte stands behind it), or -1.
std::int64_t ErsteAbweichung(const CString& s, std::int64_t nLaenge)
{
    if (s.GetLength() != nLaenge) return -2;
    for (std::int64_t i = 0; i < nLaenge; ++i)
        if (s[i] != Byte(i)) return i;
    return s.GetString()[nLaenge] == 0 ? -1 : nLaenge;
}

constexpr std::int64_t kMiB = 1048576;

TEST(CStringPuffer, WachsenBehaeltDenInhalt)
{
    const struct {
        std::int64_t nVorher;  // bytes written first
        std::int64_t nNachher; // length the buffer is then set to
        int zeile;
    } faelle[] = {
        {1000, 6 * kMiB, __LINE__},           // heap to mapped
        {4 * kMiB - 2, 4 * kMiB, __LINE__},   // just below the mapped size to just above it
        {4 * kMiB - 2, 4 * kMiB - 1, __LINE__},  // the buffer with its zero byte reaches the mapped size
        {6 * kMiB, 19 * kMiB + 5, __LINE__},  // mapped to larger mapped
        {6 * kMiB, 100, __LINE__},            // mapped, then shorter: the rest kept
        {0, 9 * kMiB, __LINE__},              // empty to mapped
        {10, 4000, __LINE__},                 // heap to larger heap
        {1, 1, __LINE__},                     // the same length: nothing moves
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString s;
        Fuelle(s, f.nVorher);
        char* p = s.GetBufferSetLength(f.nNachher);
        EXPECT_GE(s.GetAllocLength(), f.nNachher);
        const std::int64_t nBehalten = f.nVorher < f.nNachher ? f.nVorher : f.nNachher;
        for (std::int64_t i = nBehalten; i < f.nNachher; ++i) p[i] = Byte(i);  // the new bytes
        s.ReleaseBuffer(f.nNachher);
        EXPECT_EQ(ErsteAbweichung(s, f.nNachher), -1);
    }
}

TEST(CStringPuffer, KopierenVerschiebenTauschenFreigeben)
{
    for (const std::int64_t nLaenge : {std::int64_t{10}, 6 * kMiB}) {
        SCOPED_TRACE(nLaenge);
        CString a;
        Fuelle(a, nLaenge);
        CString kopie(a);
        EXPECT_EQ(ErsteAbweichung(kopie, nLaenge), -1);
        EXPECT_NE(kopie.GetString(), a.GetString());  // a buffer of its own
        CString zugewiesen("x"sv);
        zugewiesen = a;
        EXPECT_EQ(ErsteAbweichung(zugewiesen, nLaenge), -1);
        const char* pKopie = kopie.GetString();
        CString verschoben(std::move(kopie));
        EXPECT_EQ(ErsteAbweichung(verschoben, nLaenge), -1);
        EXPECT_EQ(verschoben.GetString(), pKopie);  // moving takes the buffer as it is
        CString klein("klein"sv);
        klein.Tausche(verschoben);
        EXPECT_EQ(ErsteAbweichung(klein, nLaenge), -1);
        EXPECT_EQ(verschoben.Sicht(), "klein"sv);
        CString ziel("y"sv);
        ziel = std::move(klein);
        EXPECT_EQ(ErsteAbweichung(ziel, nLaenge), -1);
        a.Empty();
        EXPECT_TRUE(a.IsEmpty());
        EXPECT_EQ(a.GetString()[0], 0);
        Fuelle(a, nLaenge / 2);  // the kept buffer is used again
        EXPECT_EQ(ErsteAbweichung(a, nLaenge / 2), -1);
        a.Freigeben();
        EXPECT_TRUE(a.IsEmpty());
        EXPECT_EQ(a.GetAllocLength(), 0);
        Fuelle(a, nLaenge);  // and after release a new one is taken
        EXPECT_EQ(ErsteAbweichung(a, nLaenge), -1);
    }
}

// --- Zero bytes ---

TEST(CStringNullBytes, SindGewoehnlicheBytes)
{
    const std::string_view aTexte[] = {"\0"sv, "a\0b"sv, "\0\0\0"sv, "ab\0"sv, "\0\xFF\0"sv};
    for (const std::string_view text : aTexte) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        const auto n = static_cast<std::ptrdiff_t>(text.size());
        const CString a(text.data(), n);
        const CString b(text);
        EXPECT_EQ(a.GetLength(), n);
        EXPECT_FALSE(a.IsEmpty());
        EXPECT_EQ(a.Sicht(), text);
        EXPECT_EQ(b.Sicht(), text);
        EXPECT_EQ(a.GetString()[n], 0);
        EXPECT_TRUE(a == b);
        CString kopie(a);
        EXPECT_EQ(kopie.Sicht(), text);
        CString zugewiesen;
        zugewiesen = a;
        EXPECT_EQ(zugewiesen.Sicht(), text);
        // Growing keeps the zero bytes, and a text that only differs behind one is not equal.
        CString laenger(a);
        laenger.GetBufferSetLength(n + 1)[n] = 'z';
        EXPECT_EQ(laenger.Sicht().substr(0, text.size()), text);
        EXPECT_FALSE(laenger == a);
        EXPECT_EQ(ErzeugeString(BrixSubString(a)).Sicht(), text);
    }
    EXPECT_FALSE(CString("a\0b"sv) == CString("a\0c"sv));
    EXPECT_FALSE(CString("a\0"sv) == CString("a"sv));
}

// --- The text form ---

TEST(CStringForm, WandertMitDemText)
{
    enum class Art { Kopie, KopieZuweisen, Verschieben, VerschiebenZuweisen, Tauschen };
    const struct {
        Art art;
        TextForm eQuelle;
        int zeile;
    } faelle[] = {
        {Art::Kopie, TextForm::AusUtf16, __LINE__},
        {Art::Kopie, TextForm::Schmal, __LINE__},
        {Art::KopieZuweisen, TextForm::AusUtf16, __LINE__},  // onto a narrow string
        {Art::KopieZuweisen, TextForm::Schmal, __LINE__},    // onto one read as UTF-16
        {Art::Verschieben, TextForm::AusUtf16, __LINE__},
        {Art::VerschiebenZuweisen, TextForm::AusUtf16, __LINE__},
        {Art::VerschiebenZuweisen, TextForm::Schmal, __LINE__},
        {Art::Tauschen, TextForm::AusUtf16, __LINE__},
        {Art::Tauschen, TextForm::Schmal, __LINE__},
    };
    const auto Andere = [](TextForm e) { return e == TextForm::Schmal ? TextForm::AusUtf16 : TextForm::Schmal; };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString quelle("quelle\xC3\xA4"sv);
        quelle.SetzeForm(f.eQuelle);
        CString ziel("ziel"sv);
        ziel.SetzeForm(Andere(f.eQuelle));
        switch (f.art) {
        case Art::Kopie: {
            const CString kopie(quelle);
            EXPECT_EQ(kopie.Form(), f.eQuelle);
            EXPECT_EQ(kopie.Sicht(), "quelle\xC3\xA4"sv);
            break;
        }
        case Art::KopieZuweisen:
            ziel = quelle;
            EXPECT_EQ(ziel.Form(), f.eQuelle);
            EXPECT_EQ(ziel.Sicht(), "quelle\xC3\xA4"sv);
            break;
        case Art::Verschieben: {
            const CString neu(std::move(quelle));
            EXPECT_EQ(neu.Form(), f.eQuelle);
            EXPECT_EQ(neu.Sicht(), "quelle\xC3\xA4"sv);
            break;
        }
        case Art::VerschiebenZuweisen:
            ziel = std::move(quelle);
            EXPECT_EQ(ziel.Form(), f.eQuelle);
            EXPECT_EQ(ziel.Sicht(), "quelle\xC3\xA4"sv);
            break;
        case Art::Tauschen:
            ziel.Tausche(quelle);
            EXPECT_EQ(ziel.Form(), f.eQuelle);
            EXPECT_EQ(quelle.Form(), Andere(f.eQuelle));
            EXPECT_EQ(ziel.Sicht(), "quelle\xC3\xA4"sv);
            EXPECT_EQ(quelle.Sicht(), "ziel"sv);
            break;
        }
    }
    EXPECT_EQ(CString().Form(), TextForm::Schmal);         // narrow unless told
    EXPECT_EQ(CString("abc"sv).Form(), TextForm::Schmal);
}

// --- Strings made from views (io/Ausgabe.h) ---

TEST(CStringAusSicht, ErzeugeStringUndZuweisen)
{
    CString quelle("ab\0cd\xED\xA0\xBD"sv);
    quelle.SetzeForm(TextForm::AusUtf16);
    const struct {
        BrixSubString sicht;
        std::string_view erwartet;
        TextForm eForm;
        int zeile;
    } faelle[] = {
        {BrixSubString(quelle), "ab\0cd\xED\xA0\xBD"sv, TextForm::AusUtf16, __LINE__},  // whole, with its form
        {BrixSubString(&quelle, 1, 4), "b\0c"sv, TextForm::AusUtf16, __LINE__},       // a middle with a zero byte
        {BrixSubString(&quelle, 5, 8), "\xED\xA0\xBD"sv, TextForm::AusUtf16, __LINE__},  // a lone surrogate as held
        {BrixSubString(&quelle, 2, 2), ""sv, TextForm::AusUtf16, __LINE__},           // empty: still the form
        {BrixSubString(), ""sv, TextForm::Schmal, __LINE__},                          // no data: narrow
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const CString neu = ErzeugeString(f.sicht);
        EXPECT_EQ(neu.Sicht(), f.erwartet);
        EXPECT_EQ(neu.Form(), f.eForm);
        EXPECT_EQ(neu.GetString()[neu.GetLength()], 0);
        for (const TextForm eZiel : {TextForm::Schmal, TextForm::AusUtf16}) {
            CString ziel("vorher, und lang genug"sv);
            ziel.SetzeForm(eZiel);
            EXPECT_EQ(&Zuweisen(ziel, f.sicht), &ziel);
            EXPECT_EQ(ziel.Sicht(), f.erwartet);
            EXPECT_EQ(ziel.Form(), f.eForm);
            EXPECT_EQ(ziel.GetString()[ziel.GetLength()], 0);
        }
    }
    EXPECT_EQ(quelle.Sicht(), "ab\0cd\xED\xA0\xBD"sv);  // the source is left as it was
}

TEST(CStringAusSicht, ZuweisenAusDemZielSelbst)
{
    const std::string text = Muster(0, 3000);
    const struct {
        std::ptrdiff_t nStart;
        std::ptrdiff_t nEnd;
        int zeile;
    } faelle[] = {
        {0, 3000, __LINE__},    // the whole
        {0, 10, __LINE__},      // the front
        {1, 3000, __LINE__},    // all but the first byte: source and target overlap
        {2990, 3000, __LINE__}, // the end
        {1500, 1500, __LINE__}, // empty
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        CString s(text);
        s.SetzeForm(TextForm::AusUtf16);
        Zuweisen(s, BrixSubString(&s, f.nStart, f.nEnd));
        EXPECT_EQ(s.Sicht(), std::string_view(text).substr(static_cast<std::size_t>(f.nStart),
                                                           static_cast<std::size_t>(f.nEnd - f.nStart)));
        EXPECT_EQ(s.Form(), TextForm::AusUtf16);
        EXPECT_EQ(s.GetString()[s.GetLength()], 0);
    }
}

// --- Files mapped into memory and adopted ---

class CStringAbbildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strVerzeichnis = NeuesTempVerzeichnis();
        m_strPfad = m_strVerzeichnis + "/abbild";
    }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }

    // Writes the patterned file of nLaenge bytes and maps n bytes of it from nVersatz on.
    char* Bilde(std::int64_t nLaenge, std::int64_t nVersatz, std::size_t n)
    {
        if (!SchreibeDatei(m_strPfad, Muster(0, nLaenge))) return nullptr;
        CFile datei;
        datei.Open(CString(m_strPfad));
        return datei.Abbilden(nVersatz, n);  // the mapping outlives the descriptor
    }
    // How many mappings of the file the process holds.
    int Abbilder() const
    {
        std::ifstream maps("/proc/self/maps");
        int n = 0;
        for (std::string zeile; std::getline(maps, zeile);)
            if (zeile.find(m_strPfad) != std::string::npos) ++n;
        return n;
    }
    std::string DateiInhalt() const
    {
        std::ifstream datei(m_strPfad, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(datei), std::istreambuf_iterator<char>());
    }

    std::string m_strVerzeichnis;
    std::string m_strPfad;
};

TEST_F(CStringAbbildTest, UebernimmtLiestUndWaechst)
{
    const std::int64_t nSeite = static_cast<std::int64_t>(SeitenGroesse());
    const struct {
        std::int64_t nDatei;        // file length
        std::int64_t nAbbildVon;    // mapped from this offset (whole pages)
        std::int64_t nVersatz;      // the text starts here in the mapping
        std::int64_t nLaenge;       // text length
        std::int64_t nNeu;          // length it then grows to
        int zeile;
    } faelle[] = {
        {10000, 0, 0, 10000, 10001, __LINE__},                 // the whole file, one byte more
        {10000, 0, 2, 9998, 30000, __LINE__},                  // behind a mark of two bytes
        {10000, 0, nSeite + 5, 100, 101, __LINE__},            // a piece with mapped bytes behind it
        {10000, nSeite, 7, 10000 - nSeite - 7, 20000, __LINE__},  // a mapping that starts a page in
        {nSeite, 0, 0, nSeite, nSeite + 1, __LINE__},          // a file of one whole page
        {5 * kMiB + 3, 0, 3, 5 * kMiB, 5 * kMiB + 1, __LINE__},   // large: grows into a mapped buffer
        {3 * kMiB, 0, 0, 3 * kMiB, 7 * kMiB, __LINE__},        // grows past the mapped size
        {100, 0, 50, 0, 5, __LINE__},                          // an empty text
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const auto nAbbild = static_cast<std::size_t>(f.nDatei - f.nAbbildVon);
        char* p = Bilde(f.nDatei, f.nAbbildVon, nAbbild);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(Abbilder(), 1);
        const std::int64_t nAnfang = f.nAbbildVon + f.nVersatz;  // file offset of the text
        std::string erwartet = Muster(nAnfang, f.nLaenge);
        {
            CString s;
            s.Uebernimm(p, nAbbild, f.nVersatz, f.nLaenge);
            EXPECT_EQ(s.GetString(), p + f.nVersatz);  // read where it lies
            EXPECT_EQ(s.GetLength(), f.nLaenge);
            EXPECT_EQ(s.GetAllocLength(), f.nLaenge);
            ASSERT_TRUE(s.Sicht() == erwartet);
            if (f.nLaenge > 0) {
                // Writing within the text stays in the mapping and never reaches the file.
                char* q = s.GetBufferSetLength(f.nLaenge);
                EXPECT_EQ(q, p + f.nVersatz);
                q[0] = static_cast<char>(~q[0]);
                erwartet[0] = q[0];
                s.ReleaseBuffer(f.nLaenge);
                // Shorter and back again: still the mapping, the bytes still there.
                EXPECT_EQ(s.GetBufferSetLength(f.nLaenge / 2), p + f.nVersatz);
                s.ReleaseBuffer(f.nLaenge / 2);
                EXPECT_TRUE(s.Sicht() == std::string_view(erwartet).substr(0, static_cast<std::size_t>(f.nLaenge / 2)));
                EXPECT_EQ(s.GetBufferSetLength(f.nLaenge), p + f.nVersatz);
                EXPECT_TRUE(s.Sicht() == erwartet);
                EXPECT_EQ(Abbilder(), 1);
            }
            // A copy is a string of its own.
            CString kopie(s);
            EXPECT_NE(kopie.GetString(), s.GetString());
            EXPECT_TRUE(kopie.Sicht() == erwartet);
            EXPECT_EQ(kopie.GetString()[kopie.GetLength()], 0);

            // Growing past the text: the bytes move over, the mapping is let go.
            char* r = s.GetBufferSetLength(f.nNeu);
            for (std::int64_t i = f.nLaenge; i < f.nNeu; ++i) r[i] = 'n';
            s.ReleaseBuffer(f.nNeu);
            EXPECT_EQ(Abbilder(), 0);
            ASSERT_EQ(s.GetLength(), f.nNeu);
            EXPECT_TRUE(s.Sicht().substr(0, static_cast<std::size_t>(f.nLaenge)) == erwartet);
            EXPECT_EQ(s.Sicht().substr(static_cast<std::size_t>(f.nLaenge)),
                      std::string(static_cast<std::size_t>(f.nNeu - f.nLaenge), 'n'));
            EXPECT_EQ(s.GetString()[f.nNeu], 0);
            EXPECT_GE(s.GetAllocLength(), f.nNeu);
            s.Freigeben();
            EXPECT_TRUE(s.IsEmpty());
        }
        EXPECT_TRUE(DateiInhalt() == Muster(0, f.nDatei));  // the file never changed
    }
}

TEST_F(CStringAbbildTest, AbbildWirdGenauEinmalFreigegeben)
{
    // However the string lets go of the mapping (release, destruction, a new text, a move on),
    // it is unmapped then, and only then.
    enum class Weg { Freigeben, Ende, Zuweisen, Verschieben, Tauschen, Leeren };
    const struct {
        Weg weg;
        int zeile;
    } faelle[] = {
        {Weg::Freigeben, __LINE__},
        {Weg::Ende, __LINE__},         // the destructor
        {Weg::Zuweisen, __LINE__},     // a copy of another text assigned: it does not fit in the mapping
        {Weg::Verschieben, __LINE__},  // moved into another string, which lets go at its end
        {Weg::Tauschen, __LINE__},     // swapped into another string
        {Weg::Leeren, __LINE__},       // emptied: the mapping is kept for reuse
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        constexpr std::int64_t kLaenge = 20000;
        char* p = Bilde(kLaenge, 0, kLaenge);
        ASSERT_NE(p, nullptr);
        const std::string erwartet = Muster(10, kLaenge - 10);
        {
            CString anderer("anderer Text"sv);
            {
                CString s;
                s.Uebernimm(p, kLaenge, 10, kLaenge - 10);
                switch (f.weg) {
                case Weg::Freigeben:
                    s.Freigeben();
                    EXPECT_EQ(Abbilder(), 0);
                    break;
                case Weg::Ende:
                    EXPECT_EQ(Abbilder(), 1);
                    break;
                case Weg::Zuweisen: {
                    const CString lang(Muster(5, kLaenge));
                    s = lang;
                    EXPECT_EQ(Abbilder(), 0);
                    EXPECT_TRUE(s.Sicht() == lang.Sicht());
                    break;
                }
                case Weg::Verschieben: {
                    CString neu(std::move(s));
                    EXPECT_EQ(neu.GetString(), p + 10);
                    EXPECT_TRUE(neu.Sicht() == erwartet);
                    s = CString("s lebt weiter"sv);
                    EXPECT_EQ(Abbilder(), 1);
                    anderer = std::move(neu);
                    EXPECT_EQ(Abbilder(), 1);
                    break;
                }
                case Weg::Tauschen:
                    anderer.Tausche(s);
                    EXPECT_TRUE(anderer.Sicht() == erwartet);
                    break;
                case Weg::Leeren:
                    s.Empty();
                    EXPECT_TRUE(s.IsEmpty());
                    EXPECT_EQ(Abbilder(), 1);
                    EXPECT_EQ(s.GetBufferSetLength(5), p + 10);  // fits in the mapping
                    s.ReleaseBuffer(5);
                    EXPECT_EQ(s.Sicht(), std::string_view(erwartet).substr(0, 5));
                    break;
                }
            }
            // s is gone; only a string that took the mapping over may still hold it.
            const bool bGehalten = f.weg == Weg::Verschieben || f.weg == Weg::Tauschen;
            EXPECT_EQ(Abbilder(), bGehalten ? 1 : 0);
            if (bGehalten) {
                EXPECT_TRUE(anderer.Sicht() == erwartet);
            }
        }
        EXPECT_EQ(Abbilder(), 0);
    }
}

}  // namespace
