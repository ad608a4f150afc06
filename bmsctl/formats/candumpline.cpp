#include "candumpline.h"

#include "formats/echoedtext.h"

#include <QStringList>

#include <limits>

namespace {

constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;
constexpr quint32 MaxStandardId = 0x7FF;
constexpr quint32 MaxExtendedId = 0x1FFFFFFF;
constexpr quint32 ErrorFrameFlag = 0x20000000;
constexpr int MaxDataBytes = 8;
constexpr int MicrosDigits = 6;
constexpr qint64 MicrosPerSecond = 1000000;
// The most whole seconds whose microseconds, fraction included, still fit in 64 bits.
constexpr qint64 MaxSeconds
    = (std::numeric_limits<qint64>::max() - (MicrosPerSecond - 1)) / MicrosPerSecond;
// The direction a logging host adds after the data: received or transmitted.
bool isDirection(const QString &field)
{
    return field == QLatin1String("R") || field == QLatin1String("T");
}

bool isHex(const QString &text)
{
    for (QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    return true;
}

bool isDigits(const QString &text)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

bool parseTime(const QString &field, qint64 *timeUs, QString *reason)
{
    if (field.size() < 2 || !field.startsWith(QLatin1Char('('))
        || !field.endsWith(QLatin1Char(')')))
        return fail(reason,
            QStringLiteral("the time stamp is not in parentheses: %1").arg(EchoedText::of(field)));
    const QString inner = field.mid(1, field.size() - 2);
    if (inner.startsWith(QLatin1Char('-')))
        return fail(
            reason, QStringLiteral("the time stamp is negative: %1").arg(EchoedText::of(field)));
    const int dot = inner.indexOf(QLatin1Char('.'));
    const QString seconds = dot < 0 ? inner : inner.left(dot);
    const QString fraction = dot < 0 ? QString() : inner.mid(dot + 1);
    if (!isDigits(seconds) || (dot >= 0 && !isDigits(fraction)))
        return fail(reason,
            QStringLiteral("the time stamp is not seconds (digits, optionally a point and more "
                           "digits): %1")
                .arg(EchoedText::of(field)));
    // Seconds may have any number of digits (a tool that writes milliseconds since the epoch
    // gives thirteen), as long as the time in microseconds fits in 64 bits.
    bool ok = false;
    const qint64 wholeSeconds = seconds.toLongLong(&ok);
    if (!ok || wholeSeconds > MaxSeconds)
        return fail(reason,
            QStringLiteral("the time stamp is more than %1 seconds: %2")
                .arg(MaxSeconds)
                .arg(EchoedText::of(field)));
    // Finer fractions than microseconds are cut; shorter ones are filled with zeros.
    const qint64 micros
        = fraction.left(MicrosDigits).leftJustified(MicrosDigits, QLatin1Char('0')).toLongLong();
    *timeUs = wholeSeconds * MicrosPerSecond + micros;
    return true;
}

bool parseFrame(const QString &field, LoggedFrame *frame, QString *reason)
{
    const int hash = field.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return fail(reason,
            QStringLiteral("no '#' between identifier and data: %1").arg(EchoedText::of(field)));
    const QString idText = field.left(hash);
    const QString dataText = field.mid(hash + 1);
    if (dataText.startsWith(QLatin1Char('#')))
        return fail(reason, QStringLiteral("a CAN FD frame, which this bus does not carry"));
    if (dataText.startsWith(QLatin1Char('R')) || dataText.startsWith(QLatin1Char('r')))
        return fail(reason, QStringLiteral("a remote frame, which this bus does not carry"));

    if ((idText.size() != StandardIdDigits && idText.size() != ExtendedIdDigits) || !isHex(idText))
        return fail(reason,
            QStringLiteral("the identifier is not 3 or 8 hex digits: %1")
                .arg(EchoedText::of(idText)));
    const quint32 id = idText.toUInt(nullptr, 16);
    const bool extended = idText.size() == ExtendedIdDigits;
    if (extended && (id & ErrorFrameFlag))
        return fail(reason, QStringLiteral("an error frame (%1)").arg(idText));
    if (id > (extended ? MaxExtendedId : MaxStandardId))
        return fail(reason,
            QStringLiteral("the identifier %1 is too large for %2 bits")
                .arg(idText)
                .arg(extended ? 29 : 11));

    if (dataText.size() % 2 != 0 || !isHex(dataText))
        return fail(reason,
            QStringLiteral("the data is not pairs of hex digits: %1")
                .arg(EchoedText::of(dataText)));
    if (dataText.size() / 2 > MaxDataBytes)
        return fail(
            reason, QStringLiteral("more than 8 data bytes: %1").arg(EchoedText::of(dataText)));

    frame->id = id;
    frame->extended = extended;
    frame->data = QByteArray::fromHex(dataText.toLatin1());
    return true;
}

} // namespace

QString CandumpLine::format(const LoggedFrame &frame)
{
    const qint64 seconds = frame.timeUs / MicrosPerSecond;
    const qint64 micros = frame.timeUs % MicrosPerSecond;
    const QString id = QStringLiteral("%1").arg(
        frame.id, frame.extended ? ExtendedIdDigits : StandardIdDigits, 16, QLatin1Char('0'));
    return QStringLiteral("(%1.%2) %3 %4#%5")
        .arg(seconds)
        .arg(micros, MicrosDigits, 10, QLatin1Char('0'))
        .arg(frame.interfaceName, id.toUpper(), QString::fromLatin1(frame.data.toHex().toUpper()));
}

bool CandumpLine::parse(const QString &line, LoggedFrame *frame, QString *reason)
{
    // Runs of blanks of any kind become one space.
    const QString simplified = line.simplified();
    if (simplified.isEmpty())
        return fail(reason, QString());
    const QStringList fields = simplified.split(QLatin1Char(' '));
    if (fields.size() != 3 && fields.size() != 4)
        return fail(reason,
            QStringLiteral("not \"(time) interface id#data\" with an optional R or T: %1 fields")
                .arg(fields.size()));
    if (fields.size() == 4 && !isDirection(fields.at(3)))
        return fail(reason,
            QStringLiteral("the field after the data is not a direction, R or T: %1")
                .arg(EchoedText::of(fields.at(3))));
    LoggedFrame parsed;
    if (!parseTime(fields.at(0), &parsed.timeUs, reason))
        return false;
    parsed.interfaceName = fields.at(1);
    if (!parseFrame(fields.at(2), &parsed, reason))
        return false;
    *frame = parsed;
    return true;
}
