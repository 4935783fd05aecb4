#include "app/Kette.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Textform.h"

namespace {

// The chain without a step: the document passes as it is.
class Durchlass final : public BrixFilter {
public:
    FilterStand Weiter(const BrixSubString& text, TextZiel& out) override
    {
        if (!text.HatDaten()) return {m_nKopiert, m_nKopiert};
        if (!m_bBegonnen) {
            m_bBegonnen = true;
            m_nKopiert = text.AbsolutAnfang();
        }
        out.Anhaengen(text.Mitte(m_nKopiert - text.AbsolutAnfang()));
        m_nKopiert = text.AbsolutEnde();
        return {m_nKopiert, m_nKopiert};
    }

private:
    bool m_bBegonnen = false;
    std::ptrdiff_t m_nKopiert = 0;
};

// The filter of one step of the command line.
std::unique_ptr<BrixFilter> NeuerFilter(const Schritt& schritt)
{
    switch (schritt.art) {
    case OptionsArt::LeereLoeschen: return std::make_unique<LeerLoescher>();
    case OptionsArt::TagsEntfernen: return std::make_unique<TagEntferner>();
    case OptionsArt::KommentareEntfernen: return std::make_unique<KommentarEntferner>();
    case OptionsArt::Ueberspringen: return std::make_unique<BlockSpringer>(schritt.wert);
    case OptionsArt::Zeigen: return std::make_unique<BlockListe>(schritt.wert);
    case OptionsArt::Ersetzen: return std::make_unique<InhaltErsetzer>(schritt.wert, schritt.ersatz);
    default: return std::make_unique<Durchlass>();
    }
}

// A value of the command line in the form of the document: as given for narrow text; for a
// document read as UTF-16 as the units a decoder makes of the bytes (platform/Textform.h), held
// in aWerte.
BrixSubString InForm(const BrixSubString& wert, TextForm eForm, std::deque<CString>& aWerte)
{
    if (eForm == TextForm::Schmal || !wert.HatDaten()) return wert;
    aWerte.emplace_back(SchmalZuIntern(wert.Sicht()));
    aWerte.back().SetzeForm(eForm);
    return BrixSubString(aWerte.back());
}

// A mapped file's pages go as soon as a good stretch of them is passed.
constexpr std::ptrdiff_t kAbbildFreigabe = std::ptrdiff_t{1} << 20;
// A text's own bytes go when they are at least this many and half of it, so that moving the rest
// to the front costs no more than what goes.
constexpr std::ptrdiff_t kVerwerfen = 64 * 1024;
// When this much has come to a filter further down the chain, it walks on before the filter
// before it does.
constexpr std::ptrdiff_t kScheibe = std::ptrdiff_t{1} << 20;
// The free room a filter writes into at once (beyond it, the chain looks whether the next filter
// is to walk on).
constexpr std::ptrdiff_t kFenster = 64 * 1024;

// Drops the first nWeg bytes of text, which its filter no longer needs, when that is worth it.
void Verwirf(CString& text, std::ptrdiff_t nWeg)
{
    if (nWeg <= 0) return;
    if (text.AbbildLaenge() > 0) {
        if (nWeg >= kAbbildFreigabe) text.VerwirfVorne(nWeg);
    } else if (nWeg == text.GetLength() || (nWeg >= kVerwerfen && 2 * nWeg >= text.GetLength())) {
        text.VerwirfVorne(nWeg);
    }
}

}  // namespace

struct Kette::Stufe {
    std::unique_ptr<BrixFilter> pFilter;
    CString* pEingang = nullptr;      // the first filter's input: the text the reader fills
    CString eigen;                    // any other filter's input: what the one before writes
    std::unique_ptr<Zulauf> pZulauf;  // how the one before writes it
    FilterStand stand{0, 0};
    std::ptrdiff_t nGesehen = 0;  // where the text ended when the filter last walked it
    std::ptrdiff_t nGezahlt = 0;  // where it ended when it last paid in
    std::int64_t nGuthaben = 0;   // what walking again the text that came has paid for
    std::size_t nArgument = 0;
    CString& Text() noexcept { return pEingang ? *pEingang : eigen; }
};

// How a filter writes into the text of the next one: into the text's free room, a window of at
// most kFenster bytes at a time; when the window is full and kScheibe bytes have come since the
// next filter last walked, that one walks on first (which may drop bytes from its text's front).
class Kette::Zulauf final : public TextZiel {
public:
    Zulauf(Kette& kette, std::size_t k) : m_kette(kette), m_k(k) {}

    // The window, behind the text's end.
    void Oeffne()
    {
        CString& text = m_kette.m_aStufen[m_k]->Text();
        const std::ptrdiff_t n = text.GetLength();
        m_pAnfang = text.GetBufferSetLength(n);
        m_pW = m_pAnfang + n;
        m_pEnde = m_pAnfang + std::min(text.GetAllocLength(), n + kFenster);
    }
    // The text's length becomes what was written.
    void Schliesse() noexcept
    {
        if (!m_pAnfang) return;
        m_kette.m_aStufen[m_k]->Text().ReleaseBuffer(m_pW - m_pAnfang);
        m_pAnfang = m_pW = m_pEnde = nullptr;
    }

protected:
    void Ueberlauf(const char* p, std::size_t n) override
    {
        Schliesse();
        Stufe& stufe = *m_kette.m_aStufen[m_k];
        CString& text = stufe.Text();
        if (text.Basis() + text.GetLength() - stufe.nGesehen >= kScheibe) {
            std::size_t* pnAktuell = m_kette.m_pnAktuell;
            const std::size_t nAktuell = *pnAktuell;
            m_kette.Laufe(m_k, false);
            *pnAktuell = nAktuell;
        }
        const std::ptrdiff_t nLaenge = text.GetLength();
        std::memcpy(text.GetBufferSetLength(nLaenge + static_cast<std::ptrdiff_t>(n)) + nLaenge, p, n);
        Oeffne();
    }

private:
    Kette& m_kette;
    std::size_t m_k;
    char* m_pAnfang = nullptr;
};

Kette::Kette(const std::vector<Schritt>& aSchritte, CString& eingang, TextZiel& aus) : m_aus(aus)
{
    const TextForm eForm = eingang.Form();
    for (std::size_t k = 0; k < std::max<std::size_t>(1, aSchritte.size()); ++k) {
        auto pStufe = std::make_unique<Stufe>();
        if (k < aSchritte.size()) {
            Schritt schritt = aSchritte[k];
            schritt.wert = InForm(schritt.wert, eForm, m_aWerte);
            schritt.ersatz = InForm(schritt.ersatz, eForm, m_aWerte);
            pStufe->pFilter = NeuerFilter(schritt);
            pStufe->nArgument = schritt.nArgument;
        } else {
            pStufe->pFilter = std::make_unique<Durchlass>();
        }
        pStufe->eigen.SetzeForm(eForm);
        if (k == 0) pStufe->pEingang = &eingang;
        if (k > 0) pStufe->pZulauf = std::make_unique<Zulauf>(*this, k);
        m_aStufen.push_back(std::move(pStufe));
    }
}

Kette::~Kette() = default;

void Kette::Weiter(bool bEnde, std::size_t& nAktuell)
{
    m_pnAktuell = &nAktuell;
    for (std::size_t k = 0; k < m_aStufen.size(); ++k) Laufe(k, bEnde);
}

void Kette::Laufe(std::size_t k, bool bEnde)
{
    Stufe& stufe = *m_aStufen[k];
    CString& text = stufe.Text();
    text.SetzeOffen(!bEnde);
    const std::ptrdiff_t nEnde = text.Basis() + text.GetLength();
    // What came pays twice its length towards walking again what is in question (a filter that
    // waits reads on from stand.nWeiter): so no input makes the walks more than linear, and where
    // that costs little, every piece is walked at once.
    stufe.nGuthaben += 2 * static_cast<std::int64_t>(nEnde - stufe.nGezahlt);
    stufe.nGezahlt = nEnde;
    const std::int64_t nKosten = nEnde - stufe.stand.nWeiter;
    if (!bEnde && (nEnde == stufe.nGesehen || nKosten > stufe.nGuthaben)) return;
    stufe.nGuthaben -= std::min(nKosten, stufe.nGuthaben);
    *m_pnAktuell = stufe.nArgument;
    const BrixSubString sicht(text);
    if (k + 1 < m_aStufen.size()) {
        Zulauf& zulauf = *m_aStufen[k + 1]->pZulauf;
        zulauf.Oeffne();
        try {
            stufe.stand = stufe.pFilter->Weiter(sicht, zulauf);
        } catch (...) {
            zulauf.Schliesse();
            throw;
        }
        zulauf.Schliesse();
    } else {
        stufe.stand = stufe.pFilter->Weiter(sicht, m_aus);
    }
    stufe.nGesehen = nEnde;
    Verwirf(text, stufe.stand.nBehalten - text.Basis());
}
