#pragma once

#include "bank/bankmodel.h"
#include "mqtt/batteryreport.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>

// What the gateway tells about the bank as one battery: the state message of <prefix>/bank/state
// from the bank's figures, and the description of each of its values for Home Assistant.
// Values that need a battery online are null while none is.
class BankReport
{
public:
    BankReport();

    const QList<ReportedValue> &values() const { return m_values; }
    static QJsonObject state(const BankModel::Figures &figures, const QDateTime &time);

private:
    QList<ReportedValue> m_values;
};
