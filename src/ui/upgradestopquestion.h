#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

// The question asked before closing the CAN bus or the window while a firmware upgrade runs:
// stopping it leaves the battery in its boot loader with its flash erased or half written, and
// the battery stays out of service until it is upgraded again. "No" is the default, so that a
// hurried Enter keeps the upgrade going.
class UpgradeStopQuestion
{
    Q_DECLARE_TR_FUNCTIONS(UpgradeStopQuestion)

public:
    // Asks, modally, what is at stake followed by the question; true when the answer is Yes.
    static bool confirm(QWidget *parent, const QString &question);
};
