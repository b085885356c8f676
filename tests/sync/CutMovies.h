#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// Test movies with cuts where wanted, made once per build tree by tools/make-cut-movie (its options).
inline QString cutMovie(const QString& strName, const QStringList& options) {
    const QString strDir = QStringLiteral(TAVORIN_BINARY_DIR "/test-media/cuts");
    QDir().mkpath(strDir);
    const QString strPath = strDir + QLatin1Char('/') + strName;
    if (!QFileInfo::exists(strPath)) {
        // Made under a name of this process and renamed once complete: tests may run in parallel.
        const QString strPart =
            strDir + QStringLiteral("/%1-").arg(QCoreApplication::applicationPid()) + strName;
        QProcess tool;
        tool.start(QStringLiteral(TAVORIN_SOURCE_DIR "/tools/make-cut-movie"),
                   options + QStringList{strPart});
        if (!tool.waitForFinished(300000) || tool.exitCode() != 0)
            ADD_FAILURE() << "make-cut-movie failed: " << tool.readAllStandardError().toStdString();
        else if (!QFile::rename(strPart, strPath) && !QFileInfo::exists(strPath))
            ADD_FAILURE() << "cannot rename " << strPart.toStdString();
        QFile::remove(strPart);
    }
    return strPath;
}
