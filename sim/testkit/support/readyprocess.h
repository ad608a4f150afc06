#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QtTest>

// A helper program a test runs beside itself (the simulator, a broker): started, waited for
// until its output says it is ready, and stopped (killed if need be) when the object goes. Its
// standard output and error are read together and kept, across restarts unless cleared.
class ReadyProcess
{
public:
    ~ReadyProcess() { stop(); }

    // True once the program has printed readyText within 10 s and still runs.
    bool start(const QString &program, const QStringList &arguments, const QByteArray &readyText)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
        if (!m_process.waitForStarted(5000))
            return false;
        return QTest::qWaitFor(
                   [&] {
                       return output().contains(readyText)
                           || m_process.state() == QProcess::NotRunning;
                   },
                   10000)
            && m_process.state() == QProcess::Running;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }

    // Everything the program printed so far.
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }
    void clearOutput() { m_output.clear(); }

private:
    QProcess m_process;
    QByteArray m_output;
};
