#include "upgradestopquestion.h"

#include <QMessageBox>

bool UpgradeStopQuestion::confirm(QWidget *parent, const QString &question)
{
    const QString stake = tr("A firmware upgrade is running. Stopping it leaves the battery in its "
                             "boot loader with its flash erased or half written: the battery "
                             "stays out of service until it is upgraded again.");
    return QMessageBox::question(parent, tr("Upgrade running"),
               stake + QStringLiteral("\n\n") + question, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No)
        == QMessageBox::Yes;
}
