#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <ostream>

// Failures show texts as text.
inline void PrintTo(const QString& str, std::ostream* pOut) {
    *pOut << '"' << str.toStdString() << '"';
}

// A program run to its end, with what it said.
struct SRun {
    int nExit = -1; // -1 when it crashed, could not start or did not finish
    QByteArray out, err;
};

inline SRun run(const QString& strProgram, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                int nTimeoutMs = 120000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(strProgram, args);
    SRun r;
    if (!p.waitForFinished(nTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = p.readAllStandardError();
        return r;
    }
    r.nExit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The environment of a machine without any display server, and with no platform forced on Qt.
inline QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}
