#include "trcline.h"

#include "formats/channelnumber.h"
#include "formats/decimaltime.h"
#include "formats/echoedtext.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {

constexpr int MillisecondDigits = 3;
constexpr int MaxDataBytes = 8;
constexpr int ExtendedIdDigits = 8;
constexpr quint32 MaxStandardId = 0x7FF;
constexpr quint32 MaxExtendedId = 0x1FFFFFFF;
constexpr qint64 MicrosPerMs = 1000;
constexpr qint64 MsPerDay = 86400000;
// Days since this local midnight are the start time's unit.
const QDate DayZero(1899, 12, 30);
const QByteArray Columns21 = "N,O,T,B,I,d,R,L,D";
const QByteArray Columns20 = "N,O,T,I,d,l,D";

TextLogReader::Line skip(QString *reason, const QString &text)
{
    *reason = text;
    return TextLogReader::Line::Skipped;
}

QString echoed(const QByteArray &field)
{
    return EchoedText::of(QString::fromUtf8(field));
}

} // namespace

void TrcLine::reset()
{
    m_version = 11;
    m_startUs = 0;
    m_columns.clear();
}

qint64 TrcLine::startFor(qint64 firstUs)
{
    return firstUs - firstUs % MicrosPerMs;
}

void TrcLine::setColumns(const QByteArray &letters)
{
    m_columns.clear();
    const QList<QByteArray> names = letters.split(',');
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).size() == 1)
            m_columns.insert(names.at(i).at(0), i);
    }
}

void TrcLine::readSetting(const QByteArray &line)
{
    const int equals = line.indexOf('=');
    if (!line.startsWith(";$") || equals < 0)
        return;
    const QByteArray key = line.mid(2, equals - 2).trimmed();
    const QByteArray value = line.mid(equals + 1).trimmed();
    if (key == "FILEVERSION") {
        const QList<QByteArray> parts = value.split('.');
        m_version = parts.value(0).toInt() * 10 + parts.value(1).toInt();
        if (m_version >= 20 && m_columns.isEmpty())
            setColumns(m_version == 20 ? Columns20 : Columns21);
    } else if (key == "STARTTIME") {
        bool ok = false;
        const double days = value.toDouble(&ok);
        if (!ok || !(days >= 0 && days < 2958466)) // up to the year 9999
            return;
        const qint64 ms = std::llround(days * MsPerDay);
        const QDateTime start(
            DayZero.addDays(ms / MsPerDay), QTime::fromMSecsSinceStartOfDay(int(ms % MsPerDay)));
        if (start.isValid())
            m_startUs = start.toMSecsSinceEpoch() * MicrosPerMs;
    } else if (key == "COLUMNS") {
        setColumns(value);
    }
}

TextLogReader::Line TrcLine::parse(const QByteArray &line, LoggedFrame *frame, QString *reason)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return TextLogReader::Line::NoFrame;
    if (trimmed.startsWith(';')) {
        readSetting(trimmed);
        return TextLogReader::Line::NoFrame;
    }
    const QList<QByteArray> fields = trimmed.simplified().split(' ');
    return m_version >= 20 ? parseVersion2(fields, frame, reason)
                           : parseVersion1(fields, frame, reason);
}

TextLogReader::Line TrcLine::parseVersion1(
    const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason)
{
    // N) O [B] T I [-] L D...
    const bool hasBus = m_version >= 12;
    const bool hasReserved = m_version >= 13;
    const int typeAt = hasBus ? 3 : 2;
    const int lengthAt = typeAt + 2 + (hasReserved ? 1 : 0);
    if (fields.size() <= lengthAt || !fields.at(0).endsWith(')'))
        return skip(reason,
            QStringLiteral("not a version %1.%2 message line: %3")
                .arg(m_version / 10)
                .arg(m_version % 10)
                .arg(echoed(fields.join(' '))));
    const QByteArray &type = fields.at(typeAt);
    if (type == "Error")
        return skip(reason, QStringLiteral("an error frame"));
    if (type != "Rx" && type != "Tx")
        return TextLogReader::Line::NoFrame; // a status message (Warng)
    if (fields.value(lengthAt + 1) == "RTR")
        return skip(reason, QStringLiteral("a remote frame, which this bus does not carry"));
    return fill(fields.at(1), hasBus ? fields.at(2) : QByteArray("1"), fields.at(typeAt + 1),
               fields.at(lengthAt), fields.mid(lengthAt + 1), frame, reason)
        ? TextLogReader::Line::Frame
        : TextLogReader::Line::Skipped;
}

TextLogReader::Line TrcLine::parseVersion2(
    const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason)
{
    const int typeAt = m_columns.value('T', -1);
    const int offsetAt = m_columns.value('O', -1);
    const int idAt = m_columns.value('I', -1);
    const int dataAt = m_columns.value('D', -1);
    const int lengthAt = m_columns.value('l', m_columns.value('L', -1));
    if (typeAt < 0 || offsetAt < 0 || idAt < 0 || dataAt < 0 || lengthAt < 0)
        return skip(reason, QStringLiteral("the columns line lacks one of O, T, I, L or l, D"));
    const QByteArray type = fields.value(typeAt);
    if (type == "RR")
        return skip(reason, QStringLiteral("a remote frame, which this bus does not carry"));
    if (type == "FD" || type == "FB" || type == "FE" || type == "BI")
        return skip(reason, QStringLiteral("a CAN FD frame, which this bus does not carry"));
    if (type == "ER")
        return skip(reason, QStringLiteral("an error frame"));
    if (type != "DT") {
        if (fields.size() > typeAt && type.size() == 2)
            return TextLogReader::Line::NoFrame; // status, error counters, events
        return skip(reason,
            QStringLiteral("not a version %1.%2 message line: %3")
                .arg(m_version / 10)
                .arg(m_version % 10)
                .arg(echoed(fields.join(' '))));
    }
    const int busAt = m_columns.value('B', -1);
    if (fields.size() < dataAt || fields.size() <= qMax(offsetAt, qMax(idAt, lengthAt)))
        return skip(reason, QStringLiteral("a message line with %1 fields").arg(fields.size()));
    return fill(fields.at(offsetAt), busAt >= 0 ? fields.value(busAt) : QByteArray("1"),
               fields.at(idAt), fields.at(lengthAt), fields.mid(dataAt), frame, reason)
        ? TextLogReader::Line::Frame
        : TextLogReader::Line::Skipped;
}

bool TrcLine::fill(const QByteArray &offset, const QByteArray &bus, const QByteArray &id,
    const QByteArray &length, const QList<QByteArray> &data, LoggedFrame *frame,
    QString *reason) const
{
    qint64 offsetUs = 0;
    qint64 timeUs = 0;
    if (!DecimalTime::toMicros(offset, MillisecondDigits, &offsetUs, true)
        || !DecimalTime::offsetFrom(m_startUs, offsetUs, &timeUs)) {
        *reason = QStringLiteral("the time offset is not milliseconds: %1").arg(echoed(offset));
        return false;
    }
    bool ok = false;
    const int channel = bus == "-" ? 1 : bus.toInt(&ok);
    if (bus != "-" && (!ok || channel < 1 || channel > ChannelNumber::MaxChannel)) {
        *reason = QStringLiteral("the bus is not a number from 1: %1").arg(echoed(bus));
        return false;
    }
    const quint32 value = id.toUInt(&ok, 16);
    const bool extended = id.size() == ExtendedIdDigits || value > MaxStandardId;
    if (!ok || id.size() > ExtendedIdDigits || value > MaxExtendedId) {
        *reason = QStringLiteral("the identifier is not 29 bits of hex: %1").arg(echoed(id));
        return false;
    }
    const int count = length.toInt(&ok);
    if (!ok || count < 0 || count > MaxDataBytes) {
        *reason = QStringLiteral("the data length is not 0 to 8: %1").arg(echoed(length));
        return false;
    }
    if (data.size() < count) {
        *reason = QStringLiteral("%1 data bytes announced, %2 given").arg(count).arg(data.size());
        return false;
    }
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i) {
        const uint byte = data.at(i).toUInt(&ok, 16);
        if (!ok || data.at(i).size() > 2) {
            *reason = QStringLiteral("data byte %1 is not two hex digits: %2")
                          .arg(i + 1)
                          .arg(echoed(data.at(i)));
            return false;
        }
        bytes[i] = char(byte);
    }
    frame->timeUs = timeUs;
    frame->interfaceName = ChannelNumber::interfaceName(channel);
    frame->id = value;
    frame->extended = extended;
    frame->data = bytes;
    return true;
}

QByteArray TrcLine::header(qint64 startUs)
{
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(startUs / MicrosPerMs);
    const double days = double(DayZero.daysTo(start.date()))
        + double(start.time().msecsSinceStartOfDay()) / double(MsPerDay);
    return ";$FILEVERSION=2.1\n;$STARTTIME=" + QByteArray::number(days, 'f', 10)
        + "\n;$COLUMNS=" + Columns21 + "\n;\n;   Start time: "
        + QLocale::c().toString(start, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1()
        + "\n;   Written by bmsctl\n"
          ";   Message   Time    Type    ID     Rx/Tx\n"
          ";   Number    Offset  |  Bus  [hex]  |  Reserved\n"
          ";   |         [ms]    |  |    |      |  |  Data Length Code\n"
          ";   |         |       |  |    |      |  |  |    Data [hex] ...\n"
          ";---+-- ------+------ +- +- --+----- +- +- +--- +- -- -- -- -- -- -- --\n";
}

QByteArray TrcLine::format(const LoggedFrame &frame, qint64 startUs, qint64 number)
{
    QByteArray line = QByteArray::number(number).rightJustified(7, ' ');
    line += ' ';
    line += DecimalTime::fromMicros(frame.timeUs - startUs, MillisecondDigits)
                .rightJustified(13, ' ');
    line += " DT ";
    line += QByteArray::number(ChannelNumber::of(frame.interfaceName)).rightJustified(2, ' ');
    line += ' ';
    line += QByteArray::number(frame.id, 16)
                .toUpper()
                .rightJustified(frame.extended ? ExtendedIdDigits : 4, '0')
                .rightJustified(ExtendedIdDigits, ' ');
    line += " Rx -  ";
    line += QByteArray::number(frame.data.size());
    line += "   ";
    for (char byte : frame.data) {
        line += ' ';
        line += QByteArray(1, byte).toHex().toUpper();
    }
    return line;
}
