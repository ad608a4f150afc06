#pragma once

#include <QWidget>

class QLabel;

// A caption and a value side by side ("STATUS  Charging"). The labels carry the object names
// "Key" and "Value" so that the style sheet can set them apart.
class UiKeyValue : public QWidget
{
    Q_OBJECT
public:
    UiKeyValue(const QString &key, const QString &value, QWidget *parent = nullptr);

    QString key() const;
    QString value() const;

public slots:
    void setValue(const QString &value);

private:
    QLabel *m_key = nullptr;
    QLabel *m_value = nullptr;
};
