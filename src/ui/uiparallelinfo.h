#pragma once

#include <QList>
#include <QWidget>

class QTimer;
class UiPackVoltageStatus;

// The overview of every pack on the bus: 28 tiles, one per device id, five to a row, each with
// the pack's voltage and status. Every tile is refreshed each second, heard from or not, so a
// pack that never spoke reads 0.00 and Offline. Clicking a tile asks for its battery
// (batteryClicked).
class UiParallelInfo : public QWidget
{
    Q_OBJECT
public:
    static constexpr int TilesPerRow = 5;
    static constexpr int RefreshIntervalMs = 1000;

    explicit UiParallelInfo(QWidget *parent = nullptr);

    const QList<UiPackVoltageStatus *> &tiles() const { return m_tiles; }

signals:
    void batteryClicked(int devId);

public slots:
    // The refresh. The name is the pages' usual one, but this page shows all batteries and
    // takes no id.
    void Slot_ShowMonitorData();

private:
    QList<UiPackVoltageStatus *> m_tiles;
    QTimer *m_timer = nullptr;
};
