#include "uihistorydata.h"

#include "pagewidgets.h"

#include "records/historydatamodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Icon = QStringLiteral(":/resource/Icon/HisData.png");
const QString FontFamily = QStringLiteral("Microsoft YaHei");

} // namespace

UiHistoryData::UiHistoryData(QWidget *parent)
    : QWidget(parent)
    , m_model(new HistoryDataModel(this))
{
    QHBoxLayout *heading = PageWidgets::heading(this, Icon, QSize(44, 58), tr("History Data"), 20);

    auto *description = new QLabel(
        tr("The Warranty Tracker measures capacity degradation and calculates remaining battery "
           "lifetime by keeping track of voltage,temperature, charge and discharge times, and "
           "other critical data for every cycle of the Brimlet18."),
        this);
    description->setObjectName(QStringLiteral("HistoryDataDescription"));
    description->setWordWrap(true);
    description->setFont(QFont(FontFamily, 11));

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("HistoryDataTable"));
    m_table->setModel(m_model);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Stretch);
    for (int labelColumn : { 0, 2, 4 })
        columns->setSectionResizeMode(labelColumn, QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addLayout(heading);
    layout->addWidget(description);
    layout->addWidget(m_table);
    layout->addSpacing(120);
}

int UiHistoryData::currentDevice() const
{
    return m_model->deviceId();
}

void UiHistoryData::Slot_ShowMonitorData(uint devId)
{
    m_model->Slot_ShowMonitorData(devId);
}
