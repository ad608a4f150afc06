#pragma once

#include <QFrame>

class CanService;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class UiLeftTreeCategory;

// The navigation bar on the left: the page entries under their category heads, the choice of
// USB-CAN adapter and the buttons that open and close the bus.
//
// An entry's id in the button group is the index of the page it shows, so PARAMETER (4) leads
// to the login page; the parameter page itself comes only after a correct password. Several
// entries (PARALLEL INFO, HISTORY DATA, LOGS HISTORY, MANUFACTURE) are built but hidden for
// good: their pages run on in the stack, out of the user's reach, unless config.txt's "pages"
// is "all" (AppConfig::readAllPages), which shows them for engineers who need them.
class UiMainLeft : public QFrame
{
    Q_OBJECT
public:
    enum Entry {
        BaseInfo = 0,
        ParallelInfo = 1,
        HistoryData = 2,
        LogsHistory = 3,
        Parameter = 4,
        Firmware = 5,
        Manufacture = 6,
        EntryCount = 7
    };

    static constexpr int BarWidth = 200;
    // The bus is opened as device index 0, channel 0, extended identifiers, 250 kbit/s.
    static constexpr int BaudKbps = 250;

    // The bus is opened and closed through service, which outlives the bar.
    explicit UiMainLeft(CanService *service, QWidget *parent = nullptr);
    // Closes the bus, as the CLOSE CAN-BUS button does, without asking.
    ~UiMainLeft() override;

    // The ControlCAN device type for an index of the adapter-type combo box, which lists
    // AdapterType::All in order; anything else counts as AdapterType::Default (USBCAN2).
    static int deviceTypeForIndex(int index);
    static QString entryStyle(bool selected);
    static QString openCanStyle(bool busOpen);

    QAbstractButton *entryButton(int id) const;
    QComboBox *adapterTypeCombo() const { return m_typeCombo; }
    QPushButton *openCanButton() const { return m_openCan; }
    QPushButton *closeCanButton() const { return m_closeCan; }
    // As last shown on OPEN CAN-BUS: the last successful open or the last close.
    bool isBusOpen() const { return m_busOpen; }
    // Below the bus buttons: "Bus open" or "Bus closed", in green or grey.
    QLabel *busStateLabel() const { return m_busState; }
    bool hasManufactureEntry() const { return m_hasManufactureEntry; }

signals:
    void changeStackWidget(int id);
    // The bus was opened (true) or closed (false), as OPEN CAN-BUS shows it.
    void busOpenChanged(bool open);

public slots:
    void OnClickButton(int index);
    void Slot_openCanBusClicked();
    // During a CAN upgrade, closes only after the user confirmed (UpgradeStopQuestion); the
    // upgrade then fails.
    void Slot_closeCanBusClicked();

private:
    void closeBus();
    void showBusState();
    void setBusOpen(bool open);

    CanService *m_service = nullptr;
    QButtonGroup *m_group = nullptr;
    QComboBox *m_typeCombo = nullptr;
    QLabel *m_typeLabel = nullptr;
    QPushButton *m_openCan = nullptr;
    QPushButton *m_closeCan = nullptr;
    QLabel *m_busState = nullptr;
    bool m_busOpen = false;
    bool m_hasManufactureEntry = false;
};
