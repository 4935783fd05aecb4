// The reference model: each operation transcribed step by step, without shortcuts.
#include "support/Referenz.h"

#include <algorithm>

namespace referenz {

namespace {

constexpr std::u16string_view kNamensEnde = u" />\n\r\t";
constexpr std::u16string_view kKlammern = u"()[]{}<>";

// An empty view at absolute index 0 of v's text (what the helpers return for "nothing").
Sicht LeerAmAnfang(const Sicht& v) { return Sicht{v.pText, 0, 0}; }

bool IstNamensZeichen(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
}

// True when the unit at i is a low surrogate right behind a high one in v.
bool IstZweiteHaelfte(const Sicht& v, int i)
{
    return i > 0 && i < v.Laenge() && v.An(i) >= 0xDC00 && v.An(i) <= 0xDFFF && v.An(i - 1) >= 0xD800 &&
           v.An(i - 1) <= 0xDBFF;
}

}  // namespace

Sicht Sicht::Mitte(int nFirst, int nCount) const
{
    const std::int64_t nLaenge = Laenge();
    const std::int64_t f = std::max(nFirst, 0);
    const std::int64_t cnt = std::max(nCount, 0);
    if (f > nLaenge) return Sicht{pText, nEnd, nEnd};
    const std::int64_t nBis = f + cnt > nLaenge ? nEnd : nStart + f + cnt;
    return Sicht{pText, static_cast<int>(nStart + f), static_cast<int>(nBis)};
}

Sicht Sicht::Mitte(int nFirst) const
{
    const int f = std::min(std::max(nFirst, 0), Laenge());
    return Sicht{pText, nStart + f, nEnd};
}

Sicht Sicht::Links(int n) const { return Sicht{pText, nStart, nStart + std::min(n, Laenge())}; }

Sicht Sicht::Rechts(int n) const { return Laenge() > n ? Sicht{pText, nEnd - n, nEnd} : *this; }

std::u16string Sicht::Text() const
{
    if (pText == nullptr) return {};
    return pText->substr(static_cast<std::size_t>(nStart), static_cast<std::size_t>(Laenge()));
}

Sicht Ganz(const std::u16string& s) { return Sicht{&s, 0, static_cast<int>(s.size())}; }

bool Gleich(const Sicht& a, const Sicht& b)
{
    if (a.Laenge() != b.Laenge()) return false;
    for (int i = 0; i < a.Laenge(); ++i)
        if (a.An(i) != b.An(i)) return false;
    return true;
}

// --- Searches ---

int FindeZeichen(const Sicht& v, char16_t ch, int nFrom)
{
    if (!v.HatDaten()) return -1;
    for (int i = std::max(nFrom, 0); i < v.Laenge(); ++i)
        if (v.An(i) == ch) return i;
    return -1;
}

int FindeString(const Sicht& v, std::u16string_view s, int nFrom)
{
    if (!v.HatDaten()) return -1;
    const int n = static_cast<int>(s.size());
    for (int i = std::max(nFrom, 0); i + n <= v.Laenge(); ++i) {
        int k = 0;
        while (k < n && v.An(i + k) == s[static_cast<std::size_t>(k)]) ++k;
        if (k == n) return i;
    }
    return -1;
}

int FindeEinesVon(const Sicht& v, std::u16string_view set, int nFrom, int* pnWhich, bool bQuotes)
{
    if (!v.HatDaten()) return -1;
    const int nLaenge = v.Laenge();
    for (int i = std::max(nFrom, 0); i < nLaenge; ++i) {
        const char16_t u = v.An(i);
        if (bQuotes && (u == u'"' || u == u'\'')) {
            int j = i + 1;
            while (j < nLaenge && v.An(j) != u) ++j;
            if (j >= nLaenge) return -1;  // unclosed quote
            i = j;                        // go on behind the closing quote
            continue;
        }
        for (std::size_t k = 0; k < set.size(); ++k) {
            if (set[k] == u) {
                if (pnWhich != nullptr) *pnWhich = static_cast<int>(k);
                return i;
            }
        }
    }
    return -1;
}

int FindeSchliessendeKlammer(const Sicht& v, int nPos, std::u16string_view brackets, int nIndex, bool bQuotes)
{
    if (brackets.empty()) brackets = kKlammern;
    if (nPos >= v.Laenge() - 1) return -1;
    if (nIndex == -1) {
        const int d = FindeEinesVon(v, brackets, nPos, &nIndex, bQuotes);
        if (d == -1) return -1;
        if (nIndex % 2 == 1) return -1;
        nPos = d;
    }
    int nWhich = -1;
    int r = FindeEinesVon(v, brackets, nPos + 1, &nWhich, bQuotes);
    while (r > nPos) {
        if (nWhich % 2 == 0) {
            const int z = FindeSchliessendeKlammer(v, r, brackets, nWhich, bQuotes);
            if (z == -1) return -1;
            nPos = z;
            r = FindeEinesVon(v, brackets, nPos + 1, &nWhich, bQuotes);
        } else if (nWhich == nIndex + 1) {
            return r;
        } else {
            r = FindeEinesVon(v, brackets, r + 1, &nWhich, bQuotes);
        }
    }
    return -1;
}

std::vector<Sicht> Teile(const Sicht& v, char16_t chSep)
{
    std::vector<Sicht> aFelder;
    const int nLaenge = v.Laenge();
    if (nLaenge == 0) return aFelder;
    int nPos = 0;
    for (;;) {
        if (nPos == nLaenge) {
            aFelder.push_back(Sicht{});  // the empty field behind a trailing separator
            nPos = nLaenge + 1;
            continue;
        }
        if (nPos > nLaenge) break;
        int i = nPos;
        while (i < nLaenge && v.An(i) != chSep) ++i;
        aFelder.push_back(v.Mitte(nPos, i - nPos));
        nPos = i + 1;
    }
    return aFelder;
}

// --- Scanner ---

int FindeEndTag(const Sicht& v, const Sicht& name, int nFrom, int& nError, int* pnEndTagPos)
{
    if (!v.HatDaten()) {
        nError = 2;
        return 0;
    }
    const int nLaenge = v.Laenge();
    int p = FindeZeichen(v, u'<', nFrom);
    for (;;) {
        if (p < 0) {
            nError = 3;
            return -1;
        }
        if (p + 1 >= nLaenge) {
            nError = 8;
            return p;
        }
        const char16_t u = v.An(p + 1);
        int nWeiter = 0;
        if (u == u'!') {
            if (p + 3 < nLaenge && v.An(p + 2) == u'-' && v.An(p + 3) == u'-') {
                const int q = FindeString(v, u"-->", p);
                if (q < 0) {
                    nError = 10;
                    return p;
                }
                nWeiter = q + 3;
            } else {
                const int q = FindeZeichen(v, u'>', p);
                if (q < 0) {
                    nError = 12;
                    return p;
                }
                nWeiter = q + 1;
            }
        } else if (u == u'?') {
            const int q = FindeString(v, u"?>", p);
            if (q < 0) {
                nError = 11;
                return p;
            }
            nWeiter = q + 2;
        } else if (u == u'/') {
            const int g = FindeZeichen(v, u'>', p + 2);
            if (g < 0) {
                nError = 6;
                return p;
            }
            if (!Gleich(v.Mitte(p + 2, g - (p + 2)), name)) {
                nError = 9;
                return p;
            }
            if (pnEndTagPos != nullptr) *pnEndTagPos = p;
            nError = 0;
            return g + 1;
        } else {
            const int t = FindeEinesVon(v, kNamensEnde, p + 1, nullptr, false);
            if (t < 0) {
                nError = 8;
                return p;
            }
            const Sicht innererName = v.Mitte(p + 1, t - (p + 1));
            const int k = FindeSchliessendeKlammer(v, p, kKlammern, 6, true);
            if (k >= 0 && v.An(k - 1) == u'/') {
                nWeiter = k + 1;
            } else {
                const int r = FindeEndTag(v, innererName, t + 1, nError, pnEndTagPos);
                if (nError != 0) return r;
                nWeiter = r;
            }
        }
        p = FindeZeichen(v, u'<', nWeiter);
    }
}

namespace {

// The block search shared by both finders; pName null takes every block.
Sicht Blocksuche(const Sicht& v, const Sicht* pName, int& nPos, int& nNext, int& nError, int* pnStartTagLen,
                 int* pnEndTagOffset)
{
    nError = 0;
    if (!v.HatDaten()) {
        nError = 2;
        nPos = -1;
        nNext = -1;
        return Sicht{};
    }
    const int nLaenge = v.Laenge();
    int p = FindeZeichen(v, u'<', nPos);
    for (;;) {
        if (p < 0 || p + 1 >= nLaenge) {
            nError = 1;
            nPos = -1;
            nNext = -1;
            return Sicht{};
        }
        const char16_t u = v.An(p + 1);
        int nWeiter = 0;
        // Unclosed comment, declaration or processing instruction: no block, a short step on,
        // which never ends between the two units of a surrogate pair: there it ends on the
        // pair's first unit.
        auto offen = [&](int nCode) {
            nError = nCode;
            nPos = p;
            nNext = std::min(p + 100, nLaenge - 1);
            if (IstZweiteHaelfte(v, nNext)) --nNext;
            return Sicht{};
        };
        if (u == u'!') {
            if (p + 3 < nLaenge && v.An(p + 2) == u'-' && v.An(p + 3) == u'-') {
                const int q = FindeString(v, u"-->", p);
                if (q < 0) return offen(10);
                nWeiter = q + 3;
            } else {
                const int q = FindeZeichen(v, u'>', p);
                if (q < 0) return offen(12);
                nWeiter = q + 1;
            }
        } else if (u == u'?') {
            const int q = FindeString(v, u"?>", p);
            if (q < 0) return offen(11);
            nWeiter = q + 2;
        } else if (u == u'/') {
            const int g = FindeZeichen(v, u'>', p + 2);
            if (g < 0) {
                // "</" without any '>': the rest of the view, so that a caller moves on.
                nError = 6;
                nPos = p;
                nNext = nLaenge;
                return v.Mitte(p);
            }
            nError = 4;
            nPos = p;
            nNext = g;
            return v.Mitte(p, g - p);
        } else {
            const int t = FindeEinesVon(v, kNamensEnde, p + 1, nullptr, false);
            if (t < 0) {
                nError = 8;
                nPos = p;
                nNext = nLaenge;
                return v.Mitte(p);
            }
            const Sicht tagName = v.Mitte(p + 1, t - (p + 1));
            const int g = FindeZeichen(v, u'>', p + 1);
            if (g < 0) {
                nError = 7;
                nPos = p;
                nNext = nLaenge;
                return v.Mitte(p);
            }
            if (v.An(g - 1) == u'/') {
                if (pName == nullptr || Gleich(tagName, *pName)) {
                    if (pnStartTagLen != nullptr) *pnStartTagLen = -1;
                    if (pnEndTagOffset != nullptr) *pnEndTagOffset = -1;
                    nPos = p;
                    nNext = g + 1;
                    return v.Mitte(p, g + 1 - p);
                }
                nWeiter = g + 1;
            } else {
                int nEndTagPos = -1;
                const int r = FindeEndTag(v, tagName, g + 1, nError, pnEndTagOffset != nullptr ? &nEndTagPos : nullptr);
                if (nError != 0) {
                    nPos = p;
                    nNext = std::max(r, g);
                    return v.Mitte(p, nNext - p);
                }
                if (r <= p) {
                    nError = 13;
                    nPos = p;
                    nNext = g;
                    return v.Mitte(p, g - p);
                }
                if (pName == nullptr || Gleich(tagName, *pName)) {
                    if (pnStartTagLen != nullptr) *pnStartTagLen = g - p + 1;
                    if (pnEndTagOffset != nullptr) *pnEndTagOffset = nEndTagPos - p;
                    nPos = p;
                    nNext = r;
                    return v.Mitte(p, r - p);
                }
                nWeiter = r;
            }
        }
        p = FindeZeichen(v, u'<', nWeiter);
    }
}

}  // namespace

Sicht FindeTagBlock(const Sicht& v, const Sicht& name, int& nPos, int& nNext, int& nError, int* pnStartTagLen,
                    int* pnEndTagOffset)
{
    return Blocksuche(v, &name, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

Sicht FindeNaechstenTagBlock(const Sicht& v, int& nPos, int& nNext, int& nError, int* pnStartTagLen,
                             int* pnEndTagOffset)
{
    return Blocksuche(v, nullptr, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

// --- Tag helpers ---

Sicht FindeErstenTagBlock(const Sicht& v, const std::vector<Sicht>& names, int& nPos, int& nNext, int& nIndex,
                          int& nError, int* pnStartTagLen, int* pnEndTagOffset)
{
    if (!v.HatDaten()) {
        nError = 2;
        return Sicht{};
    }
    int nBesterStart = -1;
    int nBesterNext = -1;
    int nBesteLaenge = -1;
    int nBesterOffset = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        int nStart = nPos;
        int nWeiter = 0;
        int nLaenge = -1;
        int nOffset = -1;
        const Sicht block = FindeTagBlock(v, names[i], nStart, nWeiter, nError, &nLaenge, &nOffset);
        if (nError != 0 && nError != 1 && nError != 2) return block;
        if (block.nEnd != block.nStart && (nBesterStart < 0 || nStart < nBesterStart)) {
            nBesterStart = nStart;
            nBesterNext = nWeiter;
            nBesteLaenge = nLaenge;
            nBesterOffset = nOffset;
            nIndex = static_cast<int>(i);
        }
    }
    nPos = nBesterStart;
    nNext = nBesterNext;
    if (nBesterStart < 0) {
        nError = 1;
        return LeerAmAnfang(v);
    }
    if (pnStartTagLen != nullptr) *pnStartTagLen = nBesteLaenge;
    if (pnEndTagOffset != nullptr) *pnEndTagOffset = nBesterOffset;
    nError = 0;
    return v.Mitte(nBesterStart, nBesterNext - nBesterStart);
}

Sicht Inhalt(const Sicht& block)
{
    if (!block.HatDaten()) return Sicht{};
    if (block.Rechts(2).Text() == u"/>") return LeerAmAnfang(block);
    const int nLaenge = block.Laenge();
    int i = -1;
    for (int k = 0; k <= nLaenge - 2; ++k) {
        if (block.An(k) == u'>') {
            i = k;
            break;
        }
    }
    if (i < 0) return block;
    int j = -1;
    for (int k = nLaenge - 1; k >= i + 1; --k) {
        if (block.An(k) == u'<') {
            j = k;
            break;
        }
    }
    if (j < 0) return block;
    return block.Mitte(i + 1, j - (i + 1));
}

Sicht TagName(const Sicht& block)
{
    if (!block.HatDaten()) return Sicht{};
    if (block.Laenge() == 0 || block.An(0) != u'<') return LeerAmAnfang(block);
    int n = 0;
    while (1 + n < block.Laenge() && IstNamensZeichen(block.An(1 + n))) ++n;
    return block.Mitte(1, n);
}

// --- Filters ---

std::u16string EntferneKommentare(const Sicht& text)
{
    std::u16string out;
    if (!text.HatDaten()) return out;
    const int nLaenge = text.Laenge();
    int c = 0;
    int b = FindeString(text, u"<!--", 0);
    while (b >= 0) {
        const bool bZeilenAnfang = b == 0 || text.An(b - 1) == u'\r' || text.An(b - 1) == u'\n';
        const int d = FindeString(text, u"-->", b);
        if (d >= 0) {
            out += text.Mitte(c, b - c).Text();
            int k = 3;
            while (d + k < nLaenge &&
                   (text.An(d + k) == u'\r' || (text.An(d + k) == u'\n' && bZeilenAnfang)))
                ++k;
            c = d + k;
        } else {
            out += text.Mitte(c, b + 4 - c).Text();
            c = b + 4;
        }
        b = FindeString(text, u"<!--", c);
    }
    out += text.Mitte(c).Text();
    return out;
}

std::u16string EntferneTags(const Sicht& text)
{
    std::u16string out;
    if (!text.HatDaten()) return out;
    int c = 0;
    int b = FindeZeichen(text, u'<', 0);
    while (b >= 0) {
        const int e = FindeZeichen(text, u'>', b);
        if (e >= 0) {
            out += text.Mitte(c, b - c).Text();
            c = e + 1;
        } else {
            out += text.Mitte(c, b + 1 - c).Text();
            c = b + 1;
        }
        b = FindeZeichen(text, u'<', c);
    }
    out += text.Mitte(c).Text();
    return out;
}

std::u16string LoescheLeereTags(const Sicht& text)
{
    std::u16string out;
    int c = 0;
    int s = 0;
    for (;;) {
        int p = s;
        int e = 0;
        int nError = 0;
        const Sicht block = FindeNaechstenTagBlock(text, p, e, nError);
        if (nError != 0) break;
        out += text.Mitte(c, p - c).Text();
        if (Inhalt(block).Laenge() != 0) out += block.Text();
        c = e;
        s = e;
    }
    out += text.Mitte(c).Text();
    return out;
}

std::u16string ZeigeTagBlocks(const Sicht& text, const Sicht& names)
{
    std::u16string out;
    std::vector<Sicht> aNamen = Teile(names, u',');
    if (aNamen.empty()) return out;
    const Sicht aussen = aNamen.front();
    aNamen.erase(aNamen.begin());

    int s = 0;
    for (;;) {
        int p = s;
        int e = 0;
        int nError = 0;
        int nStartTagLen = 0;
        int nEndTagOffset = 0;
        const Sicht block = FindeTagBlock(text, aussen, p, e, nError, &nStartTagLen, &nEndTagOffset);
        if (nError != 0) break;
        if (aNamen.empty()) {
            out += block.Text();
        } else {
            Sicht erstes = block;
            Sicht inhalt;
            Sicht letztes;
            if (nStartTagLen >= 0 && nEndTagOffset >= 0) {
                erstes = block.Mitte(0, nStartTagLen);
                inhalt = block.Mitte(nStartTagLen, nEndTagOffset - nStartTagLen);
                letztes = block.Mitte(nEndTagOffset);
            }
            out += erstes.Text();
            int k = 0;
            for (;;) {
                int kp = k;
                int kn = 0;
                int nIndex = 0;
                int nInnerError = 0;
                const Sicht inner = FindeErstenTagBlock(inhalt, aNamen, kp, kn, nIndex, nInnerError);
                if (nInnerError != 0) break;
                out += inner.Text();
                k = kn;
            }
            out += letztes.Text();
        }
        out += u"\r\n";
        s = e;
    }
    return out;
}

std::u16string UeberspringeTagBlocks(const Sicht& text, const Sicht& name)
{
    std::u16string out;
    int c = 0;
    int s = 0;
    for (;;) {
        int p = s;
        int e = 0;
        int nError = 0;
        FindeTagBlock(text, name, p, e, nError);
        if (nError != 0 && p > c) {
            out += text.Mitte(c, p - c).Text();
            c = p;
        }
        if (e == -1 || e <= s) break;  // no position, or one that would not move the walk on
        c = e;
        s = e;
    }
    out += text.Mitte(c).Text();
    return out;
}

namespace {

void Ersetze(const Sicht& text, const Sicht& name, const Sicht& replacement, std::u16string& out)
{
    int c = 0;
    int s = 0;
    for (;;) {
        int p = s;
        int e = 0;
        int nError = 0;
        int nStartTagLen = -1;
        int nEndTagOffset = -1;
        const Sicht block = FindeNaechstenTagBlock(text, p, e, nError, &nStartTagLen, &nEndTagOffset);
        if (nError != 0) break;
        out += text.Mitte(c, p - c).Text();
        c = e;
        s = e;
        Sicht start = block;
        Sicht inhalt;
        Sicht ende;
        if (nStartTagLen >= 0 && nEndTagOffset >= 0) {
            start = block.Mitte(0, nStartTagLen);
            inhalt = block.Mitte(nStartTagLen, nEndTagOffset - nStartTagLen);
            ende = block.Mitte(nEndTagOffset);
        }
        out += start.Text();
        if (Gleich(TagName(block), name)) {
            out += replacement.Text();
        } else {
            std::u16string tmp;
            Ersetze(inhalt, name, replacement, tmp);
            out += tmp;
        }
        out += ende.Text();
    }
    out += text.Mitte(c).Text();
}

}  // namespace

std::u16string ErsetzeTagInhalt(const Sicht& text, const Sicht& name, const Sicht& replacement)
{
    std::u16string out;
    Ersetze(text, name, replacement, out);
    return out;
}

}  // namespace referenz
