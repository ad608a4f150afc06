#pragma once

#include "bus/busoptions.h"
#include "cli/commandparser.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <memory>

class BusSession;
class Console;

// What every command on the bus has in common, from its command line to the batteries it works
// on: the bus options (BusOptions) below the command's own, --ids and --json where the command
// offers them, the usage errors for them, the bus session with its error, and the batteries
// heard. The steps keep the order in which a command checks its command line before it does
// anything, so that a wrong command line ends in status 2 whatever else is wrong:
//
//   BusCommandLine line(name(), description);
//   line.addIdsOption(QStringLiteral("Batteries to check"));   // optional
//   line.parser().addOption(...);                              // the command's own options
//   line.addJsonOption();                                      // optional
//   if (const int status = line.parse(arguments, console); status >= 0)
//       return status;                                         // help (0) or a usage error (2)
//   ... the command's own checks, with line.parser().usageError() ...
//   if (const int status = line.openBus(console); status >= 0)
//       return status;                    // a bad bus option (2), or the bus did not open (1)
//   line.session() ...
//
// A command that reads files before it goes on the bus calls readBusOptions() before them, so
// that a bad bus option is still a usage error found before any work.
//
// The statuses follow CommandParser::parse(): -1 means go on.
class BusCommandLine
{
public:
    BusCommandLine(const QString &name, const QString &description);
    ~BusCommandLine();

    CommandParser &parser() { return m_parser; }

    // --ids LIST: "<purpose>, e.g. 1,2,5-8 (default: every one heard)."
    void addIdsOption(const QString &purpose);
    // --id N: the one battery the command works on, 0 to BatteryBank::MaxDeviceId.
    void addIdOption();
    bool idSet() const { return m_parser.isSet(m_idOption); }
    // The battery --id names, into *devId: -1 to go on, or the usage error's status.
    int readId(Console &console, int *devId);
    // --json.
    void addJsonOption(const QString &description = QStringLiteral("Print JSON."));

    // Adds the bus options and parses; reads --ids.
    int parse(const QStringList &arguments, Console &console);
    // The batteries --ids names, in its order; empty without --ids.
    const QList<int> &ids() const { return m_ids; }
    bool json() const { return m_hasJson && m_parser.isSet(m_jsonOption); }

    int readBusOptions(Console &console);
    const BusOptions &busOptions() const { return m_busOptions; }

    // Reads the bus options unless readBusOptions() has, and opens the bus.
    int openBus(Console &console);
    // parse() and openBus(), for a command with nothing of its own to check.
    int parseAndOpenBus(const QStringList &arguments, Console &console);
    // The session openBus() opened; it closes the bus when the command line goes.
    BusSession &session() { return *m_session; }

    // The batteries to work on (BusSession::selectBatteries() with --ids), with a progress line
    // "<command>: listening for batteries". False, with "no battery heard on <bus>" printed,
    // when not one was heard and none asked for is missing either.
    bool selectBatteries(Console &console, QList<int> *present, QList<int> *absent);

private:
    QString m_name;
    CommandParser m_parser;
    BusOptions::Parser m_busParser;
    QCommandLineOption m_idsOption;
    QCommandLineOption m_idOption;
    QCommandLineOption m_jsonOption;
    bool m_hasIds = false;
    bool m_hasJson = false;
    bool m_busOptionsRead = false;
    QList<int> m_ids;
    BusOptions m_busOptions;
    std::unique_ptr<BusSession> m_session;
};
