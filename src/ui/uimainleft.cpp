#include "uimainleft.h"

#include "can/adaptertype.h"
#include "can/canservice.h"
#include "log/logger.h"
#include "settings/appconfig.h"
#include "uilefttreecategory.h"
#include "upgradestopquestion.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int EntryHeight = 40;
const int CanButtonHeight = 40;

const char *const GeneralIcon
    = "QLabel{border-image: url(:/resource/Icon/general.png);border: 0px;border-radius: "
      "0px;min-width: 25px;max-width: 25px;min-height: 41px;max-height: 41px;}";
const char *const HistoryIcon
    = "QLabel{border-image: url(:/resource/Icon/history.png);border: 0px;border-radius: "
      "0px;min-width: 41px;max-width: 41px;min-height: 34px;max-height: 34px;}";
const char *const SettingsIcon
    = "QLabel{border-image: url(:/resource/Icon/settings.png);border: 0px;border-radius: "
      "0px;min-width: 40px;max-width: 40px;min-height: 39px;max-height: 39px;}";

} // namespace

UiMainLeft::UiMainLeft(CanService *service, QWidget *parent)
    : QFrame(parent)
    , m_service(service)
{
    setFixedWidth(BarWidth);

    auto *general = new UiLeftTreeCategory(QLatin1String(GeneralIcon), tr("GENERAL"), this);
    auto *history = new UiLeftTreeCategory(QLatin1String(HistoryIcon), tr("HISTORY"), this);
    auto *settings = new UiLeftTreeCategory(QLatin1String(SettingsIcon), tr("SETTINGS"), this);

    const QStringList texts = { tr("BASE INFO"), tr("PARALLEL INFO"), tr("HISTORY DATA"),
        tr("LOGS HISTORY"), tr("PARAMETER"), tr("FIRMWARE"), tr("MANUFACTURE") };
    m_group = new QButtonGroup(this);
    for (int id = 0; id < EntryCount; ++id) {
        auto *button = new QPushButton(texts.at(id), this);
        button->setFixedHeight(EntryHeight);
        button->setStyleSheet(entryStyle(false));
        m_group->addButton(button, id);
    }
    m_group->button(BaseInfo)->setObjectName(QStringLiteral("MainLeftButton"));

    m_typeLabel = new QLabel(tr("TYPE"), this);
    m_typeLabel->setObjectName(QStringLiteral("MainLeftCanTypeLabel"));
    m_typeCombo = new QComboBox(this);
    m_typeCombo->setObjectName(QStringLiteral("MainLeftCanTypeCombox"));
    for (const AdapterType::Entry &entry : AdapterType::All) {
        m_typeCombo->addItem(QString::fromLatin1(entry.name));
        if (entry.code == AdapterType::Default)
            m_typeCombo->setCurrentIndex(m_typeCombo->count() - 1);
    }

    m_openCan = new QPushButton(tr("OPEN CAN-BUS"), this);
    m_openCan->setObjectName(QStringLiteral("MainLeftOpenCan"));
    m_openCan->setFixedHeight(CanButtonHeight);
    m_openCan->setStyleSheet(openCanStyle(false));
    m_closeCan = new QPushButton(tr("CLOSE CAN-BUS"), this);
    m_closeCan->setObjectName(QStringLiteral("MainLeftCloseCan"));
    m_closeCan->setFixedHeight(CanButtonHeight);
    m_openCan->setToolTip(tr("Open the CAN bus with the adapter type above"));
    m_closeCan->setToolTip(tr("Close the CAN bus; the values shown stay as last heard"));
    m_busState = new QLabel(this);
    m_busState->setObjectName(QStringLiteral("MainLeftBusState"));
    m_busState->setAlignment(Qt::AlignCenter);

    auto *typeRow = new QHBoxLayout;
    typeRow->setSpacing(0);
    typeRow->addWidget(m_typeLabel);
    typeRow->addWidget(m_typeCombo, 1);

    // Without "pages=all", MANUFACTURE stays hidden either way; "product" only decides
    // whether it is laid out.
    const bool allPages = AppConfig::readAllPages();
    m_hasManufactureEntry = AppConfig::readProductEntry() || allPages;

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(m_group->button(BaseInfo));
    layout->addWidget(m_group->button(ParallelInfo));
    layout->addWidget(history);
    layout->addWidget(m_group->button(HistoryData));
    layout->addWidget(m_group->button(LogsHistory));
    layout->addWidget(settings);
    layout->addWidget(m_group->button(Parameter));
    layout->addWidget(m_group->button(Firmware));
    if (m_hasManufactureEntry)
        layout->addWidget(m_group->button(Manufacture));
    layout->addStretch();
    layout->addLayout(typeRow);
    layout->addWidget(m_openCan);
    layout->addWidget(m_closeCan);
    layout->addWidget(m_busState);
    showBusState();

    if (!allPages) {
        m_group->button(ParallelInfo)->hide();
        history->hide();
        m_group->button(HistoryData)->hide();
        m_group->button(LogsHistory)->hide();
        m_group->button(Manufacture)->hide();
    }

    connect(m_group, &QButtonGroup::idClicked, this, &UiMainLeft::OnClickButton);
    connect(m_openCan, &QPushButton::clicked, this, &UiMainLeft::Slot_openCanBusClicked);
    connect(m_closeCan, &QPushButton::clicked, this, &UiMainLeft::Slot_closeCanBusClicked);

    OnClickButton(BaseInfo);
}

UiMainLeft::~UiMainLeft()
{
    closeBus();
}

int UiMainLeft::deviceTypeForIndex(int index)
{
    if (index < 0 || index >= int(AdapterType::All.size()))
        return AdapterType::Default;
    return AdapterType::All[size_t(index)].code;
}

QString UiMainLeft::entryStyle(bool selected)
{
    return QStringLiteral("QPushButton{font: normal normal 15px \"Microsoft YaHei\";text-align: "
                          "right;color: black;background-color: %1;border: 0px;border-radius: "
                          "0px;}")
        .arg(selected ? QStringLiteral("#93fee7") : QStringLiteral("white"));
}

QString UiMainLeft::openCanStyle(bool busOpen)
{
    // Red text is the only sign in the window that the bus is open.
    const QString color = busOpen ? QStringLiteral("color: red;") : QString();
    return QStringLiteral("QPushButton{font: normal normal 15px \"Microsoft YaHei\";%1border: 0px;"
                          "border-radius: 10px;background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 #a0a0a0, stop:0.5 #c0c0c0, stop:1 #a0a0a0);}"
                          "QPushButton:hover{background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 #c0c0c0, stop:0.5 #a0a0a0, stop:1 #c0c0c0);}")
        .arg(color);
}

QAbstractButton *UiMainLeft::entryButton(int id) const
{
    return m_group->button(id);
}

void UiMainLeft::OnClickButton(int index)
{
    emit changeStackWidget(index);
    const QList<QAbstractButton *> buttons = m_group->buttons();
    for (QAbstractButton *button : buttons)
        button->setStyleSheet(entryStyle(m_group->id(button) == index));
}

void UiMainLeft::Slot_openCanBusClicked()
{
    const int deviceType = deviceTypeForIndex(m_typeCombo->currentIndex());
    const int result = m_service->initService(deviceType, 0, true, 0, BaudKbps);
    if (result < 0) {
        QMessageBox::information(
            this, tr("Info"), tr("open can failed!"), QMessageBox::Yes, QMessageBox::Yes);
        QLOG_WARN() << "UiMainLeft::Slot_openCanBusClicked: failed to open can.";
        return;
    }
    QLOG_INFO() << "UiMainLeft::Slot_openCanBusClicked: can opened.";
    setBusOpen(true);
}

void UiMainLeft::Slot_closeCanBusClicked()
{
    // A CAN upgrade cannot go on without the bus; a serial one does not need it.
    if (m_service->upgradeState() != CanService::US_IDLE
        && !UpgradeStopQuestion::confirm(this, tr("Close the CAN bus and stop the upgrade?")))
        return;
    closeBus();
}

void UiMainLeft::showBusState()
{
    m_busState->setText(m_busOpen ? tr("● Bus open") : tr("○ Bus closed"));
    m_busState->setStyleSheet(m_busOpen
            ? QStringLiteral("QLabel{color: #2E9E4F;font: bold 14px \"Microsoft YaHei\";}")
            : QStringLiteral("QLabel{color: #808080;font: bold 14px \"Microsoft YaHei\";}"));
}

void UiMainLeft::closeBus()
{
    // Fails a running upgrade first (CanService::closeService).
    m_service->closeService();
    setBusOpen(false);
    QLOG_INFO() << "UiMainLeft::Slot_closeCanBusClicked: can closed.";
}

void UiMainLeft::setBusOpen(bool open)
{
    m_busOpen = open;
    m_openCan->setStyleSheet(openCanStyle(open));
    showBusState();
    emit busOpenChanged(open);
}
