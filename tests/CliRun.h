#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// Runs the built tavorin-cli with arguments and collects what it said.
struct SCliRun {
    int nExit = -1; // -1 when it crashed or did not finish
    QByteArray out, err;
};

// Starts a program in the process given (its environment set by the caller) and waits for it.
inline SCliRun runProcess(QProcess& p, const QString& strProgram, const QStringList& args, int nTimeoutMs) {
    p.start(strProgram, args);
    SCliRun r;
    if (!p.waitForFinished(nTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.nExit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline SCliRun runCli(const QStringList& args, int nTimeoutMs = 60000) {
    QProcess p;
    return runProcess(p, QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"), args, nTimeoutMs);
}
