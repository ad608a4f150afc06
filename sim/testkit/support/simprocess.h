#pragma once

#include "support/readyprocess.h"
#include "support/testport.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

// Runs bms-sim as a separate process on a virtual CAN bus of the test's own, and points the
// program's CAN adapter at the same bus through canbus.ini beside the test executable. Each
// simulator gets a port chosen at run time (TestPort), so that ctest -j and several runs on one
// machine keep to their own buses.
//
//   SimProcess sim;
//   QVERIFY(sim.start({ "--packs", "1,2" }));   // before CanService::instance()
//   QVERIFY(sim.start({ "--packs", "1", "--uart" }));  // then sim.uartPath() is the port
//   QVERIFY(sim.start({ "--packs", "1", "--slcan" })); // the bank behind sim.slcanPath()
class SimProcess
{
public:
    SimProcess()
        : m_interface(QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick()))
    { }

    QString interfaceName() const { return m_interface; }

    // Writes canbus.ini and starts the simulator; true once it has joined the bus.
    bool start(const QStringList &arguments)
    {
        QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        ini.write("plugin=virtualcan\ninterface=" + m_interface.toUtf8() + "\n");
        ini.close();

        return m_process.start(QStringLiteral(BMS_SIM_PATH),
            QStringList { QStringLiteral("--interface"), m_interface } + arguments,
            "bms-sim: playing batteries");
    }

    void stop() { m_process.stop(); }
    QByteArray output() { return m_process.output(); }

    // The pseudo-terminal of the serial boot loader (--uart), as the simulator printed it;
    // empty without --uart.
    QString uartPath() { return printedPath("bms-sim: uart boot loader on "); }
    // The pseudo-terminal of the serial-line CAN adapter (--slcan); empty without --slcan.
    QString slcanPath() { return printedPath("bms-sim: slcan adapter on "); }

private:
    QString printedPath(const QByteArray &marker)
    {
        const QByteArray all = output();
        const int at = all.indexOf(marker);
        if (at < 0)
            return QString();
        const int start = at + marker.size();
        const int end = all.indexOf('\n', start);
        return QString::fromLocal8Bit(all.mid(start, end < 0 ? -1 : end - start)).trimmed();
    }

    QString m_interface;
    ReadyProcess m_process;
};
