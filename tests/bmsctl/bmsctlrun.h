#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QtTest>

#include <functional>

#include <signal.h>

// Runs bmsctl as a user would and keeps what it said. The test's event loop runs during the wait,
// so a bus whose server lives in the test process keeps serving.
//
//   const BmsctlRun scan = BmsctlRun::run({ "scan", "--bus", bus, "--seconds", "4" });
//   QCOMPARE(scan.exitCode, 0);
//
// A user's Ctrl-C: interrupts are sent in order, each once its condition holds (the condition
// sees what bmsctl has said on standard error so far).
struct BmsctlRun
{
    struct Interrupt
    {
        std::function<bool(const QString &err)> when;
        int signal;
    };

    int exitCode = -1;
    QString out;
    QString err;

    static BmsctlRun run(const QStringList &arguments, const QList<Interrupt> &interrupts = {},
        int timeoutMs = 60000)
    {
        BmsctlRun result;
        QProcess process;
        process.start(QStringLiteral(BMSCTL_PATH), arguments);
        if (!process.waitForStarted(5000)) {
            result.err = process.errorString();
            return result;
        }
        int sent = 0;
        const bool ended = QTest::qWaitFor(
            [&] {
                result.err += QString::fromUtf8(process.readAllStandardError());
                if (sent < interrupts.size() && interrupts.at(sent).when(result.err))
                    ::kill(pid_t(process.processId()), interrupts.at(sent++).signal);
                return process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        if (!ended) {
            process.kill();
            process.waitForFinished(3000);
            result.err += QStringLiteral("\nbmsctl did not end within %1 ms").arg(timeoutMs);
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err += QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // For QVERIFY2: what the run printed.
    QByteArray said() const
    {
        return QStringLiteral("exit %1\n--- stdout\n%2--- stderr\n%3")
            .arg(exitCode)
            .arg(out, err)
            .toUtf8();
    }
};
