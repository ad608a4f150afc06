#include "parameterfile.h"

#include "formats/jsonduplicatekey.h"
#include "formats/parametercatalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

#include <cmath>

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// The line and column of a character offset, for a parse error a person can find.
QString positionIn(const QByteArray &text, int offset)
{
    const QByteArray before = text.left(offset);
    const int line = before.count('\n') + 1;
    const int column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

bool wholeNumber(const QJsonValue &value, qint64 *number)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    // Beyond 2^53 a double no longer tells whole numbers apart.
    if (!std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9007199254740992.0)
        return false;
    *number = qint64(d);
    return true;
}

// A JSON string literal, escaped as JSON wants it.
QString jsonText(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact);
    // ["..."]: the brackets go.
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

bool ParameterFile::valueOf(quint32 id, qint32 *value) const
{
    for (const Value &entry : values) {
        if (entry.id == id) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

QByteArray ParameterFile::toJson(const ParameterCatalogue &catalogue) const
{
    // Written by hand rather than through QJsonDocument, which sorts keys: the battery first,
    // then one parameter a line, so that the file reads and compares well.
    QStringList header;
    header.append(QStringLiteral("\"format\": %1").arg(jsonText(QString::fromLatin1(Format))));
    if (battery >= 0)
        header.append(QStringLiteral("\"battery\": %1").arg(battery));
    header.append(QStringLiteral("\"serial\": %1").arg(jsonText(serial)));
    header.append(QStringLiteral("\"model\": %1").arg(jsonText(model)));
    header.append(QStringLiteral("\"firmware\": %1").arg(jsonText(firmware)));
    header.append(QStringLiteral("\"taken\": %1").arg(jsonText(taken)));

    QStringList lines;
    for (const Value &entry : values) {
        const int position = catalogue.positionOf(entry.id);
        QString line = QStringLiteral("{ \"id\": %1").arg(entry.id);
        if (position >= 0)
            line += QStringLiteral(", \"name\": %1, \"unit\": %2")
                        .arg(jsonText(catalogue.name(position)),
                            jsonText(catalogue.item(position).unit));
        line += QStringLiteral(", \"value\": %1 }").arg(entry.value);
        lines.append(line);
    }

    QString text = QStringLiteral("{\n");
    for (const QString &field : header)
        text += QStringLiteral("    ") + field + QStringLiteral(",\n");
    text += QStringLiteral("    \"parameters\": [\n        ");
    text += lines.join(QStringLiteral(",\n        "));
    text += QStringLiteral("\n    ]\n}\n");
    return text.toUtf8();
}

bool ParameterFile::fromJson(const QByteArray &json, const ParameterCatalogue &catalogue,
    ParameterFile *file, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error,
            QStringLiteral("not JSON: %1 at %2")
                .arg(parseError.errorString(), positionIn(json, parseError.offset)));
    const JsonDuplicateKey::Found twice = JsonDuplicateKey::find(json);
    if (twice.offset >= 0)
        return fail(error,
            QStringLiteral("%1\"%2\" is given twice (%3): which one holds is unclear, keep one")
                .arg(twice.object.isEmpty() ? QString() : twice.object + QStringLiteral(": "),
                    twice.key, positionIn(json, twice.offset)));
    if (!document.isObject())
        return fail(error, QStringLiteral("not a parameter file: the JSON is not an object"));
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (!format.isUndefined() && format.toString() != QLatin1String(Format))
        return fail(error,
            QStringLiteral("not a parameter file of this program: its format is \"%1\", not \"%2\"")
                .arg(format.toString(), QLatin1String(Format)));

    ParameterFile read;
    const QJsonValue serial = root.value(QStringLiteral("serial"));
    if (!serial.isString())
        return fail(
            error, QStringLiteral("no \"serial\" text: the battery it was taken from is unknown"));
    read.serial = serial.toString();
    read.model = root.value(QStringLiteral("model")).toString();
    read.firmware = root.value(QStringLiteral("firmware")).toString();
    read.taken = root.value(QStringLiteral("taken")).toString();
    qint64 battery = -1;
    if (root.contains(QStringLiteral("battery"))
        && wholeNumber(root.value(QStringLiteral("battery")), &battery))
        read.battery = int(battery);

    const QJsonValue list = root.value(QStringLiteral("parameters"));
    if (!list.isArray() || list.toArray().isEmpty())
        return fail(error, QStringLiteral("no \"parameters\" list"));
    QSet<quint32> seen;
    const QJsonArray parameters = list.toArray();
    for (int i = 0; i < parameters.size(); ++i) {
        const QString where = QStringLiteral("parameters[%1]").arg(i);
        if (!parameters.at(i).isObject())
            return fail(error, QStringLiteral("%1 is not an object").arg(where));
        const QJsonObject parameter = parameters.at(i).toObject();

        qint64 id = -1;
        if (!wholeNumber(parameter.value(QStringLiteral("id")), &id))
            return fail(error, QStringLiteral("%1 has no whole-number \"id\"").arg(where));
        const int position = id >= 0 && id <= 0xFF ? catalogue.positionOf(quint32(id)) : -1;
        if (position < 0)
            return fail(error,
                QStringLiteral("%1: unknown parameter id %2 (the parameter set has no such id)")
                    .arg(where)
                    .arg(id));
        if (seen.contains(quint32(id)))
            return fail(
                error, QStringLiteral("%1: parameter id %2 is listed twice").arg(where).arg(id));
        seen.insert(quint32(id));
        const QString described
            = QStringLiteral("%1 (id %2, %3)").arg(where).arg(id).arg(catalogue.name(position));

        const QJsonValue unit = parameter.value(QStringLiteral("unit"));
        if (!unit.isUndefined() && unit.toString() != catalogue.item(position).unit)
            return fail(error,
                QStringLiteral("%1: unit \"%2\" differs from the parameter set's \"%3\"")
                    .arg(described, unit.toString(), catalogue.item(position).unit));

        qint64 value = 0;
        if (!wholeNumber(parameter.value(QStringLiteral("value")), &value))
            return fail(error, QStringLiteral("%1 has no whole-number \"value\"").arg(described));
        if (value < catalogue.minimum(position) || value > catalogue.maximum(position))
            return fail(error,
                QStringLiteral("%1: value %2 is out of range %3..%4")
                    .arg(described)
                    .arg(value)
                    .arg(catalogue.minimum(position))
                    .arg(catalogue.maximum(position)));
        read.values.append({ quint32(id), qint32(value) });
    }
    *file = read;
    return true;
}

bool ParameterFile::load(
    const QString &path, const ParameterCatalogue &catalogue, ParameterFile *file, QString *error)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("cannot read %1: %2").arg(path, input.errorString()));
    QString fault;
    if (!fromJson(input.readAll(), catalogue, file, &fault))
        return fail(error, QStringLiteral("%1: %2").arg(path, fault));
    return true;
}

bool ParameterFile::save(
    const QString &path, const ParameterCatalogue &catalogue, QString *error) const
{
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, output.errorString()));
    output.write(toJson(catalogue));
    if (!output.commit())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, output.errorString()));
    return true;
}
