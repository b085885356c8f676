#pragma once

#include "app/Prompts.h"
#include "app/TavorinApp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

// Answers every question of the program at once, "Non" where it may, so that a benchmark never waits
// on a message box; counts the questions.
class CQuietPrompts : public CPrompts {
public:
    int m_nAsked = 0;
    QMessageBox::StandardButton message(const QString&, EIcon, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton) override {
        ++m_nAsked;
        return (buttons & QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    }
};

// A program for a benchmark, in folders of its own: settings that ask nothing at start and never
// auto-save, the quiet prompts, headless; the benchmark sets what else its run needs in m_options.
class CQuietProgram {
public:
    explicit CQuietProgram(const QString& strName) {
        QDir().mkpath(m_dir.filePath("program"));
        QFile ini(m_dir.filePath("program/Tavorin.ini"));
        if (ini.open(QIODevice::WriteOnly)) ini.write("[Misc]\nFirstRun=0\n[Settings]\nEnableAutoSave=0\n");
        m_options.strProgramFolder = m_dir.filePath("program");
        m_options.strDocumentsFolder = m_dir.filePath("documents");
        m_options.strInstanceName = QStringLiteral("tavorin-bench-%1-%2").arg(strName).arg(getpid());
        m_options.bHeadless = true;
        m_options.pPrompts = &m_prompts;
    }
    QString path(const QString& strName) const { return m_dir.filePath(strName); }

    QTemporaryDir m_dir;
    CQuietPrompts m_prompts;
    SAppOptions m_options;
};
