// The scanner's error codes. 0 is success; the scanner never throws or prints, it reports one
// of these through its nError out-parameter and the caller decides.
#pragma once

enum XmlFehler : int {
    XML_OK = 0,                  // success
    XML_TAG_NICHT_GEFUNDEN = 1,  // no further '<' (or it is the view's last unit); no name gave a block
    XML_KEINE_DATEN = 2,         // the view searched has no data
    XML_UNERWARTETES_ENDE = 3,   // no further '<' before the end tag looked for
    XML_CLOSE_TAG = 4,           // an end tag where a start tag was looked for
    XML_NICHT_GESCHLOSSEN = 5,   // never set
    XML_KEIN_LT = 6,             // "</" with no '>' after it
    XML_KEIN_GT = 7,             // a start tag with no '>' after its '<'
    XML_NAME_OFFEN = 8,          // a start-tag name not terminated within the view
    XML_VERSCHACHTELUNG = 9,     // an end tag of another name than the one looked for
    XML_KOMMENTAR_OFFEN = 10,    // "<!--" with no "-->" after it
    XML_PI_OFFEN = 11,           // "<?" with no "?>" after it
    XML_DEKLARATION_OFFEN = 12,  // "<!" declaration with no '>' after it
    XML_INTERN = 13,             // guard: an end-tag search reported success at a bad position
    XML_MEHR = 14,               // the outcome depends on text behind the view's open end (see
                                 // BrixSubString::EndeOffen): the search is made again when more
                                 // has come; nPos is where it will begin to read
};

// German text of codes 0 to 12 and 14; null for any other code (13 has no text).
const char* XmlFehlerText(int nCode) noexcept;
