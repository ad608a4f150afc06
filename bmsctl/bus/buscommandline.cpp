#include "buscommandline.h"

#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/idlist.h"

#include "signals/batterybank.h"

BusCommandLine::BusCommandLine(const QString &name, const QString &description)
    : m_name(name)
    , m_parser(name, description)
    , m_idsOption(QStringLiteral("ids"))
    , m_idOption(QStringLiteral("id"),
          QStringLiteral("The battery, 0 to %1.").arg(BatteryBank::MaxDeviceId),
          QStringLiteral("n"))
    , m_jsonOption(QStringLiteral("json"))
{ }

BusCommandLine::~BusCommandLine() = default;

void BusCommandLine::addIdsOption(const QString &purpose)
{
    m_idsOption = QCommandLineOption(QStringLiteral("ids"),
        QStringLiteral("%1, e.g. 1,2,5-8 (default: every one heard).").arg(purpose),
        QStringLiteral("list"));
    m_parser.addOption(m_idsOption);
    m_hasIds = true;
}

void BusCommandLine::addIdOption()
{
    m_parser.addOption(m_idOption);
}

int BusCommandLine::readId(Console &console, int *devId)
{
    QString error;
    if (!IdList::parseOne(m_parser.value(m_idOption), devId, &error))
        return m_parser.usageError(console, error);
    return -1;
}

void BusCommandLine::addJsonOption(const QString &description)
{
    m_jsonOption.setDescription(description);
    m_parser.addOption(m_jsonOption);
    m_hasJson = true;
}

int BusCommandLine::parse(const QStringList &arguments, Console &console)
{
    m_busParser.addTo(m_parser);
    const int parsed = m_parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;
    QString error;
    if (m_hasIds && m_parser.isSet(m_idsOption)
        && !IdList::parse(m_parser.value(m_idsOption), &m_ids, &error))
        return m_parser.usageError(console, error);
    return -1;
}

int BusCommandLine::readBusOptions(Console &console)
{
    QString error;
    if (!m_busParser.read(m_parser, &m_busOptions, &error))
        return m_parser.usageError(console, error);
    m_busOptionsRead = true;
    return -1;
}

int BusCommandLine::openBus(Console &console)
{
    if (!m_busOptionsRead) {
        const int status = readBusOptions(console);
        if (status >= 0)
            return status;
    }
    m_session.reset(new BusSession(m_busOptions));
    QObject::connect(m_session.get(), &BusSession::lost, m_session.get(),
        [&console](const QString &reason) { console.error(reason); });
    QString error;
    if (!m_session->open(&error)) {
        console.error(error);
        return ExitStatus::of(ExitStatus::Outcome::Failed);
    }
    return -1;
}

int BusCommandLine::parseAndOpenBus(const QStringList &arguments, Console &console)
{
    const int status = parse(arguments, console);
    return status >= 0 ? status : openBus(console);
}

bool BusCommandLine::selectBatteries(Console &console, QList<int> *present, QList<int> *absent)
{
    console.progress(QStringLiteral("%1: listening for batteries").arg(m_name));
    *present = m_session->selectBatteries(m_ids, absent);
    if (present->isEmpty() && absent->isEmpty()) {
        console.error(QStringLiteral("no battery heard on %1").arg(m_busOptions.description()));
        return false;
    }
    return true;
}
