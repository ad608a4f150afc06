#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// A grey title over two read-only fields: a value and where it was measured ("3.312V" and
// "C-7" under "Max Cell Volt").
class UiValuePair : public QWidget
{
    Q_OBJECT
public:
    UiValuePair(const QString &title, const QString &first, const QString &second,
        QWidget *parent = nullptr);

    QString title() const;
    QString first() const;
    QString second() const;

    void setValues(const QString &first, const QString &second);

private:
    QLabel *m_title = nullptr;
    QLineEdit *m_first = nullptr;
    QLineEdit *m_second = nullptr;
};
