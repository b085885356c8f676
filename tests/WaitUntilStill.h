#pragma once

#include <QTest>

// Waits until a counter bumped by the event loop stops moving (no change for 200 ms, 5 s at most) and
// returns its value: on a loaded machine work already asked for may still arrive for a while.
inline int waitUntilStill(const int& nCounter) {
    int nSeen = nCounter;
    for (int i = 0; i < 25; ++i) {
        QTest::qWait(200);
        if (nCounter == nSeen) break;
        nSeen = nCounter;
    }
    return nSeen;
}
