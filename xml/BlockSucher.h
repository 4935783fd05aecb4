// BrixBlockSucher: the scanner's block finders (FindeTagBlock, FindeNaechstenTagBlock) for filters
// that walk one text many times, with a memory of the end-tag searches already made: the
// scanner and its memory, nothing else. Results, positions and error codes are exactly those of
// the view's block finders.
//
// Every view passed to one seeker must be of the same CString, which must not change while the
// seeker lives.
#pragma once

#include <cstddef>

#include "brix/BrixSubString.h"
#include "xml/Abtaster.h"
#include "xml/EndTagGedaechtnis.h"

class BrixBlockSucher {
public:
    // Searches and bracket groups that cover fewer bytes than nMindestSpanne are not remembered.
    explicit BrixBlockSucher(std::ptrdiff_t nMindestSpanne = 64)
        : m_Gedaechtnis(nMindestSpanne), m_Abtaster(&m_Gedaechtnis, nMindestSpanne)
    {}
    BrixBlockSucher(const BrixBlockSucher&) = delete;
    BrixBlockSucher& operator=(const BrixBlockSucher&) = delete;

    // As BrixAbtaster::FindeTagBlock.
    TagBlockFund FindeTagBlock(const BrixSubString& text, const BrixSubString* pName, std::ptrdiff_t nAb)
    {
        return m_Abtaster.FindeTagBlock(text, pName, nAb);
    }
    // Forgets the remembered end-tag searches (see EndTagGedaechtnis::Vergiss).
    void Vergiss() noexcept { m_Gedaechtnis.Vergiss(); }
    // Nothing will be searched before nPos in text again (see BrixAbtaster::VergissVor).
    void VergissVor(const BrixSubString& text, std::ptrdiff_t nPos) noexcept
    {
        m_Abtaster.VergissVor(text, nPos);
        if (text.HatDaten() && nPos >= 0) m_Gedaechtnis.VergissVor(text.AbsolutAnfang() + nPos);
    }
    // Number of end-tag searches remembered.
    std::size_t AnzahlGemerkt() const noexcept { return m_Gedaechtnis.AnzahlGemerkt(); }

private:
    EndTagGedaechtnis m_Gedaechtnis;
    BrixAbtaster m_Abtaster;
};
