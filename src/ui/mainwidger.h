#pragma once

#include <QWidget>

// The program's main window.
class MainWidger : public QWidget
{
    Q_OBJECT

public:
    explicit MainWidger(QWidget *parent = nullptr);
};
