#include "simbootloader.h"

#include "simoptions.h"

#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

namespace {

using Frame = CanBootFrame;

} // namespace

SimBootLoader::SimBootLoader(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{ }

bool SimBootLoader::isUpgradeFrame(quint32 id, bool extended)
{
    return extended && Frame::isHostFrame(id);
}

QString SimBootLoader::stepName(Step step)
{
    switch (step) {
    case Frame::Request:
        return QStringLiteral("request");
    case Frame::Inquire:
        return QStringLiteral("inquire");
    case Frame::Erase:
        return QStringLiteral("erase");
    case Frame::Data:
        return QStringLiteral("data");
    case Frame::Finish:
        return QStringLiteral("finish");
    }
    return QString();
}

void SimBootLoader::handleFrame(quint8 devId, quint32 id, const QByteArray &data)
{
    const bool faulty = m_options.appliesTo(devId);
    if (faulty && m_options.bootSilent)
        return;
    const auto step = Step(Frame::stepOfHostFrame(id));
    // The application only listens for the request; the rest belongs to the boot loader.
    if (step != Frame::Request && !m_active)
        return;
    // Once it refused a step, the boot loader takes nothing more of this upgrade.
    if (m_refusing && step != Frame::Request) {
        if (step != Frame::Data)
            send(devId, step, Frame::Refused);
        return;
    }

    switch (step) {
    case Frame::Request: {
        if (faulty && m_requestsIgnored < m_options.bootIgnoreRequests) {
            ++m_requestsIgnored;
            return;
        }
        if (faulty && m_options.bootRefuse == stepName(Frame::Request)) {
            send(devId, Frame::Request, Frame::Refused);
            return;
        }
        // From any step: a host that was cut off and comes back starts the upgrade anew.
        m_active = true;
        m_expectedSum = 0;
        clearRecords();
        QByteArray reply = Frame::bootAnswer(m_options.bootVersion);
        if (faulty && m_options.bootCorrupt)
            reply[Frame::BootVersionSize] = char(reply.at(Frame::BootVersionSize) ^ 0x01);
        emit answer(Frame::answerId(Frame::Request, devId), reply);
        break;
    }
    case Frame::Inquire:
        m_expectedSum = Frame::chkSumOf(data);
        answerStep(devId, Frame::Inquire);
        break;
    case Frame::Erase:
        m_flash.clear();
        clearRecords();
        answerStep(devId, Frame::Erase);
        break;
    case Frame::Data: {
        if (faulty && m_options.bootRefuse == stepName(Frame::Data)) {
            m_refusing = true;
            send(devId, Frame::Data, Frame::Refused);
            break;
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
    case Frame::Finish:
        if (!finishIsGood()) {
            send(devId, Frame::Finish, Frame::Refused);
            break;
        }
        answerStep(devId, Frame::Finish);
        // A finish answered wrongly leaves the battery in its boot loader, as a real one that
        // does not trust its image.
        if (faulty && (m_options.bootCorrupt || m_options.bootRefuse == stepName(Frame::Finish)))
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
    m_refusing = false;
}

void SimBootLoader::takeLine(quint8 devId, const QByteArray &line)
{
    for (char byte : line)
        m_sum += quint32(qint32(qint8(byte)));
    SRecord record;
    if (!SRecord::parse(line, &record).isEmpty()) {
        ++m_badRecords;
        send(devId, Frame::Data, Frame::Refused);
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
    if (faulty && m_options.bootRefuse == stepName(step)) {
        m_refusing = true;
        send(devId, step, Frame::Refused);
    } else if (faulty && m_options.bootCorrupt) {
        send(devId, step, Frame::Accepted ^ 0x01);
    } else {
        send(devId, step, Frame::Accepted);
    }
}

void SimBootLoader::send(quint8 devId, Step step, quint8 first, const QByteArray &rest)
{
    emit answer(Frame::answerId(step, devId), Frame::answer(first, rest));
}
