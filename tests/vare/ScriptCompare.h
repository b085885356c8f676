#pragma once

#include "vare/VarE.h"

#include <gtest/gtest.h>

// Everything a file keeps of a script, compared field by field (bookmarks are not part of a script).
inline ::testing::AssertionResult sameScript(const CVarE& a, const CVarE& b) {
    for (int i = 0; i < CVarE::H_COUNT; ++i) {
        const auto e = CVarE::EHeader(i);
        if (e == CVarE::H_FIRST_LOOP_NUMBER) continue; // not stored: it follows the first loop
        if (a.get(e) != b.get(e))
            return ::testing::AssertionFailure()
                   << "header " << CVarE::headerKey(e) << ": " << a.get(e).toStdString() << " vs "
                   << b.get(e).toStdString();
    }
    if (a.getTimeStamp() != b.getTimeStamp() || a.getLastPosition() != b.getLastPosition() ||
        a.getLastTrack() != b.getLastTrack())
        return ::testing::AssertionFailure() << "timestamp, last position or last track";
    if (a.getRoles().size() != b.getRoles().size()) return ::testing::AssertionFailure() << "role count";
    for (auto x = a.getRoles().begin(), y = b.getRoles().begin(); x != a.getRoles().end(); ++x, ++y) {
        if (x->m_strName != y->m_strName || x->m_strId != y->m_strId || x->getColor() != y->getColor() ||
            x->m_strDescription != y->m_strDescription || x->m_nGender != y->m_nGender ||
            x->m_strImage != y->m_strImage)
            return ::testing::AssertionFailure() << "role " << x->m_strName.toStdString();
    }
    if (a.getLineCount() != b.getLineCount())
        return ::testing::AssertionFailure()
               << "phrase count " << a.getLineCount() << " vs " << b.getLineCount();
    for (auto x = a.getLines().begin(), y = b.getLines().begin(); x != a.getLines().end(); ++x, ++y) {
        if (*x != *y || x->m_bVoiceOff != y->m_bVoiceOff || x->m_bReaction != y->m_bReaction ||
            (x->hasRole() && x->getRole().m_strId != y->getRole().m_strId))
            return ::testing::AssertionFailure()
                   << "phrase at " << x->getTimeCode().getText() << " track " << x->getTrack() << ": \""
                   << x->m_strText.toStdString() << "\" vs \"" << y->m_strText.toStdString() << "\"";
    }
    if (a.getLoops().size() != b.getLoops().size()) return ::testing::AssertionFailure() << "loop count";
    for (auto x = a.getLoops().begin(), y = b.getLoops().begin(); x != a.getLoops().end(); ++x, ++y)
        if (x->getFrames() != y->getFrames() || x->getNumber() != y->getNumber())
            return ::testing::AssertionFailure() << "loop at " << x->getTimeCode().getText();
    if (a.getShots() != b.getShots()) return ::testing::AssertionFailure() << "shot changes";
    return ::testing::AssertionSuccess();
}
