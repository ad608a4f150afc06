#include "optionreaders.h"

#include <QCommandLineParser>

namespace OptionReaders {

namespace {

// The parsed number when the option is given and its value parses as one within the bounds.
template <typename Number, typename Parse>
bool readNumber(const QCommandLineParser &parser, const QString &name, Number lowest,
    Number highest, const QString &what, Number *value, QString *error, Parse parse)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const Number parsed = parse(parser.value(name), &ok);
    if (!ok || parsed < lowest || parsed > highest) {
        *error = QStringLiteral("--%1 takes %2: %3").arg(name, what, parser.value(name));
        return false;
    }
    *value = parsed;
    return true;
}

} // namespace

bool readIdList(const QString &text, int lowest, int highest, QList<int> *ids, QString *error)
{
    ids->clear();
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.trimmed().toInt(&ok);
        if (!ok || id < lowest || id > highest) {
            *error = QStringLiteral("device numbers are %1 to %2: %3")
                         .arg(lowest)
                         .arg(highest)
                         .arg(part);
            return false;
        }
        if (!ids->contains(id))
            ids->append(id);
    }
    return true;
}

bool readInt(const QCommandLineParser &parser, const QString &name, int lowest, int highest,
    const QString &what, int *value, QString *error)
{
    return readNumber(parser, name, lowest, highest, what, value, error,
        [](const QString &text, bool *ok) { return text.toInt(ok); });
}

bool readDouble(const QCommandLineParser &parser, const QString &name, double lowest,
    double highest, const QString &what, double *value, QString *error)
{
    return readNumber(parser, name, lowest, highest, what, value, error,
        [](const QString &text, bool *ok) { return text.toDouble(ok); });
}

} // namespace OptionReaders
