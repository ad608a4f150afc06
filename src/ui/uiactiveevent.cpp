#include "uiactiveevent.h"

#include "signals/alarmonsets.h"
#include "signals/alarmset.h"
#include "signals/signalvalues.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

UiActiveEvent::UiActiveEvent(int devId, const QList<int> &levelSignals,
    const QList<int> &flagSignals, const QStringList &names, QWidget *parent)
    : QDialog(parent)
    , m_devId(devId)
    , m_names(names)
    , m_levelSignals(levelSignals)
    , m_flagSignals(flagSignals)
{
    setFixedSize(800, 600);
    setWindowTitle(tr("UpperComputer"));

    auto *id = new QLabel(tr("BAT ID: %1").arg(devId, 2, 10, QLatin1Char('0')), this);
    id->setObjectName(QStringLiteral("ActiveEventDevId"));
    m_list = new QLabel(this);
    m_list->setObjectName(QStringLiteral("ActiveEventList"));
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("ActiveEventTable"));
    m_table->setHorizontalHeaderLabels({ tr("Severity"), tr("Event"), tr("First seen") });
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_noneActive = new QLabel(tr("none active"), this);
    m_noneActive->setObjectName(QStringLiteral("ActiveEventNone"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(id);
    layout->addWidget(m_list);
    layout->addWidget(m_noneActive);
    layout->addWidget(m_table, 1);
    layout->addStretch();

    OnTimerTimeout();
    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiActiveEvent::OnTimerTimeout);
    m_timer->start();
}

void UiActiveEvent::setOnsets(const AlarmOnsets *onsets)
{
    m_onsets = onsets;
    OnTimerTimeout();
}

QString UiActiveEvent::eventText() const
{
    return m_list->text();
}

void UiActiveEvent::OnTimerTimeout()
{
    const SignalValues *store = SignalValues::instance();
    const QString lineEnd = QStringLiteral("\r\n");
    QString severe;
    QString minor;
    m_table->setRowCount(0);
    // The table lists in the text's order: protections, flags, then alarms.
    QList<int> alarms;

    for (int i = 0; i < m_levelSignals.size(); ++i) {
        const uint level = store->value(m_devId, m_levelSignals.at(i)).toUInt();
        if (level == uint(AlarmSet::ProtectionLevel)) {
            severe += m_names.value(i) + tr("(L2 Error)") + lineEnd;
            addRow(m_levelSignals.at(i), m_names.value(i), true);
        } else if (level == uint(AlarmSet::AlarmLevel)) {
            minor += m_names.value(i) + tr("(L1 Error)") + lineEnd;
            alarms.append(i);
        }
    }
    for (int j = 0; j < m_flagSignals.size(); ++j) {
        if (store->value(m_devId, m_flagSignals.at(j)).toUInt() == uint(AlarmSet::FlagActive)) {
            severe += m_names.value(m_levelSignals.size() + j) + tr("(Error)") + lineEnd;
            addRow(m_flagSignals.at(j), m_names.value(m_levelSignals.size() + j), true);
        }
    }
    for (int i : qAsConst(alarms))
        addRow(m_levelSignals.at(i), m_names.value(i), false);
    m_list->setText(severe + lineEnd + minor);
    m_noneActive->setVisible(m_table->rowCount() == 0);
    m_table->setVisible(m_table->rowCount() > 0);
}

void UiActiveEvent::addRow(int signal, const QString &name, bool protection)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto *severity = new QTableWidgetItem(protection ? tr("Protection") : tr("Alarm"));
    severity->setBackground(protection ? QColor(0xF2, 0x6B, 0x6B) : QColor(0xFF, 0xE0, 0x4A));
    m_table->setItem(row, 0, severity);
    m_table->setItem(row, 1, new QTableWidgetItem(name));
    const qint64 sinceMs = m_onsets ? m_onsets->since(m_devId, signal) : 0;
    m_table->setItem(row, 2,
        new QTableWidgetItem(sinceMs > 0 ? QDateTime::fromMSecsSinceEpoch(sinceMs).toString(
                                 QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                                         : QString()));
}
