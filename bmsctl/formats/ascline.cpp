#include "ascline.h"

#include "formats/channelnumber.h"
#include "formats/decimaltime.h"
#include "formats/echoedtext.h"

#include <QDateTime>
#include <QLocale>

namespace {

constexpr int SecondDigits = 6;
constexpr int MaxDataBytes = 8;
constexpr quint32 MaxStandardId = 0x7FF;
constexpr quint32 MaxExtendedId = 0x1FFFFFFF;
constexpr qint64 MicrosPerMs = 1000;
const char *const Months[]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

TextLogReader::Line skip(QString *reason, const QString &text)
{
    *reason = text;
    return TextLogReader::Line::Skipped;
}

QString echoed(const QByteArray &field)
{
    return EchoedText::of(QString::fromUtf8(field));
}

// "Tue Nov 14 10:13:20.123 PM 2023" (also without milliseconds, or on a 24-hour clock without
// AM/PM) as microseconds since the epoch, read as local time; false when it is no such date.
bool parseDate(const QList<QByteArray> &fields, qint64 *startUs)
{
    if (fields.size() != 5 && fields.size() != 6)
        return false;
    int month = 0;
    while (month < 12 && fields.at(1).compare(Months[month], Qt::CaseInsensitive) != 0)
        ++month;
    const QList<QByteArray> clock = fields.at(3).split(':');
    if (month == 12 || clock.size() != 3)
        return false;
    qint64 secondUs = 0;
    bool ok[4] = {};
    const int day = fields.at(2).toInt(&ok[0]);
    int hour = clock.at(0).toInt(&ok[1]);
    const int minute = clock.at(1).toInt(&ok[2]);
    const int year = fields.last().toInt(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3])
        || !DecimalTime::toMicros(clock.at(2), SecondDigits, &secondUs))
        return false;
    if (fields.size() == 6) {
        const QByteArray half = fields.at(4).toUpper();
        if (half != "AM" && half != "PM")
            return false;
        hour = hour % 12 + (half == "PM" ? 12 : 0);
    }
    const QDateTime date(QDate(year, month + 1, day),
        QTime(hour, minute, int(secondUs / 1000000), int(secondUs % 1000000 / MicrosPerMs)));
    if (!date.isValid())
        return false;
    *startUs = date.toMSecsSinceEpoch() * MicrosPerMs + secondUs % MicrosPerMs;
    return true;
}

QByteArray dateText(qint64 startUs)
{
    return QLocale::c()
        .toString(QDateTime::fromMSecsSinceEpoch(startUs / MicrosPerMs),
            QStringLiteral("ddd MMM dd hh:mm:ss.zzz AP yyyy"))
        .toLatin1();
}

} // namespace

void AscLine::reset()
{
    m_base = 16;
    m_relative = false;
    m_startUs = 0;
    m_lastUs = 0;
}

qint64 AscLine::startFor(qint64 firstUs)
{
    return firstUs - firstUs % MicrosPerMs;
}

bool AscLine::readTime(const QByteArray &field, qint64 *timeUs) const
{
    qint64 stampUs = 0;
    if (!DecimalTime::toMicros(field, SecondDigits, &stampUs, true))
        return false;
    // A time stamp before the start is kept as long as the time stays at or after the epoch.
    return DecimalTime::offsetFrom(m_relative ? m_lastUs : m_startUs, stampUs, timeUs);
}

TextLogReader::Line AscLine::parse(const QByteArray &line, LoggedFrame *frame, QString *reason)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    const QByteArray &first = fields.first();
    if (first.isEmpty() || first.startsWith("//"))
        return TextLogReader::Line::NoFrame;
    if (first == "date") {
        parseDate(fields.mid(1), &m_startUs);
        m_lastUs = m_startUs;
        return TextLogReader::Line::NoFrame;
    }
    if (first == "base") {
        // base hex|dec  timestamps absolute|relative
        if (fields.size() >= 2)
            m_base = fields.at(1) == "dec" ? 10 : 16;
        if (fields.size() >= 4)
            m_relative = fields.at(3) == "relative";
        return TextLogReader::Line::NoFrame;
    }
    if (first == "Begin" && fields.value(1).compare("Triggerblock", Qt::CaseInsensitive) == 0) {
        parseDate(fields.mid(2), &m_startUs);
        m_lastUs = m_startUs;
        return TextLogReader::Line::NoFrame;
    }
    if (first == "End" || first == "internal" || first == "no")
        return TextLogReader::Line::NoFrame;
    qint64 timeUs = 0;
    if (!readTime(first, &timeUs))
        return skip(reason,
            QStringLiteral("neither a header line nor an event after a time "
                           "stamp: %1")
                .arg(echoed(fields.join(' '))));
    m_lastUs = timeUs;
    frame->timeUs = timeUs;
    return parseEvent(fields, frame, reason);
}

TextLogReader::Line AscLine::parseEvent(
    const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason)
{
    if (fields.value(1) == "CANFD")
        return skip(reason, QStringLiteral("a CAN FD frame, which this bus does not carry"));
    bool ok = false;
    const int channel = fields.value(1).toInt(&ok);
    if (!ok)
        return TextLogReader::Line::NoFrame; // an event of no channel
    if (fields.value(2) == "ErrorFrame")
        return skip(reason, QStringLiteral("an error frame"));
    const QByteArray direction = fields.value(3);
    if (fields.size() < 5 || (direction != "Rx" && direction != "Tx"))
        return TextLogReader::Line::NoFrame; // a channel's status, statistics, TxRq
    if (fields.at(4) == "r")
        return skip(reason, QStringLiteral("a remote frame, which this bus does not carry"));
    if (fields.at(4) != "d")
        return skip(reason,
            QStringLiteral("a frame neither data (d) nor remote (r): %1")
                .arg(echoed(fields.at(4))));

    QByteArray idText = fields.at(2);
    const bool extended = idText.endsWith('x') || idText.endsWith('X');
    if (extended)
        idText.chop(1);
    const quint32 id = idText.toUInt(&ok, m_base);
    if (!ok || id > (extended ? MaxExtendedId : MaxStandardId))
        return skip(reason,
            QStringLiteral("the identifier is not a %1-bit one in %2: %3")
                .arg(extended ? 29 : 11)
                .arg(m_base == 16 ? QStringLiteral("hex") : QStringLiteral("decimal"),
                    echoed(fields.at(2))));
    const int dlc = fields.value(5).toInt(&ok, 16);
    if (!ok || dlc < 0 || dlc > MaxDataBytes)
        return skip(reason,
            QStringLiteral("the data length is not 0 to 8: %1").arg(echoed(fields.value(5))));
    if (fields.size() < 6 + dlc)
        return skip(reason,
            QStringLiteral("%1 data bytes announced, %2 given").arg(dlc).arg(fields.size() - 6));
    QByteArray data(dlc, '\0');
    for (int i = 0; i < dlc; ++i) {
        const uint byte = fields.at(6 + i).toUInt(&ok, m_base);
        if (!ok || byte > 0xFF)
            return skip(reason,
                QStringLiteral("data byte %1 is not a byte: %2")
                    .arg(i + 1)
                    .arg(echoed(fields.at(6 + i))));
        data[i] = char(byte);
    }
    if (channel < 1 || channel > ChannelNumber::MaxChannel)
        return skip(reason,
            QStringLiteral("the channel is not 1 to %1: %2")
                .arg(ChannelNumber::MaxChannel)
                .arg(channel));
    frame->interfaceName = ChannelNumber::interfaceName(channel);
    frame->id = id;
    frame->extended = extended;
    frame->data = data;
    return TextLogReader::Line::Frame;
}

QByteArray AscLine::header(qint64 startUs)
{
    const QByteArray date = dateText(startUs);
    return "date " + date + "\nbase hex  timestamps absolute\ninternal events logged\n"
        + "Begin Triggerblock " + date + "\n   0.000000 Start of measurement\n";
}

QByteArray AscLine::format(const LoggedFrame &frame, qint64 startUs)
{
    QByteArray id = QByteArray::number(frame.id, 16).toUpper();
    if (frame.extended)
        id += 'x';
    QByteArray line
        = DecimalTime::fromMicros(frame.timeUs - startUs, SecondDigits).rightJustified(11, ' ');
    line += ' ';
    line += QByteArray::number(ChannelNumber::of(frame.interfaceName));
    line += "  ";
    line += id.leftJustified(15, ' ');
    line += " Rx   d ";
    line += QByteArray::number(frame.data.size());
    for (char byte : frame.data) {
        line += ' ';
        line += QByteArray(1, byte).toHex().toUpper();
    }
    return line;
}

QByteArray AscLine::footer()
{
    return "End TriggerBlock\n";
}
