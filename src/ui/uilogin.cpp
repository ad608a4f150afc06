#include "uilogin.h"

UiLogin::UiLogin(QWidget *parent)
    : QWidget(parent)
{ }
