#include "mainwidger.h"

#include "settings/appconfig.h"

MainWidger::MainWidger(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(AppConfig::windowTitle());
    // The navigation bar decides whether the MANUFACTURE entry exists; reading the key repairs it.
    AppConfig::readProductEntry();
    resize(1346, 688);
}
