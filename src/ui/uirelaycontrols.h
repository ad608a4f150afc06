#pragma once

#include <QVector>
#include <QWidget>

class UiRelayButton;

// The four relays of the selected battery as buttons, with the warning that manual switching
// is for engineers, in one group box. Relays are numbered as the relay command numbers them
// (RelayIndex).
//
// The group neither reads the battery nor sends anything: it reports which relay was clicked
// and shows the states it is given, so the page that owns it decides where both come from.
class UiRelayControls : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RelayCount = 4;
    // The warning sign beside the warning text, square.
    static constexpr int AlarmSide = 30;

    explicit UiRelayControls(QWidget *parent = nullptr);

    // The button of a relay type; nullptr outside 0..3.
    UiRelayButton *button(int relayType) const;

    // Signals and slots are declared in the order their meta-object lists them.
signals:
    void controlRelay(int relayType);

public slots:
    // Types outside 0..3 are ignored.
    void updateRelayStatus(int relayType, bool isOn);
    void OnControlRelay(int index);

private:
    // Indexed by relay type.
    QVector<UiRelayButton *> m_buttons;
};
