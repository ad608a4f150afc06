#pragma once

#include <QWidget>

class QLabel;

// One tile of the parallel overview: a pack's id, its picture, its voltage and its status.
// Offline (status 3), its values are the last heard and drawn greyed. A click on it asks for
// its battery (clicked).
class UiPackVoltageStatus : public QWidget
{
    Q_OBJECT
public:
    static constexpr int TileWidth = 160;
    static constexpr int TileHeight = 360;
    // Between the lines of the tile and at its top and bottom.
    static constexpr int TextSpacing = 5;

    UiPackVoltageStatus(int devId, QWidget *parent = nullptr);

    int devId() const { return m_devId; }
    QString idText() const;
    QString voltageText() const;
    QString statusText() const;

signals:
    void clicked(int devId);

public slots:
    // A status outside 0..3 leaves the status text as it was.
    void setVoltageStatus(float voltage, int status);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_devId = 0;
    bool m_greyed = false;
    QLabel *m_id = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_voltage = nullptr;
    QLabel *m_status = nullptr;
};
