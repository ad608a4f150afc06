#include "signalformat.h"

#include "signals/abstractsignalvalue.h"

#include <QRegularExpression>

namespace {

const SignalDefinition *definitionOf(const AbstractSignalValue &catalogue, int index)
{
    for (quint32 key : catalogue.frameKeys()) {
        for (const SignalDefinition &definition : catalogue.definitions(key)) {
            if (definition.index == index)
                return &definition;
        }
    }
    return nullptr;
}

} // namespace

QString SignalFormat::text(const AbstractSignalValue &catalogue, int index, const QVariant &value)
{
    const SignalDefinition *definition = definitionOf(catalogue, index);
    if (!definition || !value.isValid())
        return QString();
    if (definition->kind == SignalKind::Real) {
        QString text = QString::number(double(value.toFloat()), 'f', catalogue.decimals(index));
        // A value a hair below zero (a current of raw 2999.99 around offset -300) is zero.
        static const QRegularExpression negativeZero(QStringLiteral("^-0(\\.0*)?$"));
        if (negativeZero.match(text).hasMatch())
            text.remove(0, 1);
        return text;
    }
    return definition->offset < 0 ? QString::number(value.toInt())
                                  : QString::number(value.toUInt());
}

QJsonValue SignalFormat::json(
    const AbstractSignalValue &catalogue, int index, const QVariant &value)
{
    const QString shown = text(catalogue, index, value);
    if (shown.isEmpty())
        return QJsonValue();
    return QJsonValue(shown.toDouble());
}
