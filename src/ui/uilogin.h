#pragma once

#include <QWidget>

// The password page in front of the parameter page. For now an empty page; userLogin is
// emitted once a correct password has been entered.
class UiLogin : public QWidget
{
    Q_OBJECT
public:
    explicit UiLogin(QWidget *parent = nullptr);

signals:
    void userLogin();
};
