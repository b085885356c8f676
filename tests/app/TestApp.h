#pragma once

#include "app/BookmarkList.h"
#include "app/LinkControl.h"
#include "app/MainFrame.h"
#include "app/MediaSession.h"
#include "app/Prompts.h"
#include "app/PropertySheet.h"
#include "app/TavorinApp.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "rythmo/RythmoDXEditView.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>
#include <deque>
#include <functional>
#include <memory>

// Answers the program's questions from a script of answers and records what it was told.
class CScriptedPrompts : public IPrompts {
public:
    struct SMessage {
        QString strText;
        EIcon eIcon;
    };
    std::vector<SMessage> m_messages;
    std::deque<QMessageBox::StandardButton> m_answers; // next answers; No/Cancel/Ok when empty
    std::deque<QString> m_files;                       // next file dialog answers; cancel when empty
    std::deque<CTimeCode> m_timeCodes;                 // next "Aller à" answers; cancel when empty
    std::deque<QString> m_labels;                      // next bookmark labels; cancel when empty
    std::deque<QString> m_filters; // filters chosen in the next save dialogs; by the name when empty
    QString m_strProposedLabel;
    QString m_strProposedFile;
    std::function<void(CBookmarkList&)> m_deleteBookmarks;

    QMessageBox::StandardButton message(const QString& strText, EIcon eIcon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton) override {
        m_messages.push_back({strText, eIcon});
        if (!m_answers.empty()) {
            const auto b = m_answers.front();
            m_answers.pop_front();
            return b;
        }
        if (buttons & QMessageBox::No) return QMessageBox::No;
        if (buttons & QMessageBox::Cancel) return QMessageBox::Cancel;
        return QMessageBox::Ok;
    }
    QString getOpenFileName(const QString&, const QString& strDir, const QString&) override {
        return next(strDir);
    }
    QString getSaveFileName(const QString&, const QString& strDir, const QString&, const QString&) override {
        return next(strDir);
    }
    QString getSaveFileNameAndFilter(const QString& strCaption, const QString& strDir,
                                     const QString& strFilters, const QString& strSuffix,
                                     QString& strChosen) override {
        const QString str =
            IPrompts::getSaveFileNameAndFilter(strCaption, strDir, strFilters, strSuffix, strChosen);
        if (!m_filters.empty()) {
            strChosen = m_filters.front();
            m_filters.pop_front();
        }
        return str;
    }
    CTimeCode askTimeCode(const QString&, const CTimeCode&) override {
        if (m_timeCodes.empty()) return TC_INVALID;
        const CTimeCode tc = m_timeCodes.front();
        m_timeCodes.pop_front();
        return tc;
    }
    bool askBookmarkLabel(QString& strLabel) override {
        m_strProposedLabel = strLabel;
        if (m_labels.empty()) return false;
        strLabel = m_labels.front();
        m_labels.pop_front();
        return true;
    }
    void deleteBookmarks(CBookmarkList& bookmarks) override {
        if (m_deleteBookmarks) m_deleteBookmarks(bookmarks);
    }

    bool told(const QString& strText) const {
        for (const SMessage& m : m_messages)
            if (m.strText == strText) return true;
        return false;
    }

private:
    QString next(const QString& strProposed) {
        m_strProposedFile = strProposed;
        if (m_files.empty()) return {};
        const QString str = m_files.front();
        m_files.pop_front();
        return str;
    }
};

// A started program in its own folders: INI settings beside a program folder of its own, a documents
// folder of its own, a headless player and no window on screen.
struct STestApp {
    QTemporaryDir dir;
    CScriptedPrompts prompts;
    std::unique_ptr<CTavorinApp> pApp;
    bool m_bViews = false;
    bool m_bBand = false;
    // What the program handed to the desktop to open; whether the desktop accepts it.
    std::vector<QUrl> opened;
    bool bDesktopOpens = true;
    QString strInstance = QStringLiteral("tavorin-test-") + QUuid::createUuid().toString(QUuid::Id128);

    QString programFolder() const { return dir.filePath(QStringLiteral("program")); }
    QString documentsFolder() const { return dir.filePath(QStringLiteral("documents")); }
    QString iniPath() const { return programFolder() + QStringLiteral("/Tavorin.ini"); }
    QString path(const QString& strName) const { return dir.filePath(strName); }

    // Prepares the folders; the INI file gets the given lines (FirstRun=0 unless told otherwise).
    explicit STestApp(const QString& strIni = QStringLiteral("[Misc]\nFirstRun=0\n")) {
        QDir().mkpath(programFolder());
        QDir().mkpath(documentsFolder());
        QFile f(iniPath());
        if (f.open(QIODevice::WriteOnly)) f.write(strIni.toUtf8());
    }
    ~STestApp() {
        if (pApp) pApp->ExitInstance();
    }

    SAppOptions options() {
        SAppOptions o;
        o.strProgramFolder = programFolder();
        o.strDocumentsFolder = documentsFolder();
        o.strInstanceName = strInstance;
        o.bHeadless = true;
        o.bShowWindow = false;
        o.bViews = m_bViews;
        o.bBand = m_bBand; // OpenGL only with an X server
        o.pPrompts = &prompts;
        o.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return bDesktopOpens;
        };
        return o;
    }
    bool start(const QString& strFile = {}) {
        pApp = std::make_unique<CTavorinApp>(options());
        const bool bStarted = pApp->InitInstance(strFile);
        // A later new document shows the property sheet: cancelled unless a test answers it.
        if (bStarted)
            pApp->properties().m_runSheet = [](CTavorinProperty&) { return int(QDialog::Rejected); };
        return bStarted;
    }
    CTavorinApp& app() { return *pApp; }
    // The main window shown and active with the band holding the keyboard, for the tests that press
    // keys on the band; null when the window never became active or there is no band.
    CRythmoDXEditView* showWithBand() {
        CMainFrame& f = app().mainFrame();
        f.resize(1200, 700);
        f.show();
        if (!QTest::qWaitForWindowExposed(&f)) return nullptr;
        f.activateWindow();
        if (!QTest::qWaitForWindowActive(&f)) return nullptr;
        CRythmoDXEditView* pBand = app().bandView();
        if (pBand) pBand->setFocus();
        return pBand;
    }
    CVarEDoc& doc() { return pApp->document(); }
};

// Runs the event loop until the condition holds or the time runs out.
inline bool waitUntil(const std::function<bool()>& condition, int nTimeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > nTimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline QString testMedia(const char* pszName) {
    return QStringLiteral(TAVORIN_BINARY_DIR "/test-media/") + QString::fromLatin1(pszName);
}
