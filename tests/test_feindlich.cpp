// Hostile shapes through every option of the real binary, with the machine stack limited to
// 256 KiB: a million nested elements, a million '(' in one tag, a million unmatched '<', '"',
// "</" and "<!--" (also with a 4-byte character behind each), a tag of 10 MB, 10 MB without any
// '<', and a million nested elements and lone surrogates in a file read as UTF-16. Each must end normally, without a
// crash, and give the output that the shape implies. (Linear time is checked by the benchmark;
// here a quadratic walk would show as a test that runs into its time-out.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/Bruecke.h"
#include "support/Hilfen.h"
#include "support/Prozess.h"

namespace {

struct Form {
    const char* pName;
    std::string text;
};

std::vector<Form> Formen()
{
    const std::size_t M = kSanitiert ? 100'000 : 1'000'000;
    return {
        {"verschachtelt", Mal("<a>", M) + "x" + Mal("</a>", M)},
        {"verschachtelt_offen", Mal("<a>", M) + "x"},
        {"klammern_im_tag", "<a " + std::string(M, '(') + ">x</a>"},
        {"klammern_im_inneren_tag", "<r><a " + std::string(M, '(') + ">x</a></r>"},
        {"lt", std::string(M, '<')},
        {"lt_im_element", "<r>" + std::string(M, '<') + "</r>"},
        {"anfuehrungszeichen", "<r a=\"" + std::string(M, '"') + "\">x</r>"},
        {"endtags", Mal("</", M)},
        {"endtags_im_element", "<r>" + Mal("</", M) + "</r>"},
        {"kommentare", Mal("<!--", M)},
        {"kommentare_nach_element", "<a></a>" + Mal("<!--", M)},
        {"kommentare_mit_paaren", Mal("<!--\xF0\x9F\x98\x80", M)},
        {"grosser_tag", "<a " + std::string(10 * M, 'x') + ">y</a>"},
        {"ohne_lt", std::string(10 * M, 'x')},
        {"utf16_verschachtelt", Utf16Datei(Mal16(u"<a>", M) + u"x" + Mal16(u"</a>", M))},
        {"utf16_einzelne_surrogate", Utf16Datei(Mal16(u"<a \xD800>\xDC80", M))},
    };
}

TEST(FeindlicheFormen, JedeOptionMitKleinemStack)
{
    const std::string verzeichnis = NeuesTempVerzeichnis();
    const std::string datei = verzeichnis + "/form.xml";
    const std::string ausgabe = verzeichnis + "/ausgabe";
    const std::vector<std::string> optionen = {"-c", "-t", "-d", "-sa,b", "-Sa", "-Ra=Z"};
    for (const Form& form : Formen()) {
        ASSERT_TRUE(SchreibeDatei(datei, form.text));
        for (const std::string& option : optionen) {
            SCOPED_TRACE(std::string(form.pName) + " " + option);
            ProzessOptionen o;
            o.programm = "/bin/sh";
            // A runner sets up the stack of its own program: the limit is for a POSIX build.
            const std::string strStapel = MitAusfuehrer() ? "" : "ulimit -s 256 && ";
            const ProzessErgebnis erg = StarteProzess(
                {"-c", strStapel + "exec " + ProgrammFuerShell() + " -f \"$0\" \"$1\" > \"$2\"", datei, option, ausgabe},
                "", o);
            EXPECT_EQ(erg.status, 0) << erg.err;  // a crash would show as 128 + signal
            EXPECT_EQ(erg.err, "");
            // Every option copies, drops or lists pieces of the input; none of these shapes holds an
            // element that -R could fill, or more than one listed line.
            struct stat st {};
            ASSERT_EQ(stat(ausgabe.c_str(), &st), 0);
            EXPECT_LE(static_cast<std::size_t>(st.st_size), form.text.size() + 2);
        }
    }
    EntferneVerzeichnis(verzeichnis);
}

}  // namespace
