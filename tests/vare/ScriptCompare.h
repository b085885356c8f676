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
        if (x->getName() != y->getName() || x->getId() != y->getId() || x->getColor() != y->getColor() ||
            x->getDescription() != y->getDescription() || x->getGender() != y->getGender() ||
            x->getImage() != y->getImage())
            return ::testing::AssertionFailure() << "role " << x->getName().toStdString();
    }
    if (a.getLineCount() != b.getLineCount())
        return ::testing::AssertionFailure()
               << "phrase count " << a.getLineCount() << " vs " << b.getLineCount();
    for (auto x = a.getLines().begin(), y = b.getLines().begin(); x != a.getLines().end(); ++x, ++y) {
        if (*x != *y || x->isVoiceOff() != y->isVoiceOff() || x->isReaction() != y->isReaction() ||
            (x->hasRole() && x->getRole().getId() != y->getRole().getId()))
            return ::testing::AssertionFailure()
                   << "phrase at " << x->getTimeCode().getText() << " track " << x->getTrack() << ": \""
                   << x->getText().toStdString() << "\" vs \"" << y->getText().toStdString() << "\"";
    }
    if (a.getLoops().size() != b.getLoops().size()) return ::testing::AssertionFailure() << "loop count";
    for (auto x = a.getLoops().begin(), y = b.getLoops().begin(); x != a.getLoops().end(); ++x, ++y)
        if (x->getFrames() != y->getFrames() || x->getNumber() != y->getNumber())
            return ::testing::AssertionFailure() << "loop at " << x->getTimeCode().getText();
    if (a.getShots() != b.getShots()) return ::testing::AssertionFailure() << "shot changes";
    return ::testing::AssertionSuccess();
}
