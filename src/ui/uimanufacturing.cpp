#include "uimanufacturing.h"

#include "can/canservice.h"
#include "log/logger.h"
#include "signals/batterybank.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString ItemLabelName = QStringLiteral("ManufacturingItemLabel");
const QString ItemEditName = QStringLiteral("ManufacturingItemLineEdit");
const QString ItemButtonName = QStringLiteral("ManufacturingItemButton");
const QString PassLabelName = QStringLiteral("ManufacturingPassLabel");
const QString FailedLabelName = QStringLiteral("ManufacturingFailedLabel");

// The verdict's looks but for its colour.
const QString ResultStyle = QStringLiteral(
    "QLabel#ManufacturingResult{margin-bottom: 0px;border: 0px solid black;font: normal bold 80px "
    "\"Microsoft YaHei\";qproperty-alignment: 'AlignVCenter | AlignHCenter';color: %1;}");

// Room for 32 characters of a code in the edit's font.
const int EditWidth = 460;
const int ItemLabelWidth = 180;
const int ButtonWidth = 120;
const int RowHeight = 40;
const int StatisticsWidth = 300;
const int ResultHeight = 150;

// Digits a device number and a serial's running number are written with, at least.
const int DeviceIdDigits = 2;
const int SerialNumberDigits = 3;

// Columns of the form: the item's name, its field, then one column per kind of button, so
// that every Read, every Write and every Increase line up under each other.
enum Column { NameColumn, FieldColumn, ReadColumn, WriteColumn, IncreaseColumn };

QString zeroPadded(uint number, int digits)
{
    return QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
}

} // namespace

UiManufacturing::UiManufacturing(
    const AbstractSignalValue *source, CanService *service, QWidget *parent)
    : QWidget(parent)
    , m_source(source)
    , m_service(service)
{
    auto *heading = new QLabel(tr("Product Serial Code"), this);
    heading->setObjectName(QStringLiteral("ManufacturingProduceCode"));

    auto itemLabel = [this](const QString &text) {
        auto *label = new QLabel(text, this);
        label->setObjectName(ItemLabelName);
        label->setFixedSize(ItemLabelWidth, RowHeight);
        return label;
    };
    auto itemEdit = [this](const QString &text) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(ItemEditName);
        edit->setFixedSize(EditWidth, RowHeight);
        return edit;
    };

    m_deviceIdEdit = itemEdit(QStringLiteral("01"));
    // Checks typing only; Increase and Write enforce the range themselves.
    m_deviceIdEdit->setValidator(new QIntValidator(0, BatteryBank::MaxDeviceId, m_deviceIdEdit));
    m_serialEdit = itemEdit(QStringLiteral("QM20210520001"));
    m_serialEdit->setMaxLength(CodeLength);
    m_modelEdit = itemEdit(QString());
    // The battery keeps 32 characters; a longer model code would lose its end there.
    m_modelEdit->setMaxLength(CodeLength);
    m_timeEdit = itemEdit(QString());
    m_timeEdit->setReadOnly(true);

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(14);
    int row = 0;
    auto addRow = [&](const QString &name, QLineEdit *field) {
        form->addWidget(itemLabel(name), row, NameColumn);
        if (field)
            form->addWidget(field, row, FieldColumn);
        return row++;
    };
    const int deviceRow = addRow(tr("Battery ID"), m_deviceIdEdit);
    form->addWidget(makeButton(WriteDeviceId, tr("Write"), &UiManufacturing::OnClickWriteDeviceId),
        deviceRow, WriteColumn);
    form->addWidget(
        makeButton(IncreaseDeviceId, tr("Increase"), &UiManufacturing::OnClickIncreaseDeviceId),
        deviceRow, IncreaseColumn);
    const int serialRow = addRow(tr("Serial Number"), m_serialEdit);
    form->addWidget(makeButton(ReadSerial, tr("Read"), &UiManufacturing::OnClickReadSerial),
        serialRow, ReadColumn);
    form->addWidget(makeButton(WriteSerial, tr("Write"), &UiManufacturing::OnClickWriteSerial),
        serialRow, WriteColumn);
    form->addWidget(
        makeButton(IncreaseSerial, tr("Increase"), &UiManufacturing::OnClickIncreaseSerial),
        serialRow, IncreaseColumn);
    const int modelRow = addRow(tr("Model Number"), m_modelEdit);
    form->addWidget(makeButton(ReadModel, tr("Read"), &UiManufacturing::OnClickReadModel), modelRow,
        ReadColumn);
    form->addWidget(makeButton(WriteModel, tr("Write"), &UiManufacturing::OnClickWriteModel),
        modelRow, WriteColumn);
    addRow(tr("Time Calibration"), m_timeEdit);
    const int energyRow = addRow(tr("History Energy"), nullptr);
    form->addWidget(
        makeButton(ClearHistoryEnergy, tr("Clear"), &UiManufacturing::OnClickClearHistoryEnergy),
        energyRow, FieldColumn, Qt::AlignLeft);
    form->setColumnStretch(IncreaseColumn + 1, 1);

    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("ManufacturingResult"));
    m_result->setMinimumHeight(ResultHeight);
    m_log = new QTextEdit(this);
    m_log->setObjectName(QStringLiteral("ManufacturingLog"));
    auto *verdict = new QVBoxLayout;
    verdict->addWidget(m_result);
    verdict->addWidget(m_log, 1);

    auto *statistics = new QGroupBox(tr("Statistics"), this);
    statistics->setObjectName(QStringLiteral("ManufacturingStatisticGroupBox"));
    statistics->setFixedWidth(StatisticsWidth);
    auto countLabel = [statistics](const QString &text, const QString &name) {
        auto *label = new QLabel(text, statistics);
        label->setObjectName(name);
        return label;
    };
    m_passCountLabel = countLabel(QString(), PassLabelName);
    m_failedCountLabel = countLabel(QString(), FailedLabelName);
    auto *counts = new QGridLayout(statistics);
    counts->setHorizontalSpacing(16);
    counts->setVerticalSpacing(18);
    counts->addWidget(countLabel(tr("PASS:"), PassLabelName), 0, 0);
    counts->addWidget(m_passCountLabel, 0, 1);
    counts->addWidget(countLabel(tr("NG:"), FailedLabelName), 1, 0);
    counts->addWidget(m_failedCountLabel, 1, 1);
    counts->setColumnStretch(1, 1);
    counts->setRowStretch(2, 1);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(20);
    bottom->addLayout(verdict, 1);
    bottom->addWidget(statistics);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 20, 30, 20);
    layout->setSpacing(20);
    layout->addWidget(heading);
    layout->addLayout(form);
    layout->addLayout(bottom, 1);

    // The page opens showing PASS with nothing counted.
    showResult(true);
    clearCount();

    // Runs whether or not the page is shown, like every live page.
    m_checkTimer = new QTimer(this);
    m_checkTimer->setInterval(CheckIntervalMs);
    connect(m_checkTimer, &QTimer::timeout, this, &UiManufacturing::OnCheckSyncResult);
    m_checkTimer->start();
}

QPushButton *UiManufacturing::makeButton(
    Action action, const QString &text, void (UiManufacturing::*slot)())
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(ItemButtonName);
    button->setFixedSize(ButtonWidth, RowHeight);
    connect(button, &QPushButton::clicked, this, slot);
    m_buttons[action] = button;
    return button;
}

QPushButton *UiManufacturing::button(Action action) const
{
    return action >= 0 && action < ActionCount ? m_buttons[action] : nullptr;
}

QString UiManufacturing::passStyle()
{
    return ResultStyle.arg(QStringLiteral("#43ce97"));
}

QString UiManufacturing::failedStyle()
{
    return ResultStyle.arg(QStringLiteral("red"));
}

void UiManufacturing::Slot_ShowMonitorData(uint devId)
{
    m_devId = devId;
}

void UiManufacturing::showResult(bool pass)
{
    if (pass) {
        m_result->setText(QStringLiteral("PASS"));
        m_result->setStyleSheet(passStyle());
        addPassCount();
    } else {
        m_result->setText(QStringLiteral("NG"));
        m_result->setStyleSheet(failedStyle());
        addFailedCount();
    }
}

void UiManufacturing::addPassCount()
{
    m_passCountLabel->setText(QString::number(++m_passCount));
}

void UiManufacturing::addFailedCount()
{
    m_failedCountLabel->setText(QString::number(++m_failedCount));
}

void UiManufacturing::clearCount()
{
    m_passCount = 0;
    m_failedCount = 0;
    m_passCountLabel->setText(QStringLiteral("0"));
    m_failedCountLabel->setText(QStringLiteral("0"));
}

void UiManufacturing::OnClickWriteDeviceId()
{
    const QString text = m_deviceIdEdit->text();
    if (text.isEmpty())
        return;
    // Increase stops at 27 and the validator refuses typing beyond it, but a number above 27
    // must never reach the bus: sent as its low byte, 300 would make the battery 44, which
    // nobody can address, and 256 would make it 0 beside the battery that already is.
    bool isNumber = false;
    const uint newId = text.toUInt(&isNumber, 10);
    if (!isNumber || newId > uint(BatteryBank::MaxDeviceId)) {
        QLOG_WARN() << qPrintable(
            QStringLiteral("UiManufacturing::OnClickWriteDeviceId: refused device ID %1, the "
                           "highest is %2.")
                .arg(text)
                .arg(BatteryBank::MaxDeviceId));
        showResult(false);
        return;
    }
    if (m_service->setDeviceId(uchar(newId)) < 0) {
        QLOG_WARN() << "UiManufacturing::OnClickWriteDeviceId: failed to set device ID.";
        showResult(false);
        return;
    }
    showResult(true);
}

void UiManufacturing::OnClickIncreaseDeviceId()
{
    bool isNumber = false;
    uint number = m_deviceIdEdit->text().toUInt(&isNumber, 10);
    if (!isNumber)
        number = 0;
    // At 27 the batch has used every number the bus has; staying there silently would have the
    // next Write give a second battery the number 27.
    if (number >= uint(BatteryBank::MaxDeviceId)) {
        QLOG_WARN() << qPrintable(
            QStringLiteral("UiManufacturing::OnClickIncreaseDeviceId: device ID %1 is the "
                           "highest, not increased.")
                .arg(BatteryBank::MaxDeviceId));
        m_deviceIdEdit->setText(zeroPadded(uint(BatteryBank::MaxDeviceId), DeviceIdDigits));
        showResult(false);
        return;
    }
    m_deviceIdEdit->setText(zeroPadded(number + 1, DeviceIdDigits));
}

QString UiManufacturing::codeText(const QByteArray &code)
{
    const int end = code.indexOf('\0');
    return QString::fromLatin1(end < 0 ? code : code.left(end));
}

void UiManufacturing::OnClickReadSerial()
{
    QByteArray code;
    if (m_service->readBatteryCode(uchar(m_devId), code) != 0) {
        QLOG_WARN() << "UiManufacturing::OnClickReadSerial: failed to read battery code.";
        showResult(false);
        return;
    }
    m_serialEdit->setText(codeText(code));
    showResult(true);
}

void UiManufacturing::OnClickWriteSerial()
{
    const QString text = m_serialEdit->text();
    if (text.isEmpty())
        return;
    if (m_service->writeBatteryCode(uchar(m_devId), text.toLatin1()) < 0) {
        QLOG_WARN() << "UiManufacturing::OnClickWriteSerial: failed to write battery code.";
        showResult(false);
        return;
    }
    showResult(true);
}

void UiManufacturing::OnClickIncreaseSerial()
{
    // The running number is the last three characters. A text shorter than that is kept whole
    // and the number starts after it (AB becomes AB001); an empty one becomes 001.
    const QString text = m_serialEdit->text();
    const int headLength
        = text.size() >= SerialNumberDigits ? text.size() - SerialNumberDigits : text.size();
    bool isNumber = false;
    uint number = text.right(SerialNumberDigits).toUInt(&isNumber, 10);
    if (!isNumber)
        number = 0;
    const QString increased = text.left(headLength) + zeroPadded(number + 1, SerialNumberDigits);
    // 999 grows into 1000. A serial already as long as the field has no room for that: the
    // field would cut the last digit off, and the battery would get a wrong number without
    // anyone noticing. Such a serial is not increased at all, so a full-length batch never
    // runs into the cut half way.
    if (text.size() >= m_serialEdit->maxLength() || increased.size() > m_serialEdit->maxLength()) {
        QLOG_WARN() << qPrintable(
            QStringLiteral("UiManufacturing::OnClickIncreaseSerial: serial number %1 has no room "
                           "to increase within %2 characters, not increased.")
                .arg(text)
                .arg(m_serialEdit->maxLength()));
        showResult(false);
        return;
    }
    m_serialEdit->setText(increased);
}

void UiManufacturing::OnClickReadModel()
{
    QByteArray code;
    if (m_service->readModelCode(uchar(m_devId), code) != 0) {
        QLOG_WARN() << "UiManufacturing::OnClickReadModel: failed to read model code.";
        showResult(false);
        return;
    }
    m_modelEdit->setText(codeText(code));
    showResult(true);
}

void UiManufacturing::OnClickWriteModel()
{
    const QString text = m_modelEdit->text();
    if (text.isEmpty())
        return;
    if (m_service->writeModelCode(uchar(m_devId), text.toLatin1()) < 0) {
        QLOG_WARN() << "UiManufacturing::OnClickWriteModel: failed to write model code.";
        showResult(false);
        return;
    }
    showResult(true);
}

void UiManufacturing::OnClickClearHistoryEnergy()
{
    if (m_service->clearHistoryEnergy(uchar(m_devId)) < 0) {
        QLOG_WARN()
            << "UiManufacturing::OnClickClearHistoryEnergy: failed to clear history energy.";
        showResult(false);
        return;
    }
    showResult(true);
}

void UiManufacturing::OnCheckSyncResult()
{
    // An offline battery shows NG even when its clock was set earlier: the check vouches only
    // for a battery that is on the bus now.
    const bool pending = m_service->isRtcSyncPending(uchar(m_devId));
    const bool offline = m_source
        && m_source->value(int(m_devId), Signal::SysStatus).toUInt() == SignalValues::OfflineStatus;
    m_timeEdit->setText(pending || offline ? tr("NG") : tr("OK"));
}
