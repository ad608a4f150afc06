#include "uirelaycontrols.h"

#include "relayindex.h"
#include "uirelaybutton.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <initializer_list>

UiRelayControls::UiRelayControls(QWidget *parent)
    : QWidget(parent)
    , m_buttons(RelayCount, nullptr)
{
    auto *group = new QGroupBox(tr("Relay Controls"), this);
    group->setObjectName(QStringLiteral("UiParamSettingGroupBox"));

    // Created row by row, so that the tab order runs as the buttons read.
    auto makeRow = [this, group](std::initializer_list<RelayIndex> relays) {
        auto *row = new QHBoxLayout;
        for (RelayIndex relay : relays) {
            auto *button = new UiRelayButton(relay, group);
            connect(button, &UiRelayButton::clicked, this, &UiRelayControls::OnControlRelay);
            m_buttons[relay] = button;
            row->addWidget(button);
        }
        return row;
    };
    QHBoxLayout *first = makeRow({ RelayDischarge, RelayCharge });
    QHBoxLayout *second = makeRow({ RelayPrecharge, RelayMain2nd });

    auto *alarm = new QLabel(group);
    alarm->setStyleSheet(
        QStringLiteral("QLabel{min-width: 30px;max-height: 30px;border-image:url(%1);}")
            .arg(QStringLiteral(":/resource/Icon/RelayAlarm.png")));
    // The style leaves the height to the row, and at the height of one text line the square
    // sign would be drawn squashed.
    alarm->setFixedSize(AlarmSide, AlarmSide);
    auto *warning = new QLabel(tr("Relay manually control for professional engineer only,fail "
                                  "to follow the instructions may result in serious damage."),
        group);
    warning->setObjectName(QStringLiteral("ParameterRelayControlWarningText"));
    warning->setWordWrap(true);
    auto *warningRow = new QHBoxLayout;
    warningRow->addWidget(alarm);
    warningRow->addWidget(warning, 1);

    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(first, 1);
    groupLayout->addLayout(second, 1);
    groupLayout->addLayout(warningRow, 0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
}

UiRelayButton *UiRelayControls::button(int relayType) const
{
    return m_buttons.value(relayType, nullptr);
}

void UiRelayControls::updateRelayStatus(int relayType, bool isOn)
{
    if (UiRelayButton *relay = button(relayType))
        relay->updateStatus(isOn);
}

void UiRelayControls::OnControlRelay(int index)
{
    emit controlRelay(index);
}
