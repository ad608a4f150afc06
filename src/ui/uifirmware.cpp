#include "uifirmware.h"

#include "can/canservice.h"
#include "log/logger.h"
#include "uifirmwareupdatedialog.h"
#include "upgrade/firmwareimage.h"
#include "upgrade/imageversion.h"
#include "upgrade/uartservice.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const FontFamily = "Microsoft YaHei";
const int ItemFontSize = 12;
const int HeadingFontSize = 16;
const int ResultFontSize = 50;
const int LogFontSize = 12;
const int FieldWidth = 480;

const char *const SuccessStyle = "color:#1DBF97;";
const char *const SendingStyle = "color:black;";
const char *const FailedStyle = "color:red;";

QString numbers(const QList<int> &devIds)
{
    QStringList texts;
    for (int devId : devIds)
        texts.append(QString::number(devId));
    return texts.join(QStringLiteral(", "));
}

QLabel *makeLabel(const QString &text, const char *objectName, int pointSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setFont(QFont(QLatin1String(FontFamily), pointSize));
    return label;
}

QLineEdit *makeField(QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("FirmwareItemLineEdit"));
    edit->setFont(QFont(QLatin1String(FontFamily), ItemFontSize));
    edit->setReadOnly(true);
    return edit;
}

QPushButton *makeButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("FirmwareButton"));
    button->setFont(QFont(QLatin1String(FontFamily), ItemFontSize));
    return button;
}

// Field bytes as the battery sends them: Latin-1 text up to the first NUL byte.
QString fieldText(const QByteArray &bytes)
{
    return FirmwareImage::latin1Text(bytes);
}

} // namespace

UiFirmware::UiFirmware(QWidget *parent)
    : QWidget(parent)
{
    m_serialNumber = makeField(this);
    m_modelNumber = makeField(this);
    m_firmwareVersion = makeField(this);
    for (QLineEdit *field : { m_serialNumber, m_modelNumber, m_firmwareVersion })
        field->setFixedWidth(FieldWidth);

    auto *identity = new QGridLayout;
    identity->setHorizontalSpacing(20);
    identity->addWidget(
        makeLabel(tr("Manufacturing Info"), "FirmwareHeadingLabel", HeadingFontSize, this), 0, 0, 1,
        3);
    identity->addWidget(
        makeLabel(tr("Serial Number"), "FirmwareItemLabel", ItemFontSize, this), 1, 0);
    identity->addWidget(m_serialNumber, 1, 1);
    identity->addWidget(
        makeLabel(tr("Model Number"), "FirmwareItemLabel", ItemFontSize, this), 2, 0);
    identity->addWidget(m_modelNumber, 2, 1);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: #25F5C5;"));
    identity->addWidget(line, 3, 0, 1, 3);
    identity->addWidget(
        makeLabel(tr("BMS Info"), "FirmwareHeadingLabel", HeadingFontSize, this), 4, 0, 1, 3);
    identity->addWidget(
        makeLabel(tr("Firmware Version"), "FirmwareItemLabel", ItemFontSize, this), 5, 0);
    identity->addWidget(m_firmwareVersion, 5, 1);
    identity->setColumnStretch(2, 1);

    m_result = makeLabel(tr("SUCCESS"), "FirmwareResultLabel", ResultFontSize, this);
    QFont resultFont = m_result->font();
    resultFont.setBold(true);
    m_result->setFont(resultFont);
    m_result->setAlignment(Qt::AlignCenter);
    m_result->setStyleSheet(QLatin1String(SuccessStyle));

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("FirmwareLogEdit"));
    m_log->setReadOnly(true);
    m_log->setFont(QFont(QLatin1String(FontFamily), LogFontSize));
    m_log->setMaximumBlockCount(MaxLogBlocks);
    m_clear = makeButton(tr("CLEAR"), this);
    m_clear->setObjectName(QStringLiteral("FirmwareClearButton"));
    auto *clearRow = new QHBoxLayout;
    clearRow->addStretch();
    clearRow->addWidget(m_clear);

    m_path = makeField(this);
    m_select = makeButton(tr("Select File"), this);
    auto *imageRow = new QHBoxLayout;
    imageRow->addWidget(m_path, 1);
    imageRow->addWidget(m_select);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("FirmwareUpgradeProgressBar"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_start = makeButton(tr("START"), this);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_start);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 20, 30, 20);
    layout->setSpacing(12);
    layout->addLayout(identity);
    layout->addWidget(m_result);
    layout->addWidget(m_log, 1);
    layout->addLayout(clearRow);
    layout->addLayout(imageRow);
    layout->addLayout(progressRow);

    m_thread = new QThread(this);
    m_thread->start(QThread::InheritPriority);
    m_uart = new UartService;
    connect(m_uart, &UartService::upgradeProgress, m_progress, &QProgressBar::setValue);
    connect(m_uart, &UartService::newData, this, &UiFirmware::OnNewData);
    connect(m_uart, &UartService::newState, this, &UiFirmware::OnNewState);
    connect(m_uart, &UartService::upgradeResult, this, &UiFirmware::OnUpgradeResult);
    connect(m_uart, &UartService::upgradeResult, this, [this] { m_uartUpgrading = false; });
    m_uart->moveToThread(m_thread);

    CanService *can = CanService::instance();
    connect(can, &CanService::upgradeProgress, m_progress, &QProgressBar::setValue);
    connect(can, &CanService::upgradeFinished, this, &UiFirmware::OnUpgradeResult);
    connect(can, &CanService::newUpgradeData, this, &UiFirmware::OnNewData);
    connect(can, &CanService::newUpgradeState, this, &UiFirmware::OnNewState);
    connect(can, &CanService::bootAnswersCollected, this, &UiFirmware::OnBootAnswers);
    connect(can, &CanService::leftInBootLoaders, this, &UiFirmware::OnLeftInBootLoaders);
    connect(can, &CanService::rosterJudged, this, &UiFirmware::OnRosterJudged);
    connect(m_clear, &QPushButton::clicked, m_log, &QPlainTextEdit::clear);
    connect(m_select, &QPushButton::clicked, this, &UiFirmware::OnClickSelect);
    connect(m_start, &QPushButton::clicked, this, &UiFirmware::OnClickStart);

    m_devId = -1;
    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiFirmware::OnTimerTimeout);
    m_timer->start();
}

UiFirmware::~UiFirmware()
{
    // The service and its port go with the thread's last deferred deletions.
    m_uart->deleteLater();
    m_thread->quit();
    m_thread->wait();
}

void UiFirmware::OnNewComPort(QString comPort)
{
    m_comPort = comPort;
}

void UiFirmware::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}

void UiFirmware::OnClickSelect()
{
    UiFirmwareUpdateDialog dialog(QStringLiteral("V1.0"));
    connect(&dialog, qOverload<QString, QByteArray>(&UiFirmwareUpdateDialog::confirmedPath), this,
        qOverload<QString, QByteArray>(&UiFirmware::OnConfirmPath));
    connect(&dialog,
        qOverload<QString, QStringList, uint, QByteArray>(&UiFirmwareUpdateDialog::confirmedPath),
        this, qOverload<QString, QStringList, uint, QByteArray>(&UiFirmware::OnConfirmPath));
    connect(&dialog, &UiFirmwareUpdateDialog::fileRefused, this,
        [this](const QString &text) { m_log->appendPlainText(text + QLatin1Char('\n')); });
    dialog.exec();
}

void UiFirmware::OnConfirmPath(QString path, QByteArray binData)
{
    m_path->setText(path);
    m_binData = binData;
    m_upgradePath = UpgradePath::Serial;
}

void UiFirmware::OnConfirmPath(
    QString path, QStringList s19Data, uint chkSum, QByteArray bootVersion)
{
    m_path->setText(path);
    m_s19Data = s19Data;
    m_chkSum = chkSum;
    m_bootVersion = bootVersion;
    m_upgradePath = UpgradePath::Can;
}

void UiFirmware::OnClickStart()
{
    m_readingBack = false;
    m_log->clear();
    m_progress->setValue(0);
    showResult(tr("SENDING"), QLatin1String(SendingStyle));

    switch (m_upgradePath) {
    case UpgradePath::Undecided:
        refuse(tr("UiFirmware::OnClickStart: Please select a upgrade file first."));
        break;
    case UpgradePath::Serial:
        upgradeByUart();
        break;
    case UpgradePath::Can:
        upgradeByCan();
        break;
    }
}

void UiFirmware::upgradeByUart()
{
    if (m_comPort.isEmpty()) {
        refuse(tr("UiFirmware::upgradeByUart: Please select a com port first."));
        return;
    }
    if (m_binData.isEmpty()) {
        refuse(tr("UiFirmware::upgradeByUart: Please select a upgrade file first."));
        return;
    }
    if (!confirmedFileUnchanged())
        return;
    QMetaObject::invokeMethod(m_uart, "startUpgrading", Qt::AutoConnection,
        Q_ARG(QString, m_comPort), Q_ARG(QByteArray, m_binData));
    m_uartUpgrading = true;
}

void UiFirmware::upgradeByCan()
{
    if (m_s19Data.isEmpty()) {
        refuse(tr("UiFirmware::upgradeByCan: Please select a upgrade file first."));
        return;
    }
    if (!confirmedFileUnchanged())
        return;
    CanService::instance()->startUpgrading(m_s19Data, m_chkSum, m_bootVersion);
}

bool UiFirmware::isUpgrading() const
{
    return m_uartUpgrading || CanService::instance()->upgradeState() != CanService::US_IDLE;
}

void UiFirmware::stopUpgrading()
{
    CanService::instance()->stopUpgrading();
    if (m_uartUpgrading)
        QMetaObject::invokeMethod(m_uart, "stopUpgrading", Qt::BlockingQueuedConnection);
    m_uartUpgrading = false;
}

bool UiFirmware::confirmedFileUnchanged()
{
    const QString path = m_path->text();
    const bool serial = m_upgradePath == UpgradePath::Serial;
    const FirmwareImage now
        = FirmwareImage::read(path, serial ? FirmwareImage::BinImage : FirmwareImage::S19Image);
    if (now.error == FirmwareImage::CannotOpen) {
        refuse(tr("UiFirmware::OnClickStart: the upgrade file is gone; please select it again: ")
            + path);
        return false;
    }
    const bool same = serial ? now.isValid() && now.binData == m_binData
                             : now.isValid() && now.s19Data == m_s19Data && now.chkSum == m_chkSum
            && now.bootVersion == m_bootVersion;
    if (!same) {
        refuse(tr("UiFirmware::OnClickStart: the upgrade file has changed since it was chosen; "
                  "please select it again: ")
            + path);
        return false;
    }
    return true;
}

void UiFirmware::refuse(const QString &text)
{
    tell(text);
    showResult(tr("FAILED"), QLatin1String(FailedStyle));
}

void UiFirmware::tell(const QString &text)
{
    m_log->appendPlainText(text + QLatin1Char('\n'));
    QLOG_WARN() << text;
}

void UiFirmware::OnBootAnswers(QList<int> answered, QList<int> missing)
{
    if (missing.isEmpty())
        return;
    tell(tr("UiFirmware::OnBootAnswers: no answer to the boot request from BMS %1: it keeps its "
            "firmware. The upgrade goes on with BMS %2.")
             .arg(numbers(missing), numbers(answered)));
}

void UiFirmware::OnLeftInBootLoaders(QList<int> devIds)
{
    tell(tr("UiFirmware::OnLeftInBootLoaders: BMS %1 wait in the boot loader. Press START with "
            "the same file again to bring them back.")
             .arg(numbers(devIds)));
}

void UiFirmware::note(const QString &text)
{
    m_log->appendPlainText(text + QLatin1Char('\n'));
    QLOG_INFO() << text;
}

void UiFirmware::OnRosterJudged(QList<int> finished, QMap<int, QString> notFinished)
{
    QList<int> roster = finished + notFinished.keys();
    std::sort(roster.begin(), roster.end());
    for (int devId : roster) {
        if (finished.contains(devId))
            note(tr("UiFirmware::OnRosterJudged: BMS %1 finished the upgrade.").arg(devId));
        else
            tell(tr("UiFirmware::OnRosterJudged: BMS %1 %2.")
                     .arg(devId)
                     .arg(notFinished.value(devId)));
    }
    const QString summary = tr("UiFirmware::OnRosterJudged: %1 of %2 BMS finished the upgrade.")
                                .arg(finished.size())
                                .arg(roster.size());
    if (!notFinished.isEmpty()) {
        tell(summary);
        return;
    }
    note(summary);
    m_readingBack = true;
    m_readBack = finished;
    m_imageVersion = fieldText(ImageVersion::ofS19(m_s19Data));
    m_wrongVersion.clear();
    m_readBackTime.start();
}

void UiFirmware::readBackVersions()
{
    // Each read waits for its reply in a local event loop, where the next refresh, or START,
    // may come: what they did stands.
    CanService *can = CanService::instance();
    for (int devId : QList<int>(m_readBack)) {
        QByteArray bytes;
        const bool read = can->readFirmwareVersion(uchar(devId), bytes) == CanService::Success;
        if (!m_readingBack)
            return;
        if (!read || !m_readBack.removeOne(devId))
            continue;
        const QString version = fieldText(bytes);
        if (version == m_imageVersion) {
            note(tr("UiFirmware::OnTimerTimeout: BMS %1 runs the image's firmware %2.")
                     .arg(devId)
                     .arg(version));
        } else {
            tell(tr("UiFirmware::OnTimerTimeout: BMS %1 reports firmware %2, not the image's %3.")
                     .arg(devId)
                     .arg(version, m_imageVersion));
            m_wrongVersion.append(devId);
        }
    }
    if (!m_readBack.isEmpty() && m_readBackTime.elapsed() < ReadBackMs)
        return;
    for (int devId : qAsConst(m_readBack)) {
        tell(tr("UiFirmware::OnTimerTimeout: BMS %1 did not report its firmware version within "
                "%2 s.")
                 .arg(devId)
                 .arg(ReadBackMs / 1000));
        m_wrongVersion.append(devId);
    }
    m_readingBack = false;
    if (m_wrongVersion.isEmpty()) {
        note(tr("UiFirmware::OnTimerTimeout: every BMS runs the image's firmware %1.")
                 .arg(m_imageVersion));
        return;
    }
    std::sort(m_wrongVersion.begin(), m_wrongVersion.end());
    tell(tr("UiFirmware::OnTimerTimeout: BMS %1 do not run the image's firmware %2.")
             .arg(numbers(m_wrongVersion), m_imageVersion));
    showResult(tr("FAILED"), QLatin1String(FailedStyle));
}

void UiFirmware::showResult(const QString &text, const QString &styleSheet)
{
    m_result->setText(text);
    m_result->setStyleSheet(styleSheet);
}

void UiFirmware::OnNewData(QString data)
{
    // Each entry is followed by an empty line.
    m_log->appendPlainText(data + QLatin1Char('\n'));
    QLOG_DEBUG() << data;
}

void UiFirmware::OnNewState(QString state)
{
    m_log->appendPlainText(state + QLatin1Char('\n'));
    QLOG_WARN() << state;
}

void UiFirmware::OnUpgradeResult(bool success)
{
    if (success) {
        showResult(tr("SUCCESS"), QLatin1String(SuccessStyle));
        m_progress->setValue(100);
    } else {
        showResult(tr("FAILED"), QLatin1String(FailedStyle));
    }
}

void UiFirmware::OnTimerTimeout()
{
    if (m_readingBack)
        readBackVersions();
    // Device numbers travel as one byte; nothing answers to a larger one.
    if (m_devId < 0 || m_devId > 0xFF)
        return;
    CanService *can = CanService::instance();
    const auto devId = uchar(m_devId);
    QByteArray bytes;
    if (can->readBatteryCode(devId, bytes) == CanService::Success)
        m_serialNumber->setText(fieldText(bytes));
    if (can->readModelCode(devId, bytes) == CanService::Success)
        m_modelNumber->setText(fieldText(bytes));
    if (can->readFirmwareVersion(devId, bytes) == CanService::Success)
        m_firmwareVersion->setText(fieldText(bytes));
}
