#include "simbootloader.h"

#include "simoptions.h"

#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

#include <QtEndian>

namespace {

constexpr quint32 RequestBootId = 0x1FF00;
constexpr int FrameSize = 8;
constexpr int ChkSumOffset = 4;

QByteArray padded(QByteArray data)
{
    data.resize(FrameSize);
    return data;
}

} // namespace

SimBootLoader::SimBootLoader(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{ }

bool SimBootLoader::isUpgradeFrame(quint32 id, bool extended)
{
    if (!extended)
        return false;
    if (id == RequestBootId)
        return true;
    const quint32 step = id >> 16;
    return (id & 0xFFFFu) == 0 && step >= Inquire && step <= Finish;
}

QString SimBootLoader::stepName(Step step)
{
    switch (step) {
    case Request:
        return QStringLiteral("request");
    case Inquire:
        return QStringLiteral("inquire");
    case Erase:
        return QStringLiteral("erase");
    case Data:
        return QStringLiteral("data");
    case Finish:
        return QStringLiteral("finish");
    }
    return QString();
}

void SimBootLoader::handleFrame(quint8 devId, quint32 id, const QByteArray &data)
{
    const bool faulty = m_options.appliesTo(devId);
    if (faulty && m_options.bootSilent)
        return;
    const auto step = Step(id >> 16);
    // The application only listens for the request; the rest belongs to the boot loader.
    if (step != Request && !m_active)
        return;

    switch (step) {
    case Request: {
        if (faulty && m_requestsIgnored < m_options.bootIgnoreRequests) {
            ++m_requestsIgnored;
            return;
        }
        if (faulty && m_options.bootRefuse == stepName(Request)) {
            send(devId, Request, QByteArray(1, char(Refused)));
            return;
        }
        // From any step: a host that was cut off and comes back starts the upgrade anew.
        m_active = true;
        m_expectedSum = 0;
        clearRecords();
        QByteArray version = m_options.bootVersion.left(BootVersionSize);
        version.append(QByteArray(BootVersionSize - version.size(), '\0'));
        if (faulty && m_options.bootCorrupt)
            version[BootVersionSize - 1] = char(version.at(BootVersionSize - 1) ^ 0x01);
        send(devId, Request, char(Accepted) + version);
        break;
    }
    case Inquire:
        m_expectedSum = qFromBigEndian<quint32>(padded(data).constData() + ChkSumOffset);
        answerStep(devId, Inquire);
        break;
    case Erase:
        m_flash.clear();
        clearRecords();
        answerStep(devId, Erase);
        break;
    case Data: {
        if (faulty && m_options.bootRefuse == stepName(Data) && !m_dataRefused) {
            m_dataRefused = true;
            send(devId, Data, QByteArray(1, char(Refused)));
        }
        m_pending += data;
        int end = 0;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
            takeLine(devId, line);
        }
        break;
    }
    case Finish:
        if (!finishIsGood()) {
            send(devId, Finish, QByteArray(1, char(Refused)));
            break;
        }
        answerStep(devId, Finish);
        // A finish answered wrongly leaves the battery in its boot loader, as a real one that
        // does not trust its image.
        if (faulty && (m_options.bootCorrupt || m_options.bootRefuse == stepName(Finish)))
            break;
        m_active = false;
        emit installed(ImageVersion::ofS19(m_lines));
        break;
    }
}

void SimBootLoader::clearRecords()
{
    m_lines.clear();
    m_pending.clear();
    m_sum = 0;
    m_badRecords = 0;
    m_dataRefused = false;
}

void SimBootLoader::takeLine(quint8 devId, const QByteArray &line)
{
    for (char byte : line)
        m_sum += quint32(qint32(qint8(byte)));
    SRecord record;
    if (!SRecord::parse(line, &record).isEmpty()) {
        ++m_badRecords;
        send(devId, Data, QByteArray(1, char(Refused)));
        return;
    }
    m_lines.append(QString::fromLatin1(line));
    if (record.type >= '1' && record.type <= '3')
        m_flash.insert(record.address, record.data);
}

bool SimBootLoader::finishIsGood() const
{
    return m_badRecords == 0 && m_pending.isEmpty() && !m_lines.isEmpty() && m_sum == m_expectedSum;
}

void SimBootLoader::answerStep(quint8 devId, Step step)
{
    const bool faulty = m_options.appliesTo(devId);
    if (faulty && m_options.bootRefuse == stepName(step))
        send(devId, step, QByteArray(1, char(Refused)));
    else if (faulty && m_options.bootCorrupt)
        send(devId, step, QByteArray(1, char(Accepted ^ 0x01)));
    else
        send(devId, step, QByteArray(1, char(Accepted)));
}

void SimBootLoader::send(quint8 devId, Step step, QByteArray data)
{
    emit answer(quint32(step) << 16 | devId, padded(std::move(data)));
}
