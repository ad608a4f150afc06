#pragma once

#include <QWidget>

class QLabel;

// A head of the navigation bar: an icon and a bold caption ("GENERAL", "SETTINGS"). The icon
// comes as a whole style sheet because each head's picture has its own size.
class UiLeftTreeCategory : public QWidget
{
    Q_OBJECT
public:
    UiLeftTreeCategory(
        const QString &iconStyleSheet, const QString &text, QWidget *parent = nullptr);

    QString text() const;

private:
    QLabel *m_icon = nullptr;
    QLabel *m_text = nullptr;
};
