#include "vare/ScriptJournal.h"
#include "ScriptGenerator.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {
CTimeCode tc(int f) {
    return CTimeCode::fromFrames(f);
}

// The script as a file holds it: every change that counts shows in these bytes.
QByteArray bytesOf(const CVarE& v) {
    static QTemporaryDir s_dir;
    const QString path = s_dir.filePath("s.vare");
    EXPECT_TRUE(v.store(path));
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An exact copy (copyFrom makes the role ids again): the file read back, with the one header field a
// file does not keep.
void snapshot(const CVarE& v, CVarE& out) {
    static QTemporaryDir s_dir;
    const QString path = s_dir.filePath("snap.vare");
    ASSERT_TRUE(v.store(path));
    ASSERT_TRUE(out.load(path));
    out.set(CVarE::H_FIRST_LOOP_NUMBER, v.get(CVarE::H_FIRST_LOOP_NUMBER));
    ASSERT_TRUE(out == v);
}

// The band's look-up done the slow way: the last phrase of the track starting at or before f, unless it
// closed before f or started before the last loop at or before f.
const CLine* slowLineAt(const CVarE& v, int nTrack, int f) {
    const CLine* pBest = nullptr;
    for (const CLine& l : v.getLines())
        if (l.getTrack() == nTrack && l.getStartFrame() <= f) pBest = &l;
    if (!pBest) return nullptr;
    const int nClose = pBest->getFirstClosingSign();
    if (nClose >= 0 && pBest->getSign(nClose).getFrames() < f) return nullptr;
    int nLoop = INT_MIN;
    for (const CLoop& loop : v.getLoops())
        if (loop.getFrames() <= f) nLoop = loop.getFrames();
    return pBest->getStartFrame() < nLoop ? nullptr : pBest;
}

::testing::AssertionResult lookUpsAgree(const CVarE& v, std::mt19937& rng, int nFirst, int nLast) {
    for (int k = 0; k < 40; ++k) {
        const int f = nFirst + int(rng() % unsigned(nLast - nFirst));
        for (int t = 0; t < 4; ++t) {
            const auto it = v.getLineAt(t, tc(f));
            const CLine* pFast = it == v.getLines().end() ? nullptr : &*it;
            if (pFast != slowLineAt(v, t, f))
                return ::testing::AssertionFailure() << "getLineAt(" << t << ", " << f << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

CLine phrase(int nTrack, int a, int b, const QString& text = QStringLiteral("texte"),
             const CRole* pRole = nullptr) {
    CLine l;
    l.setTrack(nTrack);
    l.insertSign(tc(a), CLipSync::IN_OPEN, true, 0);
    l.insertText(text, -1);
    if (b >= 0) l.insertSign(tc(b), CLipSync::OUT_CLOSE, true, -1);
    l.setRole(pRole);
    return l;
}

// A script with a journal attached, made of a generated script whose loops carry numbers with a gap.
class JournalTest : public ::testing::Test {
protected:
    CVarE m_v;
    CScriptJournal m_j;

    void SetUp() override {
        generateScript(m_v, 400, 3);
        m_v.setLoopNumbers(m_v.getLoops().begin(), {1, 2, 5, 6});
        m_v.addObserver(&m_j);
    }

    // Does the change in one step, checks that it changed the script, that undo gives back the script
    // before it to the byte and redo the one after.
    void undoRedo(const char* pszWhat, const std::function<void(CVarE&)>& change) {
        SCOPED_TRACE(pszWhat);
        CVarE before;
        snapshot(m_v, before);
        const QByteArray bytesBefore = bytesOf(m_v);
        m_j.beginStep(QString::fromLatin1(pszWhat));
        change(m_v);
        ASSERT_TRUE(m_j.endStep()) << "nothing recorded";
        ASSERT_EQ(m_j.getUndoLabel(), pszWhat);
        CVarE after;
        snapshot(m_v, after);
        const QByteArray bytesAfter = bytesOf(m_v);
        ASSERT_FALSE(m_v == before);

        ASSERT_TRUE(m_j.undo(m_v));
        EXPECT_EQ(bytesOf(m_v), bytesBefore);
        EXPECT_TRUE(m_v == before);
        ASSERT_TRUE(m_j.redo(m_v));
        EXPECT_EQ(bytesOf(m_v), bytesAfter);
        EXPECT_TRUE(m_v == after);
        ASSERT_TRUE(m_j.undo(m_v));
        EXPECT_TRUE(m_v == before);
    }

    CVarE::LineIterator nthLine(int n) { return std::next(m_v.getLines().begin(), n); }
};
} // namespace

TEST_F(JournalTest, EveryKindOfChangeIsUndoneAndRedone) {
    const int nLoop2 = std::next(m_v.getLoops().begin())->getFrames();
    const int nShot = m_v.getShots().begin()->getFrames();
    const QString strRole = m_v.getRoles().begin()->getName();

    undoRedo("header", [](CVarE& v) { v.set(CVarE::H_TITLE, QStringLiteral("Autre titre")); });
    m_v.setLastPosition(TC_INVALID); // view state: a new picture forgets it, and undo does not bring it back
    undoRedo("video", [](CVarE& v) { v.setVideoFile(QStringLiteral("autre.mov")); });
    undoRedo("timestamp", [](CVarE& v) { v.setTimeStamp(CTimeCode("09:59:00:00")); });
    undoRedo("rate", [](CVarE& v) {
        v.setFrameRate(30);
        v.setDropFrame(true);
    });
    undoRedo("first loop", [](CVarE& v) { v.setFirstLoopNumber(101); });
    undoRedo("shift", [](CVarE& v) { ASSERT_TRUE(v.shift(-250)); });

    undoRedo("add line", [](CVarE& v) { ASSERT_TRUE(v.addLine(phrase(2, 10, 20)).second); });
    undoRedo("erase line", [&](CVarE& v) { v.eraseLine(nthLine(7)); });
    undoRedo("typing", [&](CVarE& v) { v.insertText(nthLine(3), QStringLiteral("é"), 2); });
    undoRedo("deleting", [&](CVarE& v) { v.deleteText(nthLine(3), 1, 3); });
    undoRedo("no role", [&](CVarE& v) { v.setLineRole(nthLine(4), v.getRoles().end()); });
    undoRedo("flags", [&](CVarE& v) {
        v.updateLine(nthLine(5), [](CLine& l) {
            l.setVoiceOff(!l.isVoiceOff());
            l.setReaction(!l.isReaction());
        });
    });
    undoRedo("sign type", [&](CVarE& v) {
        v.updateLine(nthLine(6), [](CLine& l) { l.setSignType(l.getEndTimeCode(), CLipSync::MPB); });
    });
    undoRedo("move first sign", [&](CVarE& v) {
        bool bOk = false;
        v.updateLine(
            nthLine(8), [](CLine& l) { l.moveSign(l.getTimeCode(), l.getTimeCode() - 1); }, &bOk);
        ASSERT_TRUE(bOk);
    });
    undoRedo("track", [&](CVarE& v) {
        bool bOk = false;
        v.updateLine(
            nthLine(9), [](CLine& l) { l.setTrack(3 - l.getTrack()); }, &bOk);
        ASSERT_TRUE(bOk);
    });

    undoRedo("add loop", [](CVarE& v) { ASSERT_TRUE(v.addLoop(CLoop(tc(900010), 0))); });
    undoRedo("add numbered loop", [](CVarE& v) { ASSERT_TRUE(v.addLoop(CLoop(tc(900020), 40))); });
    undoRedo("delete loop", [](CVarE& v) { v.deleteLoop(v.getLoops().begin()); });
    undoRedo("move loop", [&](CVarE& v) {
        bool bOk = false;
        v.moveLoop(v.getLoopAt(tc(nLoop2)), tc(nLoop2 + 3), &bOk);
        ASSERT_TRUE(bOk);
    });
    undoRedo("renumber", [](CVarE& v) { v.renumberLoops(std::next(v.getLoops().begin()), 7); });

    undoRedo("add shot", [](CVarE& v) { ASSERT_TRUE(v.addShot(tc(12))); });
    undoRedo("delete shot", [&](CVarE& v) { v.deleteShot(v.getShotAt(tc(nShot))); });
    int nFree = nShot + 600; // past the next ones
    while (m_v.getShotAt(tc(nFree)) != m_v.getShots().end())
        ++nFree;
    undoRedo("move shot", [&](CVarE& v) {
        bool bOk = false;
        v.moveShot(v.getShotAt(tc(nShot)), tc(nFree), &bOk);
        ASSERT_TRUE(bOk);
    });

    undoRedo("add role", [](CVarE& v) { ASSERT_TRUE(v.addRole(CRole(QStringLiteral("Nouveau"))).second); });
    undoRedo("merge role", [&](CVarE& v) {
        CRole r(strRole + QStringLiteral(" bis"));
        r.setId(QStringLiteral("ignoré"));
        ASSERT_TRUE(v.mergeRole(r).second);
    });
    undoRedo("rename role", [&](CVarE& v) { ASSERT_TRUE(v.renameRole(v.findRoleByName(strRole), "Zorro")); });
    undoRedo("change role", [&](CVarE& v) {
        v.updateRole(v.findRoleByName(strRole), [](CRole& r) {
            r.setColor(0x123456);
            r.setDescription(QStringLiteral("changé"));
            r.setGender(CRole::GENDER_FEMALE);
            r.setImage(QStringLiteral("/9j/"));
        });
    });
    undoRedo("delete role", [&](CVarE& v) { v.deleteRole(v.findRoleByName(strRole)); });
}

TEST_F(JournalTest, RoleDeletionUndoneGivesEveryPhraseItsRole) {
    const auto role = m_v.getRoles().begin();
    const QString strName = role->getName();
    std::vector<SLineKey> keys;
    for (const CLine& l : m_v.getLines())
        if (l.getRolePtr() == &*role) keys.push_back(l.getKey());
    ASSERT_GE(keys.size(), 3u);

    // A phrase of the role changed before the deletion, another one after it (unassigned by then).
    m_j.beginStep("Saisie");
    m_v.insertText(m_v.findLine(keys[0]), QStringLiteral("avant "), 1);
    m_j.endStep();
    m_j.beginStep("Supprimer le rôle");
    m_v.deleteRole(role);
    m_j.endStep();
    for (const SLineKey& k : keys)
        EXPECT_FALSE(m_v.findLine(k)->hasRole());
    m_j.beginStep("Saisie");
    m_v.eraseLine(m_v.findLine(keys[1]));
    m_j.endStep();

    ASSERT_TRUE(m_j.undo(m_v));
    ASSERT_TRUE(m_j.undo(m_v));
    const auto back = m_v.findRoleByName(strName);
    ASSERT_NE(back, m_v.getRoles().end());
    for (const SLineKey& k : keys) {
        const auto it = m_v.findLine(k);
        ASSERT_NE(it, m_v.getLines().end());
        ASSERT_TRUE(it->hasRole());
        EXPECT_EQ(it->getRolePtr(), &*back);
    }
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_EQ(m_v.findLine(keys[0])->getRolePtr(), &*back);

    // Redone in full, then the role is deleted again and the phrase it had, erased after, is gone.
    ASSERT_TRUE(m_j.redo(m_v));
    ASSERT_TRUE(m_j.redo(m_v));
    ASSERT_TRUE(m_j.redo(m_v));
    EXPECT_EQ(m_v.findRoleByName(strName), m_v.getRoles().end());
    EXPECT_EQ(m_v.findLine(keys[1]), m_v.getLines().end());
    for (const CLine& l : m_v.getLines())
        if (l.hasRole()) {
            EXPECT_NE(m_v.findRoleByName(l.getRole().getName()), m_v.getRoles().end());
        }
}

TEST_F(JournalTest, RandomChangesUndoneAndRedoneCompletely) {
    std::mt19937 rng(11);
    auto pick = [&](int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); };
    const int nFirst = m_v.getLines().begin()->getStartFrame() - 50;
    const int nLast = m_v.getLines().rbegin()->getEndFrame() + 50;
    auto anyLine = [&] { return std::next(m_v.getLines().begin(), pick(m_v.getLineCount())); };
    auto anyRole = [&] { return std::next(m_v.getRoles().begin(), pick(int(m_v.getRoles().size()))); };
    auto anyLoop = [&] { return std::next(m_v.getLoops().begin(), pick(int(m_v.getLoops().size()))); };
    auto anyShot = [&] { return std::next(m_v.getShots().begin(), pick(int(m_v.getShots().size()))); };
    auto anyFrame = [&] { return nFirst + pick(nLast - nFirst); };

    const std::vector<std::function<void()>> ops = {
        [&] { m_v.addLine(phrase(pick(4), anyFrame(), -1, "neuf", pick(2) ? &*anyRole() : nullptr)); },
        [&] { m_v.eraseLine(anyLine()); },
        [&] {
            const auto it = anyLine();
            m_v.insertText(it, QStringLiteral("ab"), pick(it->getLength() + 1));
        },
        [&] {
            const auto it = anyLine();
            m_v.deleteText(it, pick(it->getLength()), 1 + pick(3));
        },
        [&] {
            m_v.updateLine(anyLine(), [&](CLine& l) {
                l.insertSign(l.getTimeCode() + (1 + pick(60)), CLipSync::MPB + pick(7), pick(2),
                             pick(l.getLength()));
            });
        },
        [&] {
            m_v.updateLine(anyLine(),
                           [&](CLine& l) { l.eraseSign(l.getSign(pick(l.getSignCount())).getTimeCode()); });
        },
        [&] {
            m_v.updateLine(anyLine(), [&](CLine& l) {
                const CTimeCode t = l.getSign(pick(l.getSignCount())).getTimeCode();
                l.moveSign(t, t + (pick(2) ? 1 : -1));
            });
        },
        [&] { m_v.updateLine(anyLine(), [&](CLine& l) { l.setTrack(pick(4)); }); },
        [&] {
            m_v.updateLine(anyLine(), [&](CLine& l) {
                l.setSignType(l.getSign(pick(l.getSignCount())).getTimeCode(), pick(CLipSync::TYPE_COUNT));
            });
        },
        [&] { m_v.updateLine(anyLine(), [&](CLine& l) { l.setVoiceOff(!l.isVoiceOff()); }); },
        [&] { m_v.setLineRole(anyLine(), pick(3) ? anyRole() : m_v.getRoles().end()); },
        [&] { m_v.addLoop(CLoop(tc(anyFrame()), pick(3) ? 0 : 1 + pick(50))); },
        [&] {
            if (!m_v.getLoops().empty()) m_v.deleteLoop(anyLoop());
        },
        [&] {
            if (!m_v.getLoops().empty()) m_v.moveLoop(anyLoop(), anyLoop()->getTimeCode() + (pick(41) - 20));
        },
        [&] { m_v.setFirstLoopNumber(pick(20)); },
        [&] { m_v.addShot(tc(anyFrame())); },
        [&] {
            if (!m_v.getShots().empty()) m_v.deleteShot(anyShot());
        },
        [&] {
            if (!m_v.getShots().empty()) m_v.moveShot(anyShot(), tc(anyFrame()));
        },
        [&] { m_v.addRole(CRole(QStringLiteral("Rôle %1").arg(pick(30)))); },
        [&] {
            if (!m_v.getRoles().empty()) m_v.deleteRole(anyRole());
        },
        [&] {
            if (!m_v.getRoles().empty()) m_v.renameRole(anyRole(), QStringLiteral("Nom %1").arg(pick(30)));
        },
        [&] {
            if (!m_v.getRoles().empty())
                m_v.updateRole(anyRole(), [&](CRole& r) {
                    r.setColor(rng() & 0xFFFFFF);
                    r.setId(pick(2) ? QString() : QStringLiteral("id%1").arg(pick(5)));
                });
        },
        [&] { m_v.mergeRole(CRole(QStringLiteral("Importé %1").arg(pick(5)))); },
        [&] {
            m_v.set(CVarE::EHeader(pick(CVarE::H_FIRST_LOOP_NUMBER)), QStringLiteral("v%1").arg(pick(9)));
        },
        [&] { m_v.setTimeStamp(tc(pick(1000))); },
        [&] { m_v.setFrameRate(24 + pick(7)); },
        [&] { m_v.shift(pick(201) - 100); },
    };

    CVarE original;
    snapshot(m_v, original);
    const QByteArray bytesOriginal = bytesOf(m_v);
    m_j.setDepth(10000);
    int nSteps = 0;
    for (int i = 0; i < 400; ++i) {
        m_j.beginStep(QStringLiteral("pas %1").arg(i));
        for (int k = 1 + pick(3); k > 0; --k)
            ops[size_t(pick(int(ops.size())))]();
        nSteps += m_j.endStep();
        if (i % 20 == 0) {
            ASSERT_TRUE(lookUpsAgree(m_v, rng, nFirst, nLast)) << "after step " << i;
        }
    }
    ASSERT_GT(nSteps, 300);
    ASSERT_EQ(m_j.getUndoCount(), nSteps);
    ASSERT_TRUE(lookUpsAgree(m_v, rng, nFirst, nLast));
    CVarE final;
    snapshot(m_v, final);
    const QByteArray bytesFinal = bytesOf(m_v);

    for (int i = 0; i < nSteps; ++i)
        ASSERT_TRUE(m_j.undo(m_v)) << "undo " << i;
    EXPECT_FALSE(m_j.canUndo());
    EXPECT_TRUE(m_v == original);
    EXPECT_EQ(bytesOf(m_v), bytesOriginal);
    EXPECT_TRUE(lookUpsAgree(m_v, rng, nFirst, nLast));

    for (int i = 0; i < nSteps; ++i)
        ASSERT_TRUE(m_j.redo(m_v)) << "redo " << i;
    EXPECT_TRUE(m_v == final);
    EXPECT_EQ(bytesOf(m_v), bytesFinal);
    EXPECT_TRUE(lookUpsAgree(m_v, rng, nFirst, nLast));
}

TEST_F(JournalTest, ShiftsInOneStepAddUpAndAShiftBackLeavesNothing) {
    // A live shift: many shifts while a dialog is open, one step with their sum.
    undoRedo("shifts", [](CVarE& v) {
        ASSERT_TRUE(v.shift(25));
        ASSERT_TRUE(v.shift(-50));
        ASSERT_TRUE(v.shift(-1));
    });
    CVarE before;
    snapshot(m_v, before);
    m_j.beginStep(QStringLiteral("aller-retour"));
    ASSERT_TRUE(m_v.shift(-25));
    ASSERT_TRUE(m_v.shift(40));
    ASSERT_TRUE(m_v.shift(-15));
    EXPECT_FALSE(m_j.endStep());
    EXPECT_TRUE(m_v == before);
}

TEST_F(JournalTest, DepthLimitDropsTheOldestSteps) {
    m_j.setDepth(3);
    CVarE afterTwo;
    for (int i = 0; i < 5; ++i) {
        m_j.beginStep(QStringLiteral("pas %1").arg(i));
        m_v.set(CVarE::H_TITLE, QStringLiteral("titre %1").arg(i));
        m_j.endStep();
        if (i == 1) snapshot(m_v, afterTwo);
    }
    EXPECT_EQ(m_j.getUndoCount(), 3);
    EXPECT_TRUE(m_j.undo(m_v));
    EXPECT_TRUE(m_j.undo(m_v));
    EXPECT_TRUE(m_j.undo(m_v));
    EXPECT_FALSE(m_j.undo(m_v));
    EXPECT_TRUE(m_v == afterTwo);
    EXPECT_EQ(m_j.getRedoCount(), 3);
    EXPECT_EQ(m_j.getRedoLabel(), "pas 2");
}

TEST_F(JournalTest, TypingInOneSessionIsOneStep) {
    CVarE before;
    snapshot(m_v, before);
    const SLineKey key = nthLine(2)->getKey();
    const QString strText = nthLine(2)->getText();
    for (int i = 0; i < 5; ++i) {
        m_j.beginStep("Saisie", 1);
        m_v.insertText(m_v.findLine(key), QStringLiteral("x"), 1);
        EXPECT_TRUE(m_j.endStep());
    }
    EXPECT_EQ(m_j.getUndoCount(), 1);
    // Another session, then one more key of a session with the first session's id: new steps.
    m_j.beginStep("Saisie", 2);
    m_v.insertText(m_v.findLine(key), QStringLiteral("y"), 1);
    m_j.endStep();
    m_j.beginStep("Saisie", 1);
    m_v.insertText(m_v.findLine(key), QStringLiteral("z"), 1);
    m_j.endStep();
    EXPECT_EQ(m_j.getUndoCount(), 3);
    EXPECT_EQ(m_v.findLine(key)->getText(), "zyxxxxx" + strText);

    ASSERT_TRUE(m_j.undo(m_v));
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_EQ(m_v.findLine(key)->getText(), "xxxxx" + strText);
    // After an undo, a key of the same session starts a step of its own.
    m_j.beginStep("Saisie", 1);
    m_v.insertText(m_v.findLine(key), QStringLiteral("w"), 1);
    m_j.endStep();
    EXPECT_EQ(m_j.getUndoCount(), 2);
    EXPECT_EQ(m_j.getRedoCount(), 0);
    ASSERT_TRUE(m_j.undo(m_v));
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_TRUE(m_v == before);

    // Nested brackets make one step; an empty step is none.
    m_j.beginStep("Dehors");
    m_j.beginStep("Dedans");
    m_v.set(CVarE::H_TITLE, "a");
    EXPECT_FALSE(m_j.endStep());
    m_v.set(CVarE::H_TITLE2, "b");
    EXPECT_TRUE(m_j.endStep());
    EXPECT_EQ(m_j.getUndoLabel(), "Dehors");
    m_j.beginStep("Rien");
    EXPECT_FALSE(m_j.endStep());
    EXPECT_EQ(m_j.getUndoLabel(), "Dehors");
}

TEST_F(JournalTest, CleanMarkFollowsUndoAndRedo) {
    m_j.markClean();
    EXPECT_TRUE(m_j.isClean());
    auto step = [&](const char* psz) {
        m_j.beginStep(psz, 5);
        m_v.set(CVarE::H_TITLE, psz);
        m_j.endStep();
    };
    step("a");
    EXPECT_FALSE(m_j.isClean());
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_TRUE(m_j.isClean());
    ASSERT_TRUE(m_j.redo(m_v));
    EXPECT_FALSE(m_j.isClean());

    // After a redo, typing on starts a step of its own; saved in the middle of the session, the keys
    // after the save make a step of their own too, so that undoing comes back to the saved script.
    step("a2");
    EXPECT_EQ(m_j.getUndoCount(), 2);
    m_j.markClean();
    step("b");
    EXPECT_EQ(m_j.getUndoCount(), 3);
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_TRUE(m_j.isClean());
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_FALSE(m_j.isClean());
    // A new step where the saved state was undone: that state can never come back.
    step("c");
    EXPECT_FALSE(m_j.isClean());
    ASSERT_TRUE(m_j.undo(m_v));
    EXPECT_FALSE(m_j.isClean());

    // The clean step dropped by the depth limit is out of reach too.
    m_j.clear();
    m_j.markClean();
    m_j.setDepth(2);
    step("d");
    m_j.beginStep("e");
    m_v.set(CVarE::H_TITLE, "e");
    m_j.endStep();
    m_j.beginStep("f");
    m_v.set(CVarE::H_TITLE, "f");
    m_j.endStep();
    while (m_j.undo(m_v))
        EXPECT_FALSE(m_j.isClean());
}

TEST_F(JournalTest, ChangesBehindItsBackDropTheHistory) {
    m_j.beginStep("a");
    m_v.set(CVarE::H_TITLE, "a");
    m_j.endStep();
    m_j.markClean();
    m_v.addShot(tc(5)); // outside any step
    EXPECT_FALSE(m_j.canUndo());
    EXPECT_FALSE(m_j.isClean());

    m_j.beginStep("b");
    m_v.set(CVarE::H_TITLE, "b");
    m_j.endStep();
    m_v.clear();
    EXPECT_FALSE(m_j.canUndo());
    // View state is no change.
    m_j.beginStep("c");
    m_v.set(CVarE::H_TITLE, "c");
    m_j.endStep();
    m_v.setLastPosition(tc(100));
    m_v.setLastTrack(2);
    EXPECT_TRUE(m_j.canUndo());
    // A journal asked to undo what the script no longer holds says so and forgets.
    m_v.removeObserver(&m_j);
    m_v.set(CVarE::H_TITLE, "d");
    m_v.addLine(phrase(0, 10, 20));
    m_v.addObserver(&m_j);
    m_j.beginStep("e");
    m_v.eraseLine(m_v.findLine({10, 0}));
    m_j.endStep();
    m_v.removeObserver(&m_j);
    m_v.addLine(phrase(0, 10, 20));
    m_v.addObserver(&m_j);
    EXPECT_FALSE(m_j.undo(m_v));
    EXPECT_FALSE(m_j.canUndo());
}

namespace {
// Writes down what it is told, and checks that removals come while the item is in its set and
// additions once it is.
struct CRecorder : IScriptObserver {
    std::vector<std::string> seen;
    void lineAdded(const CVarE& v, CVarE::LineIterator it) override {
        EXPECT_EQ(v.findLine(it->getKey()), it);
        seen.push_back("line+");
    }
    void lineErasing(const CVarE& v, CVarE::LineIterator it) override {
        EXPECT_EQ(v.findLine(it->getKey()), it);
        seen.push_back("line-");
    }
    void lineReplaced(const CVarE& v, const CLine& before, CVarE::LineIterator it) override {
        EXPECT_EQ(v.findLine(it->getKey()), it);
        EXPECT_FALSE(before.isIdentical(*it));
        seen.push_back("line~");
    }
    void loopAdded(const CVarE& v, CVarE::LoopIterator it) override {
        EXPECT_EQ(v.getLoopAt(it->getTimeCode()), it);
        seen.push_back("loop+");
    }
    void loopErasing(const CVarE& v, CVarE::LoopIterator it) override {
        EXPECT_EQ(v.getLoopAt(it->getTimeCode()), it);
        seen.push_back("loop-");
    }
    void loopsRenumbered(const CVarE&, CVarE::LoopIterator, const std::vector<int>&) override {
        seen.push_back("loop#");
    }
    void roleErasing(const CVarE& v, CVarE::RoleIterator it,
                     const std::vector<CVarE::LineIterator>& lines) override {
        EXPECT_EQ(v.findRoleByName(it->getName()), it);
        for (const auto& l : lines)
            EXPECT_EQ(l->getRolePtr(), &*it);
        seen.push_back("role-");
    }
    void roleAdded(const CVarE&, CVarE::RoleIterator) override { seen.push_back("role+"); }
};
} // namespace

TEST_F(JournalTest, ObserversAreToldInOrderAndSeeUndo) {
    CRecorder rec;
    m_v.addObserver(&rec);
    m_j.beginStep("x");
    const auto it = m_v.addLine(phrase(1, 20, 30)).first;
    const CLine* pNode = &*it;
    const auto moved = m_v.updateLine(it, [](CLine& l) { l.setTrack(2); });
    EXPECT_EQ(&*moved, pNode) << "a changed phrase keeps its node";
    m_v.updateLine(moved, [](CLine& l) { l.setTrack(2); }); // no change: nobody told
    m_v.eraseLine(moved);
    m_v.addLoop(CLoop(tc(5), 0));
    m_v.deleteRole(m_v.getRoles().begin());
    m_j.endStep();
    EXPECT_EQ(rec.seen, (std::vector<std::string>{"line+", "line~", "line-", "loop+", "loop#", "role-"}));
    rec.seen.clear();
    ASSERT_TRUE(m_j.undo(m_v));
    ASSERT_GE(rec.seen.size(), 6u);
    EXPECT_EQ(rec.seen.front(), "role+");
    EXPECT_EQ(rec.seen.back(), "line-");
    m_v.removeObserver(&rec);
}

TEST(ScriptJournalCollapse, APhraseAddedAndTakenAwayInOneStepLeavesNoStep) {
    CVarE v;
    CScriptJournal j;
    v.addObserver(&j);
    const auto role = v.addRole(CRole(QStringLiteral("Yann"))).first;
    j.clear();
    CLine line;
    line.setTrack(1);
    line.insertSign(tc(100), CLipSync::IN_OPEN, true);
    // Added, a role made meanwhile, then the phrase taken away: only the role remains to undo.
    j.beginStep(QStringLiteral("Nouvelle phrase"));
    auto it = v.addLine(line).first;
    v.addRole(CRole(QStringLiteral("Lucie")));
    v.eraseLine(it);
    ASSERT_TRUE(j.endStep());
    ASSERT_TRUE(j.undo(v));
    EXPECT_EQ(v.getRoles().size(), 1u);
    EXPECT_FALSE(j.canUndo());
    // Alone, nothing is left at all.
    j.beginStep(QStringLiteral("Nouvelle phrase"));
    v.eraseLine(v.addLine(line).first);
    EXPECT_FALSE(j.endStep());
    // A phrase changed in between is not the one added: both changes stay and undo in order.
    j.beginStep(QStringLiteral("Nouvelle phrase"));
    it = v.addLine(line).first;
    it = v.setLineRole(it, role);
    v.eraseLine(it);
    ASSERT_TRUE(j.endStep());
    ASSERT_TRUE(j.undo(v));
    EXPECT_TRUE(v.getLines().empty());
    ASSERT_TRUE(j.redo(v));
    EXPECT_TRUE(v.getLines().empty());
    v.removeObserver(&j);
}
