#pragma once

#include <QList>
#include <QWidget>

class QLabel;

// A row of dots, one per page, the current one in the accent colour, centred between two
// stretches. Callers keep the index within 0 .. count - 1.
class UiPageIndicator : public QWidget
{
    Q_OBJECT
public:
    UiPageIndicator(int count, QWidget *parent = nullptr);

    int count() const { return m_dots.size(); }
    int currentIndex() const { return m_current; }
    QLabel *dot(int index) const { return m_dots.at(index); }

public slots:
    void setCurrentIndex(int index);

private:
    QList<QLabel *> m_dots;
    int m_current = 0;
};
