// End-to-end tests of the command line on the built binary: exit statuses, the usage text, the
// choice of the input, consumed arguments, the value rules, chains of options, arguments as bytes,
// and I/O failures. A few tests run the driver in-process, also with little memory left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Treiber.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

using namespace std::string_literals;

const std::string kVerwendung =
    "-fDateiname             - statt stdin\n"
    "-d --delete-empty-tags  - entferne leere XML-Tags\n"
    "-c --strip-xml-comments - entferne XML-Kommentare\n"
    "-r --strip-xml-tags     - entferne XML-Tags\n"
    "-tTagname,Tagname1,..\t- Zeige Tagblocks Tagname1,.. in Tags Tagname\n"
    "-RTagname=Inhalt        - Ersetze Inhalt von Tag Tagname\n";

// Runs in a temporary directory holding the files a, b, x, "-d" and one whose name is no UTF-8,
// so "-f" forms can name them.
class KommandozeileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strVerzeichnis = NeuesTempVerzeichnis();
        for (const auto& [name, inhalt] : {std::pair{"a", "Inhalt a"}, {"b", "Inhalt b"}, {"-d", "Inhalt -d"},
                                           {"x", "<a>1</a>"}, {"\xFF\xC3(.xml", "Inhalt \xFF"}})
            SchreibeDatei(m_strVerzeichnis + "/" + name, inhalt);
    }
    void TearDown() override { EntferneVerzeichnis(m_strVerzeichnis); }

    ProzessErgebnis Lauf(const std::vector<std::string>& args, const std::string& eingabe,
                         StdinArt art = StdinArt::Datei, StdoutArt ausArt = StdoutArt::Pipe)
    {
        ProzessOptionen optionen;
        optionen.stdinArt = art;
        optionen.stdoutArt = ausArt;
        optionen.arbeitsVerzeichnis = m_strVerzeichnis;
        return StarteProzess(args, eingabe, optionen);
    }

    struct Fall {
        std::vector<std::string> args;
        std::string eingabe;  // standard input, a regular file
        std::string aus;      // expected standard output
        int status;
        int zeile;
    };

    void PruefeFaelle(const std::vector<Fall>& faelle)
    {
        for (const auto& f : faelle) {
            SCOPED_TRACE(f.zeile);
            if (!ArgumenteErreichenDasProgramm(f.args)) continue;
            const ProzessErgebnis r = Lauf(f.args, f.eingabe);
            EXPECT_EQ(r.status, f.status) << r.err;
            EXPECT_EQ(r.out, f.aus);
            if (f.status == kStatusAufruf) {
                // One line that names the argument, then the usage text.
                const std::size_t nZeile = r.err.find('\n') + 1;
                EXPECT_EQ(r.err.rfind("brixfilter: ", 0), 0u) << r.err;
                EXPECT_EQ(r.err.substr(nZeile), kVerwendung);
            } else if (f.status == kStatusErfolg) {
                EXPECT_EQ(r.err, "");
            }
        }
    }

    std::string m_strVerzeichnis;
};

// --- Usage errors ---

TEST_F(KommandozeileTest, Aufruffehler)
{
    const std::vector<Fall> faelle = {
        {{"-x"}, "doc", "", 255, __LINE__},                              // unknown option
        {{""}, "doc", "", 255, __LINE__},                                // empty argument
        {{"-"}, "doc", "", 255, __LINE__},                               // lone "-"
        {{"-D"}, "doc", "", 255, __LINE__},                              // case matters
        {{"-C"}, "doc", "", 255, __LINE__},                              // case matters
        {{"-dx"}, "doc", "", 255, __LINE__},                             // "-d" with something attached
        {{"-cx"}, "doc", "", 255, __LINE__},                             // "-c" with something attached
        {{"-rx"}, "doc", "", 255, __LINE__},                             // only the exact "-r" is an option
        {{"--strip-xml-tags=1"}, "doc", "", 255, __LINE__},              // long option with a value
        {{"--delete-empty-tags "}, "doc", "", 255, __LINE__},            // long option with a space
        {{"--strip-xml-comment"}, "doc", "", 255, __LINE__},             // long option cut short
        {{"--hilfe"}, "doc", "", 255, __LINE__},                         // only --help is help
        {{"d"}, "doc", "", 255, __LINE__},                               // no dash
        {{"-c", "-x"}, "doc", "", 255, __LINE__},                        // the result of -c is not written
        {{"-t", "a"}, "doc", "", 255, __LINE__},                         // bare -t takes no value
        {{"-R", "a=b"}, "doc", "", 255, __LINE__},                       // -R takes no value from the next
        {{"-f", "a", "-x", "-c"}, "", "", 255, __LINE__},                // stops at the bad argument
    };
    PruefeFaelle(faelle);
}

TEST_F(KommandozeileTest, AbgelehntesArgumentWirdGenannt)
{
    // The first argument the walk rejects is named, quoted (a long one cut after 60 bytes, never
    // inside a character), with a pointer to --help; the usage text follows unchanged.
    const std::string strLang = "-Rb=" + std::string(100'000, 'x');
    const std::string strUmlaute = std::string("-").append(58, 'a') + "\xC3\xA4\xC3\xA4";  // byte 60 inside a character
    const struct {
        std::vector<std::string> args;
        std::string zeile;
        int n;
    } faelle[] = {
        {{"-R", "title=x"}, "\"title=x\" ist keine Option", __LINE__},
        {{"-t", "book,title"}, "\"book,title\" ist keine Option", __LINE__},
        {{"--foo"}, "unbekannte Option \"--foo\"", __LINE__},
        {{"katalog.xml"}, "\"katalog.xml\" ist keine Option", __LINE__},
        {{"-c", "-x", "-y"}, "unbekannte Option \"-x\"", __LINE__},       // the first one only
        {{""}, "\"\" ist keine Option", __LINE__},
        {{"-"}, "\"-\" ist keine Option", __LINE__},
        {{std::string("-x").append(strLang)}, "unbekannte Option \"-x-Rb=" + std::string(54, 'x') + "...\" (100006 Bytes)", __LINE__},
        {{strUmlaute}, "unbekannte Option \"-" + std::string(58, 'a') + "...\" (63 Bytes)", __LINE__},
        {{std::string("-").append(59, 'a')}, "unbekannte Option \"-" + std::string(59, 'a') + "\"", __LINE__},  // 60: whole
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.n);
        if (!ArgumenteErreichenDasProgramm(f.args)) continue;
        const ProzessErgebnis r = Lauf(f.args, "doc");
        EXPECT_EQ(r.status, kStatusAufruf);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("brixfilter: ").append(f.zeile) + "; Hilfe: brixfilter --help\n" + kVerwendung);
    }
}

TEST_F(KommandozeileTest, AufruffehlerAmTerminalSofort)
{
    // When the document would come from a terminal, a usage error is reported without reading
    // it: what was typed stays unread (an old build read it, and without the Ctrl-D at its end
    // would wait for ever). A sound command line still reads the terminal.
    NUR_OHNE_AUSFUEHRER("a pseudo-terminal of a POSIX process");
    const std::string strGetippt = "a<!-- x -->b\n\x04";
    const struct {
        std::vector<std::string> args;
        std::string zeile;  // the naming line; empty: no usage error
        int n;
    } faelle[] = {
        {{"-h"}, "unbekannte Option \"-h\"", __LINE__},
        {{"-c", "katalog.xml"}, "\"katalog.xml\" ist keine Option", __LINE__},  // the file without -f
        {{"--strip-comments"}, "unbekannte Option \"--strip-comments\"", __LINE__},
        {{"-f", "", "-x"}, "unbekannte Option \"-x\"", __LINE__},  // an empty file name: standard input
        {{"-c"}, "", __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.n);
        ProzessOptionen optionen;
        optionen.stdinArt = StdinArt::Terminal;
        optionen.arbeitsVerzeichnis = m_strVerzeichnis;
        const ProzessErgebnis r = StarteProzess(f.args, strGetippt, optionen);
        if (f.zeile.empty()) {
            EXPECT_EQ(r.status, kStatusErfolg) << r.err;
            EXPECT_EQ(r.out, "ab\n");
            EXPECT_EQ(r.nUngelesen, 0);
            continue;
        }
        EXPECT_EQ(r.status, kStatusAufruf);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "brixfilter: " + f.zeile + "; Hilfe: brixfilter --help\n" + kVerwendung);
        EXPECT_GT(r.nUngelesen, 0);
    }
    // Any other input is read first, and its failure counts before the usage error.
    ProzessOptionen optionen;
    optionen.stdinArt = StdinArt::Deskriptor;
    optionen.fdStdin = open(m_strVerzeichnis.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(optionen.fdStdin, 0);
    const ProzessErgebnis r = StarteProzess({"-h"}, "", optionen);
    close(optionen.fdStdin);
    EXPECT_EQ(r.status, kStatusEAFehler);
    EXPECT_EQ(r.err, "brixfilter: Standardeingabe kann nicht gelesen werden: Ist ein Verzeichnis\n");
}

// --- Values and chains, seen through the filters' results ---

TEST_F(KommandozeileTest, WerteUndKetten)
{
    const std::vector<Fall> faelle = {
        {{"-c"}, "a<!--x-->b", "ab", 0, __LINE__},                                   // comments removed
        {{"--strip-xml-comments"}, "a<!--x-->b", "ab", 0, __LINE__},
        {{"-t"}, "<a>x</a>", "x", 0, __LINE__},                                      // markup removed
        {{"-r"}, "<a>x</a>", "x", 0, __LINE__},                                      // "-r" strips markup too
        {{"--strip-xml-tags"}, "<a>x</a>", "x", 0, __LINE__},
        {{"-d"}, "x<a></a>y", "xy", 0, __LINE__},                                    // empty element deleted
        {{"--delete-empty-tags"}, "x<a/>y", "xy", 0, __LINE__},
        {{"-sa"}, "<a>1</a>x<a>2</a>", "<a>1</a>\r\n<a>2</a>\r\n", 0, __LINE__},     // listing, CR LF
        {{"-s", "a"}, "<a>1</a>x<a>2</a>", "<a>1</a>\r\n<a>2</a>\r\n", 0, __LINE__}, // list from the next argument
        {{"-sa,b"}, "<a><b>1</b>t</a>", "<a><b>1</b></a>\r\n", 0, __LINE__},           // inner names
        {{"-ta,b"}, "<a><b>1</b>t</a>", "<a><b>1</b></a>\r\n", 0, __LINE__},           // -t with a list = -s
        {{"-s", "-fx"}, "", "", 0, __LINE__},                        // "-fx" names the file and the list
        {{"-s", "-x"}, "<a>1</a>", "", 0, __LINE__},                 // "-x" is the list, not an option
        {{"-Sa"}, "<a>1</a>rest", "rest", 0, __LINE__},                              // what follows the last a
        {{"-S", "a"}, "<a>1</a>rest", "rest", 0, __LINE__},
        {{"-Sa,b"}, "<a>1</a>rest", "<a>1</a>rest", 0, __LINE__},                    // "a,b" is one name
        {{"-Rtitel=Neu"}, "<titel>alt</titel>", "<titel>Neu</titel>", 0, __LINE__},  // name and replacement
        {{"-Rtitel"}, "<titel>alt</titel>", "<titel></titel>", 0, __LINE__},         // no "=": content emptied
        {{"-Rtitel="}, "<titel>alt</titel>", "<titel></titel>", 0, __LINE__},        // empty replacement
        {{"-Ra=b=c"}, "<a>x</a>", "<a>b=c</a>", 0, __LINE__},                        // cut at the first "="
        {{"-R=x"}, "<a>x</a><=x>y</=x>", "<a>x</a><=x>y</=x>", 0, __LINE__},          // name "=x": no element
        {{"-Ra=", "-d"}, "<a>x</a>y", "y", 0, __LINE__},                             // -d works on -R's result
        {{"-d", "-d"}, "<a><b/></a><c/>", "<a><b/></a>", 0, __LINE__},               // one level per pass
        {{"-c", "-t"}, "<a><!--<b>-->x</a>", "x", 0, __LINE__},                      // comments, then markup
        {{"-t", "-c"}, "<a><!--<b>-->x</a>", "-->x", 0, __LINE__},                   // the other order differs
        {{"-sa", "-Rb=X"}, "<a><b>1</b></a>z", "<a><b>X</b></a>\r\n", 0, __LINE__},  // replace in the listing
        {{"-c", "-sbook,title"}, "<!--k--><book id=\"1\"><title>T</title><x/></book>",
         "<book id=\"1\"><title>T</title></book>\r\n", 0, __LINE__},                  // the road of one run
    };
    PruefeFaelle(faelle);
}

TEST_F(KommandozeileTest, ArgumenteSindBytes)
{
    // A name is the bytes given, valid UTF-8 or not, and matches the same bytes in the document,
    // no more and no less.
    const std::vector<Fall> faelle = {
        {{"-S\xFF"}, "<\xFF>1</\xFF>rest", "rest", 0, __LINE__},                        // an invalid byte
        {{"-S\xFF"}, "<\xFE>1</\xFE>rest", "<\xFE>1</\xFE>rest", 0, __LINE__},          // another byte
        {{"-S", "\xC3\xA4"}, "<\xC3\xA4 x=\"1\">1</\xC3\xA4>rest", "rest", 0, __LINE__},  // UTF-8, from the next
        {{"-s\xC3"}, "<\xC3\xA4>1</\xC3\xA4><\xC3>2</\xC3>", "<\xC3>2</\xC3>\r\n", 0, __LINE__},  // no prefix
        {{"-sa,\xE2\x82"}, "<a><\xE2\x82>1</\xE2\x82>t</a>", "<a><\xE2\x82>1</\xE2\x82></a>\r\n", 0,
         __LINE__},                                                                     // inner names too
        {{"-Ra=\xFF\x80\xED\xA0\x80"}, "<a>x</a>", "<a>\xFF\x80\xED\xA0\x80</a>", 0, __LINE__},  // a replacement
        {{"-R\xFF=y"}, "<\xFF>x</\xFF>", "<\xFF>x</\xFF>", 0, __LINE__},              // -R names: ASCII only
        {{"-f\xFF\xC3(.xml"}, "stdin", "Inhalt \xFF", 0, __LINE__},                     // a file name
        {{"-\xFF"}, "doc", "", 255, __LINE__},                                           // no option
        {{"-c\xFF"}, "doc", "", 255, __LINE__},                                          // "-c" with a byte attached
    };
    PruefeFaelle(faelle);
}

// --- The input and "-f" ---

TEST_F(KommandozeileTest, EingabeWahl)
{
    const std::vector<Fall> faelle = {
        {{}, "stdin", "stdin", 0, __LINE__},                             // no arguments: stdin passes through
        {{"-fa"}, "stdin", "Inhalt a", 0, __LINE__},                     // attached file name
        {{"-f", "a"}, "stdin", "Inhalt a", 0, __LINE__},                 // file name as the next argument
        {{"-f"}, "stdin", "stdin", 0, __LINE__},                         // "-f" last: standard input
        {{"-f", ""}, "stdin", "stdin", 0, __LINE__},                     // empty file name: standard input
        {{"-f", "-d"}, "stdin", "Inhalt -d", 0, __LINE__},               // "-d" is the file, skipped in the walk
        {{"-f", "a", "-f", "b"}, "stdin", "Inhalt a", 0, __LINE__},      // b is neither read nor an option
        {{"-fa", "-fb"}, "stdin", "Inhalt a", 0, __LINE__},              // the second -f does nothing
        {{"-fa", "-f", "-x"}, "stdin", "Inhalt a", 0, __LINE__},         // a later "-f" consumes "-x"
        {{"-f./a"}, "stdin", "Inhalt a", 0, __LINE__},                   // a path
        {{"-s"}, "stdin", "stdin", 0, __LINE__},                         // "-s" last: nothing happens
        {{"-s", ""}, "stdin", "stdin", 0, __LINE__},                     // empty value consumed, nothing happens
        {{"-S"}, "stdin", "stdin", 0, __LINE__},                         // "-S" last: nothing happens
        {{"-S", ""}, "stdin", "stdin", 0, __LINE__},                     // empty value consumed
        {{"-t", ""}, "stdin", "", 255, __LINE__},                   // bare -t strips, "" is no option
        {{"-S", "-x"}, "stdin", "stdin", 0, __LINE__},                   // "-x" is the name, not an option
        {{"-R"}, "stdin", "stdin", 0, __LINE__},                         // "-R" alone: nothing happens
    };
    PruefeFaelle(faelle);
}

TEST_F(KommandozeileTest, DateiOhneVerlaesslicheLaenge)
{
    // A file whose status gives length 0 though it holds bytes (as those in /proc): read to its
    // end, named with -f and as redirected standard input alike.
    const std::string strPfad = "/proc/version";
    const std::string inhalt = LiesAlles(strPfad);
    ASSERT_FALSE(inhalt.empty());
    EXPECT_EQ(Lauf({"-f", strPfad}, "", StdinArt::DevNull).out, inhalt);
    const int fd = open(strPfad.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ProzessOptionen optionen;
    optionen.stdinArt = StdinArt::Deskriptor;
    optionen.fdStdin = fd;
    const ProzessErgebnis r = StarteProzess({}, "", optionen);
    close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, inhalt);
}

TEST_F(KommandozeileTest, JedeBytefolgeUnveraendert)
{
    // Every byte value, in a seeded random order, repeated; with no option nothing may change.
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::mt19937 zufall(42);
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(zufall() % 256);
    bytes += "\xF0\x9F\x98\x80\xED\xA0\x80\xC3";  // a valid pair, an encoded surrogate, a cut lead
    SchreibeDatei(m_strVerzeichnis + "/roh", bytes);

    EXPECT_EQ(Lauf({}, bytes, StdinArt::Datei).out, bytes);     // redirected from a file
    EXPECT_EQ(Lauf({"-froh"}, "", StdinArt::Datei).out, bytes);  // named with -f
    EXPECT_EQ(Lauf({}, bytes, StdinArt::Pipe).out, bytes + "\n");  // a pipe gains the last LF
    const std::string mitLf = bytes + "\n";
    EXPECT_EQ(Lauf({}, mitLf, StdinArt::Pipe).out, mitLf);      // ... only when it is missing
}

TEST_F(KommandozeileTest, WasKamGehtHinausBevorDerRestKommt)
{
    // From a pipe, what is final goes out before more input is waited for: the rest is fed only
    // once the first output has arrived (a watch feeds it after 10 s, which fails the case).
    const std::string strErster = "<book><title>A</title><!-- c --></book>\n";
    const std::string strRest = "<book><title>B</title></book>\n";
    const struct {
        std::vector<std::string> args;
        std::string aus;
        int zeile;
    } faelle[] = {
        {{"-c"}, "<book><title>A</title></book>\n" + strRest, __LINE__},
        {{"-t"}, "A\nB\n", __LINE__},
        {{"-d"}, strErster + strRest, __LINE__},
        {{"-sbook,title"}, "<book><title>A</title></book>\r\n<book><title>B</title></book>\r\n", __LINE__},
        {{"-Rtitle=X"}, "<book><title>X</title><!-- c --></book>\n<book><title>X</title></book>\n", __LINE__},
        {{"-c", "-d"}, "<book><title>A</title></book>\n" + strRest, __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        int fd[2];
        ASSERT_EQ(pipe2(fd, O_CLOEXEC), 0);
        ASSERT_EQ(write(fd[1], strErster.data(), strErster.size()), static_cast<ssize_t>(strErster.size()));
        std::mutex sperre;
        std::condition_variable gespeist;
        bool bGespeist = false;
        bool bAusgabeVorDemRest = false;
        const auto speise = [&] {
            const std::lock_guard<std::mutex> halt(sperre);
            if (bGespeist) return;
            bGespeist = true;
            EXPECT_EQ(write(fd[1], strRest.data(), strRest.size()), static_cast<ssize_t>(strRest.size()));
            close(fd[1]);
            gespeist.notify_all();
        };
        std::thread wache([&] {
            std::unique_lock<std::mutex> halt(sperre);
            if (!gespeist.wait_for(halt, std::chrono::seconds(10), [&] { return bGespeist; })) {
                halt.unlock();
                speise();
            }
        });
        ProzessOptionen optionen;
        optionen.stdinArt = StdinArt::Deskriptor;
        optionen.fdStdin = fd[0];
        optionen.nachErsterAusgabe = [&] {
            bAusgabeVorDemRest = !bGespeist;
            speise();
        };
        const ProzessErgebnis r = StarteProzess(f.args, "", optionen);
        speise();
        wache.join();
        close(fd[0]);
        EXPECT_TRUE(bAusgabeVorDemRest);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Zeige(r.out), Zeige(f.aus));
    }
}

TEST_F(KommandozeileTest, GrosseDokumenteDurchPipe)
{
    std::string bytes;
    while (bytes.size() < 5 * 1048576) bytes += "<buch>\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\0</buch>\n"s;
    const ProzessErgebnis r = Lauf({}, bytes, StdinArt::Pipe);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == bytes) << "size " << r.out.size() << " of " << bytes.size();
}

TEST_F(KommandozeileTest, LeereEingaben)
{
    for (const StdinArt art : {StdinArt::Pipe, StdinArt::Datei, StdinArt::DevNull}) {
        const ProzessErgebnis r = Lauf({"-c"}, "", art);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
    }
}

// --- Unreadable input and unwritable output ---

struct FehlerFall {
    std::vector<std::string> args;
    std::string meldung;  // part of the message on standard error
    int zeile;
};

TEST_F(KommandozeileTest, UnlesbareEingabe)
{
    mkdir((m_strVerzeichnis + "/verzeichnis").c_str(), 0755);
    const FehlerFall faelle[] = {
        {{"-f", "verzeichnis"}, "\"verzeichnis\" kann nicht geöffnet werden: Ist ein Verzeichnis", __LINE__},
        // Read before any argument is examined.
        {{"-ffehlt.xml", "-x"}, "\"fehlt.xml\" kann nicht geöffnet werden: Datei nicht gefunden", __LINE__},
        {{"-c", "-ffehlt.xml", "-c"}, "Datei nicht gefunden", __LINE__},  // also when "-f" comes later
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const ProzessErgebnis r = Lauf(f.args, "stdin");
        EXPECT_EQ(r.status, kStatusEAFehler);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("brixfilter: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(f.meldung), std::string::npos) << r.err;
        EXPECT_EQ(r.err.back(), '\n');
    }
}

TEST_F(KommandozeileTest, GeschlosseneStandardeingabe)
{
    const ProzessErgebnis r = Lauf({"-c"}, "", StdinArt::Geschlossen);
    EXPECT_EQ(r.status, kStatusEAFehler);
    EXPECT_NE(r.err.find("Standardeingabe kann nicht gelesen werden"), std::string::npos) << r.err;
    // With a file named, standard input is not needed.
    EXPECT_EQ(Lauf({"-fa"}, "", StdinArt::Geschlossen).status, 0);
}

TEST_F(KommandozeileTest, UnschreibbareAusgabe)
{
    const struct {
        StdoutArt art;
        std::string meldung;
        int zeile;
    } faelle[] = {
        {StdoutArt::DevFull, "Standardausgabe kann nicht geschrieben werden: Kein Platz auf dem Gerät", __LINE__},
        {StdoutArt::Geschlossen, "Standardausgabe kann nicht geschrieben werden", __LINE__},  // ">&-"
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const ProzessErgebnis r = Lauf({"-fa"}, "", StdinArt::Datei, f.art);
        EXPECT_EQ(r.status, kStatusEAFehler);
        EXPECT_NE(r.err.find(f.meldung), std::string::npos) << r.err;
        // Nothing to write: nothing fails.
        EXPECT_EQ(Lauf({}, "", StdinArt::Datei, f.art).status, 0);
    }
}

TEST_F(KommandozeileTest, GeschlosseneAusgabeSchreibtNichtInDieEingabedatei)
{
    // With fd 1 closed, the input file must not take its number and receive the output.
    const ProzessErgebnis r = Lauf({"-fa"}, "", StdinArt::Datei, StdoutArt::Geschlossen);
    EXPECT_EQ(r.status, kStatusEAFehler);
    EXPECT_EQ(LiesAlles(m_strVerzeichnis + "/a"), "Inhalt a");
}

TEST_F(KommandozeileTest, LeserGehtWeg)
{
    // The default SIGPIPE ends the program quietly; with SIGPIPE ignored, EPIPE gives status 2
    // without a message. A system without SIGPIPE (a Windows build) always takes the second way.
    ProzessOptionen optionen;
    optionen.stdinArt = StdinArt::Datei;
    optionen.stdoutArt = StdoutArt::PipeOhneLeser;
    const std::string dokument(100000, 'x');
    ProzessErgebnis r = StarteProzess({}, dokument, optionen);
    EXPECT_EQ(r.status, MitAusfuehrer() ? kStatusEAFehler : 128 + SIGPIPE);
    EXPECT_EQ(r.err, "");
    optionen.bSigpipeIgnorieren = true;
    r = StarteProzess({}, dokument, optionen);
    EXPECT_EQ(r.status, kStatusEAFehler);
    EXPECT_EQ(r.err, "");
}

// --- In-process runs ---

class TreiberImProzessTest : public KommandozeileTest {
protected:
    // Runs the driver with standard input from the file strEin; with nMehr >= 0 in a child
    // process whose address space may grow by at most nMehr bytes.
    ProzessErgebnis ImProzess(const std::vector<std::string>& args, const std::string& strEin, std::int64_t nMehr = -1)
    {
        std::vector<CString> argumente;
        for (const auto& a : args) argumente.emplace_back(std::string_view(a));
        const std::string strAus = m_strVerzeichnis + "/aus", strErr = m_strVerzeichnis + "/err";
        TreiberKanaele kanaele;
        kanaele.fdEingabe = open(strEin.c_str(), O_RDONLY);
        kanaele.fdAusgabe = open(strAus.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        kanaele.fdFehler = open(strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ProzessErgebnis r;
        if (nMehr < 0) {
            r.status = FuehreBrixfilterAus(argumente, kanaele);
        } else {
            const pid_t pid = fork();
            if (pid == 0) {
                long long nSeiten = 0;
                std::ifstream("/proc/self/statm") >> nSeiten;
                const auto nGrenze = static_cast<rlim_t>(nSeiten * sysconf(_SC_PAGESIZE) + nMehr);
                const rlimit grenze{nGrenze, nGrenze};
                if (setrlimit(RLIMIT_AS, &grenze) != 0) _exit(126);
                _exit(FuehreBrixfilterAus(argumente, kanaele));
            }
            int nStatus = 0;
            waitpid(pid, &nStatus, 0);
            r.status = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
        }
        close(kanaele.fdEingabe);
        close(kanaele.fdAusgabe);
        close(kanaele.fdFehler);
        r.out = LiesAlles(strAus);
        r.err = LiesAlles(strErr);
        return r;
    }
    std::string Eingabe(const std::string& bytes)
    {
        const std::string strPfad = m_strVerzeichnis + "/ein";
        SchreibeDatei(strPfad, bytes);
        return strPfad;
    }
};

TEST_F(TreiberImProzessTest, WieDasProgramm)
{
    // The driver in-process gives what the program gives, for arguments of any bytes.
    const struct {
        std::vector<std::string> args;
        std::string eingabe;
        int zeile;
    } faelle[] = {
        {{"-c", "-S\xFF"}, "<!--k--><\xFF>1</\xFF>\x80rest", __LINE__},
        {{"-sa,b", "-Rb=\xC3"}, "<a><b>1</b>t</a><a/>", __LINE__},
        {{"-d", "-t"}, "x<a></a><b>\xED\xA0\x80</b>", __LINE__},
        {{"-x"}, "doc", __LINE__},
        {{"-f" + m_strVerzeichnis + "/a"}, "", __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        if (!ArgumenteErreichenDasProgramm(f.args)) continue;
        const ProzessErgebnis erwartet = Lauf(f.args, f.eingabe);
        const ProzessErgebnis r = ImProzess(f.args, Eingabe(f.eingabe));
        EXPECT_EQ(r.status, erwartet.status);
        EXPECT_EQ(r.out, erwartet.out);
        EXPECT_EQ(r.err, erwartet.err);
    }
}

TEST_F(TreiberImProzessTest, NichtGenugSpeicher)
{
    // With little room left in the address space: an element of 100 MB that a middle step makes
    // and the next one must hold fails with status 2, naming its option, and nothing is written;
    // a comment of 100 MB that is never closed cannot be held either.
    std::string dokument = "<r>";
    for (int i = 0; i < 1000; ++i) dokument += "<b/>";
    dokument += "</r>";
    const std::string strErsetze = "-Rb=" + std::string(100'000, '\xE4');
    const std::string strKlein = Eingabe(dokument);
    const std::string strGross = m_strVerzeichnis + "/gross";
    {
        const int fd = open(strGross.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(write(fd, "<!--", 4), 4);
        ASSERT_EQ(ftruncate(fd, 100 << 20), 0);  // sparse behind the opener
        close(fd);
    }
    const struct {
        std::vector<std::string> args;
        const std::string& strEin;
        std::string meldung;
        int zeile;
    } faelle[] = {
        {{strErsetze, "-d"}, strKlein, "Option \"-Rb=" + std::string(56, '\xE4') + "...\" (100004 Bytes): Nicht genug Speicher", __LINE__},
        {{"-c", strErsetze, "-Rb=x"}, strKlein, "Option \"-Rb=" + std::string(56, '\xE4') + "...\" (100004 Bytes): Nicht genug Speicher", __LINE__},
        {{"-c"}, strGross, "kann nicht gelesen werden: Nicht genug Speicher", __LINE__},  // standard input
        {{"-f", strGross, "-c"}, strKlein, "Datei \"" + strGross + "\" kann nicht gelesen werden: Nicht genug Speicher",
         __LINE__},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.zeile);
        const ProzessErgebnis r = ImProzess(f.args, f.strEin, 64 << 20);
        EXPECT_EQ(r.status, kStatusEAFehler);
        EXPECT_TRUE(r.out.empty()) << r.out.size() << " bytes";
        EXPECT_EQ(r.err.rfind("brixfilter: ", 0), 0u);
        EXPECT_NE(r.err.find(f.meldung), std::string::npos) << r.err.substr(0, 200);
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
    }
    // With room enough the same chain goes through.
    std::string erwartet = "<r>";
    for (int i = 0; i < 1000; ++i) erwartet += "<b/>" + strErsetze.substr(4);  // an empty element's content follows it
    erwartet += "</r>";
    const ProzessErgebnis r = ImProzess({strErsetze, "-d"}, strKlein, 1024 << 20);
    EXPECT_EQ(r.status, kStatusErfolg) << r.err;
    EXPECT_TRUE(r.out == erwartet) << r.out.size() << " bytes";
}

}  // namespace
