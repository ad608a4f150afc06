#pragma once

#include <QLabel>

class BankState;
class SignalValues;

// The top bar's line about the whole bank, whatever battery is selected: which batteries are
// in protection, in alarm and offline ("Protection: 03, 17 · Offline: 05"), each group in the
// colour of its kind (red, yellow, grey), and nothing when all is well. Every battery number is
// a link; clicking it asks for that battery (batteryClicked).
class UiBankLine : public QLabel
{
    Q_OBJECT
public:
    static const QColor ProtectionColor;
    static const QColor AlarmColor;
    static const QColor OfflineColor;

    explicit UiBankLine(QWidget *parent = nullptr);

    // store gives the times offline batteries were last heard, for the tool tip.
    void showState(const BankState &state, const SignalValues &store);
    // The line as it reads, without its markup.
    QString plainText() const;

signals:
    void batteryClicked(int devId);
};
