#include "uiactiveevent.h"

#include "signals/alarmset.h"
#include "signals/signalvalues.h"

#include <QLabel>
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

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(id);
    layout->addWidget(m_list);
    layout->addStretch();

    OnTimerTimeout();
    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiActiveEvent::OnTimerTimeout);
    m_timer->start();
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

    for (int i = 0; i < m_levelSignals.size(); ++i) {
        const uint level = store->value(m_devId, m_levelSignals.at(i)).toUInt();
        if (level == uint(AlarmSet::ProtectionLevel))
            severe += m_names.value(i) + tr("(L2 Error)") + lineEnd;
        else if (level == uint(AlarmSet::AlarmLevel))
            minor += m_names.value(i) + tr("(L1 Error)") + lineEnd;
    }
    for (int j = 0; j < m_flagSignals.size(); ++j) {
        if (store->value(m_devId, m_flagSignals.at(j)).toUInt() == uint(AlarmSet::FlagActive))
            severe += m_names.value(m_levelSignals.size() + j) + tr("(Error)") + lineEnd;
    }
    m_list->setText(severe + lineEnd + minor);
}
