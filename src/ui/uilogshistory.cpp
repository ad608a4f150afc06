#include "uilogshistory.h"

UiLogsHistory::UiLogsHistory(QWidget *parent)
    : QWidget(parent)
{ }
