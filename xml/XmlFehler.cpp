// Texts of the scanner's error codes. The program never prints them; they name the codes for
// readers of the code and for tools built on the library.
#include "xml/XmlFehler.h"

#include <array>

namespace {

// Indexed by the code; UTF-8.
constexpr std::array<const char*, 15> kTexte = {
    "kein Fehler",
    "Tag nicht gefunden",
    "Keine Daten vorhanden",
    "unerwartetes Ende",
    "Close-Tag bei Suche nach Tag-Block gefunden",
    "Tag wird nicht geschlossen",
    "'<' nicht gefunden",
    "'>' nicht gefunden",
    "Öffnendes Tag: Name wird nicht Terminiert",
    "Ein äußeres Tag, wird vor dem inneren geschlossen, z.B. <a><b></a></b>",
    "Eine Kommentarklammer <!-- wird nicht mehr geschlossen.",
    "Darf nicht auftreten, deutet auf Fehler in XML-Routinen selbst",
    "Unbekannter Fehler",
    nullptr,
    "Der Text geht noch weiter",
};

}  // namespace

const char* XmlFehlerText(int nCode) noexcept
{
    if (nCode < 0 || nCode >= static_cast<int>(kTexte.size())) {
        return nullptr;
    }
    return kTexte[static_cast<std::size_t>(nCode)];
}
