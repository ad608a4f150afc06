#include "uiparallelinfo.h"

#include "signals/batterybank.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "uipackvoltagestatus.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

UiParallelInfo::UiParallelInfo(QWidget *parent)
    : QWidget(parent)
{
    auto *grid = new QWidget;
    auto *gridLayout = new QGridLayout(grid);

    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId) {
        const int row = devId / TilesPerRow;
        if (devId % TilesPerRow == 0) {
            // The captions stand level with the tiles' voltage and status lines: the stretch
            // takes the place of the id and the picture.
            auto *captions = new QVBoxLayout;
            captions->setContentsMargins(
                0, UiPackVoltageStatus::TextSpacing, 0, UiPackVoltageStatus::TextSpacing);
            captions->setSpacing(UiPackVoltageStatus::TextSpacing);
            captions->addStretch();
            auto *voltage = new QLabel(tr("Voltage(V)"), grid);
            voltage->setObjectName(QStringLiteral("ParalleVolgateLabel"));
            auto *status = new QLabel(tr("Status"), grid);
            status->setObjectName(QStringLiteral("ParalleStatusLabel"));
            captions->addWidget(voltage);
            captions->addWidget(status);
            gridLayout->addLayout(captions, row, 0);
        }
        auto *tile = new UiPackVoltageStatus(devId, grid);
        gridLayout->addWidget(tile, row, devId % TilesPerRow + 1);
        m_tiles.append(tile);
        connect(tile, &UiPackVoltageStatus::clicked, this, &UiParallelInfo::batteryClicked);
    }

    auto *scrollArea = new QScrollArea(this);
    scrollArea->setAlignment(Qt::AlignCenter);
    scrollArea->setWidget(grid);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scrollArea);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiParallelInfo::Slot_ShowMonitorData);
    m_timer->start();
}

void UiParallelInfo::Slot_ShowMonitorData()
{
    const SignalValues *store = SignalValues::instance();
    for (int devId = 0; devId < m_tiles.size(); ++devId) {
        const int status = store->value(devId, Signal::SysStatus).toInt();
        const float voltage = store->value(devId, Signal::SumVolt).toFloat();
        m_tiles.at(devId)->setVoltageStatus(voltage, status);
    }
}
