#include "dbcwriter.h"

#include "signals/abstractsignalvalue.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalnames.h"

#include <QTextStream>

#include <cmath>

namespace {

constexpr quint32 ExtendedIdFlag = 0x80000000u;
constexpr int PayloadBytes = 8;
// The store reads every raw value unsigned; the negative temperatures and currents come from
// offsets.
constexpr bool SignedRaw = false;
const char *const HostNode = "Host";

QString nodeName(int devId)
{
    return QStringLiteral("BMS_%1").arg(devId, 2, 10, QLatin1Char('0'));
}

// A factor as written in the catalogue: the single-precision 0.1f is meant as 0.1.
QString factorText(float factor)
{
    return QString::number(double(factor), 'g', 7);
}

// A range limit with at most the given decimals, without trailing zeros.
QString limitText(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString asciiUnit(const QString &unit)
{
    QString text = unit;
    text.replace(QString::fromUtf8("℃"), QStringLiteral("degC"));
    return text;
}

} // namespace

DbcWriter::DbcWriter(const AbstractSignalValue &catalogue)
    : m_catalogue(catalogue)
{ }

int DbcWriter::motorolaStartBit(int lsbStart, int length)
{
    const int above = lsbStart % 8 + length - 1;
    return (lsbStart / 8 - above / 8) * 8 + above % 8;
}

DbcWriter::Range DbcWriter::physicalRange(int length, bool isSigned, double factor, double offset)
{
    const double values = std::ldexp(1.0, length);
    const double lowest = isSigned ? -values / 2 : 0.0;
    const double highest = lowest + values - 1;
    const double atLowest = lowest * factor + offset;
    const double atHighest = highest * factor + offset;
    // A negative factor turns the highest raw value into the lowest physical one.
    return { qMin(atLowest, atHighest), qMax(atLowest, atHighest) };
}

quint32 DbcWriter::messageId(quint32 frameKey, int devId)
{
    return FrameKey::identifier(frameKey, quint8(devId)) | ExtendedIdFlag;
}

QString DbcWriter::write(const QList<int> &devIds) const
{
    QString text;
    QTextStream out(&text);
    out << "VERSION \"\"\n\n\n";
    out << "NS_ :\n\tCM_\n\tVAL_\n\n";
    out << "BS_:\n\n";
    out << "BU_: " << HostNode;
    for (int devId : devIds)
        out << ' ' << nodeName(devId);
    out << "\n\n";

    for (int devId : devIds) {
        for (quint32 key : m_catalogue.frameKeys()) {
            out << "\nBO_ " << messageId(key, devId) << ' ' << SignalNames::frameName(key) << '_'
                << QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0')) << ": " << PayloadBytes
                << ' ' << nodeName(devId) << '\n';
            for (const SignalDefinition &definition : m_catalogue.definitions(key)) {
                const QString factor = factorText(definition.factor);
                const int decimals = m_catalogue.decimals(definition.index);
                const Range range = physicalRange(
                    definition.length, SignedRaw, factor.toDouble(), definition.offset);
                out << " SG_ " << SignalNames::name(definition.index) << " : "
                    << motorolaStartBit(definition.start, definition.length) << '|'
                    << definition.length << "@0" << (SignedRaw ? '-' : '+') << " (" << factor << ','
                    << definition.offset << ") [" << limitText(range.minimum, decimals) << '|'
                    << limitText(range.maximum, decimals) << "] \""
                    << asciiUnit(m_catalogue.unit(definition.index)) << "\" " << HostNode << '\n';
            }
        }
    }

    out << '\n';
    for (int devId : devIds) {
        out << "VAL_ " << messageId(FrameKey::PackStatus, devId) << ' '
            << SignalNames::name(Signal::SysStatus)
            << " 3 \"offline\" 2 \"discharging\" 1 \"charging\" 0 \"static\" ;\n";
    }
    out.flush();
    return text;
}
