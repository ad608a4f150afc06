#include "uifirmwareupdatedialog.h"

#include "log/logger.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QLineEdit *makeEdit(QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("FirmwareItemLineEdit"));
    return edit;
}

} // namespace

UiFirmwareUpdateDialog::UiFirmwareUpdateDialog(const QString &currentRevision, QWidget *parent)
    : QDialog(parent)
{
    setFixedSize(DialogWidth, DialogHeight);
    setWindowTitle(tr("Firmware Update"));

    auto *tips = makeLabel(tr("Select firmware update per Morvane instructions. Failure to follow "
                              "update procedures may void the warranty. Please restart the "
                              "Brimlet upon completion of the firmware update."),
        "FirmwareUpdateTipsLabel", this);
    tips->setWordWrap(true);

    m_currentRevision = makeEdit(this);
    m_currentRevision->setText(currentRevision);
    m_newRevision = makeEdit(this);
    auto *revisions = new QHBoxLayout;
    revisions->addWidget(makeLabel(tr("Current Rev."), "FirmwareItemLabel", this));
    revisions->addWidget(m_currentRevision);
    revisions->addStretch();
    revisions->addWidget(makeLabel(tr("New Rev."), "FirmwareItemLabel", this));
    revisions->addWidget(m_newRevision);

    m_path = makeEdit(this);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setObjectName(QStringLiteral("FirmwarePathBrowser"));
    auto *file = new QHBoxLayout;
    file->addWidget(makeLabel(tr("Update File:"), "FirmwareItemLabel", this));
    file->addWidget(m_path, 1);
    file->addWidget(m_browse);
    m_refusal = makeLabel(QString(), "FirmwareUpdateRefusalLabel", this);
    m_refusal->setWordWrap(true);
    m_ranges = makeLabel(QString(), "FirmwareUpdateRangesLabel", this);
    m_ranges->setWordWrap(true);

    m_confirm = new QPushButton(tr("CONFIRM"), this);
    m_confirm->setObjectName(QStringLiteral("FirmwareItemConfirm"));
    auto *confirm = new QHBoxLayout;
    auto *busTip = makeLabel(tr("Firmware update might not proceed if CAN-Bus is not connected."),
        "FirmwareUpdateTipsLabel", this);
    busTip->setWordWrap(true);
    confirm->addWidget(busTip, 1);
    confirm->addWidget(m_confirm);

    // The choice at the top, the confirmation at the bottom.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(20);
    layout->addWidget(tips);
    layout->addSpacing(20);
    layout->addLayout(revisions);
    layout->addLayout(file);
    layout->addWidget(m_refusal);
    layout->addWidget(m_ranges);
    layout->addStretch();
    layout->addLayout(confirm);

    connect(m_browse, &QPushButton::clicked, this, &UiFirmwareUpdateDialog::OnClickBrowser);
    connect(m_confirm, &QPushButton::clicked, this, &UiFirmwareUpdateDialog::OnClickConfirm);
}

void UiFirmwareUpdateDialog::OnClickBrowser()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Select Firmware File"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/firmware"),
        tr("upgrade file (*.bin *.s19)"));
    choose(path);
}

void UiFirmwareUpdateDialog::choose(const QString &path)
{
    if (path.isEmpty())
        return;
    if (path.endsWith(QLatin1String(".bin")))
        parseBinData(path);
    else if (path.endsWith(QLatin1String(".s19")))
        parseS19Data(path);
}

void UiFirmwareUpdateDialog::refuse(const QString &text)
{
    m_parsedPath.clear();
    m_image = FirmwareImage();
    m_refusal->setText(text);
    m_ranges->clear();
    emit fileRefused(text);
}

void UiFirmwareUpdateDialog::take(const QString &path, const FirmwareImage &image)
{
    m_image = image;
    m_parsedPath = path;
    m_refusal->clear();
    // A record far from the others shows as a range of its own.
    m_ranges->setText(
        image.ranges.isEmpty() ? QString() : tr("Loads %1").arg(LoadMap::text(image.ranges)));
    m_newRevision->setText(image.revision());
    m_path->setText(path);
}

bool UiFirmwareUpdateDialog::parseBinData(const QString &path)
{
    const FirmwareImage image = FirmwareImage::readBin(path);
    switch (image.error) {
    case FirmwareImage::NoError:
        break;
    case FirmwareImage::CannotOpen:
        QLOG_INFO() << "UiFirmwareUpdateDialog::parseBinData: failed to open bin file: " << path;
        refuse(tr("UiFirmwareUpdateDialog::parseBinData: failed to open bin file: ") + path);
        return false;
    case FirmwareImage::TooShort:
        QLOG_WARN() << "UiFirmwareUpdateDialog::parseBinData: bin file length is less then "
                    << FirmwareImage::RevisionTagSize;
        refuse(tr("UiFirmwareUpdateDialog::parseBinData: bin file length is less then ")
            + QString::number(FirmwareImage::RevisionTagSize) + QStringLiteral(": ") + path);
        return false;
    default:
        QLOG_WARN() << "UiFirmwareUpdateDialog::parseBinData: not a firmware image: " << path;
        refuse(tr("UiFirmwareUpdateDialog::parseBinData: not a firmware image: ") + path);
        return false;
    }
    take(path, image);
    return true;
}

bool UiFirmwareUpdateDialog::parseS19Data(const QString &path)
{
    const FirmwareImage image = FirmwareImage::readS19(path);
    switch (image.error) {
    case FirmwareImage::NoError:
        break;
    case FirmwareImage::CannotOpen:
        QLOG_INFO() << "UiFirmwareUpdateDialog::parseS19Data: failed to open hex file: " << path;
        refuse(tr("UiFirmwareUpdateDialog::parseS19Data: failed to open hex file: ") + path);
        return false;
    case FirmwareImage::NoRecord:
        QLOG_WARN() << "UiFirmwareUpdateDialog::parseS19Data: empty hex data: ";
        refuse(tr("UiFirmwareUpdateDialog::parseS19Data: empty hex data: ") + path);
        return false;
    case FirmwareImage::BadRecord:
    case FirmwareImage::BadImage:
        QLOG_WARN() << "UiFirmwareUpdateDialog::parseS19Data: bad record at line" << image.badLine
                    << ":" << image.badReason << ":" << path;
        refuse(tr("UiFirmwareUpdateDialog::parseS19Data: bad record at line %1: %2: %3")
                   .arg(image.badLine)
                   .arg(image.badReason, path));
        return false;
    default:
        QLOG_WARN() << "UiFirmwareUpdateDialog::parseS19Data: not a firmware image: " << path;
        refuse(tr("UiFirmwareUpdateDialog::parseS19Data: not a firmware image: ") + path);
        return false;
    }
    take(path, image);
    return true;
}

void UiFirmwareUpdateDialog::OnClickConfirm()
{
    const QString path = m_path->text();
    // A path typed by hand, or left over from a file that was refused since, has no data that
    // belongs to it.
    if (!path.isEmpty() && path == m_parsedPath) {
        if (m_image.kind == FirmwareImage::BinImage)
            emit confirmedPath(path, m_image.binData);
        else if (m_image.kind == FirmwareImage::S19Image)
            emit confirmedPath(path, m_image.s19Data, m_image.chkSum, m_image.bootVersion);
    }
    close();
}
