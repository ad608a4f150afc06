#include "support/capturedestination.h"
#include "support/testfirmware.h"
#include "ui/uifirmwareupdatedialog.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The firmware update dialog: which file's data CONFIRM hands over, and when it hands over
// nothing. Files are written into a temporary folder; the file-open dialog itself is not
// driven (choose() is what OnClickBrowser does with the path it returns).
class TestUiFirmwareUpdateDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void binImageIsConfirmed();
    void s19ImageIsConfirmed();
    void capitalExtensionsAreIgnored();
    void refusedFiles_data();
    void refusedFiles();
    void refusedFileAfterAGoodOneConfirmsNothing();
    void typedPaths_data();
    void typedPaths();
    void newS19WithoutBootVersionDoesNotKeepTheOldOne();
    void emptyPathClosesWithoutConfirming();

private:
    QString write(const QString &name, const QByteArray &content);
    void confirm();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<UiFirmwareUpdateDialog> m_dialog;
    std::unique_ptr<QSignalSpy> m_bin;
    std::unique_ptr<QSignalSpy> m_s19;
    std::unique_ptr<QSignalSpy> m_refused;
    QSharedPointer<CaptureDestination> m_log;
};

namespace {

using BinSignal = void (UiFirmwareUpdateDialog::*)(QString, QByteArray);
using S19Signal = void (UiFirmwareUpdateDialog::*)(QString, QStringList, uint, QByteArray);

const QByteArray GoodS19 = TestFirmware::s19(200, "ZK100", "ZK-BMS V3.0.01", "\r\n");
const QByteArray GoodBin = TestFirmware::bin(1000, "ZK200", "ZK-BMS V3.0.02");

} // namespace

void TestUiFirmwareUpdateDialog::init()
{
    m_log = CaptureDestination::attach();
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_dialog.reset(new UiFirmwareUpdateDialog(QStringLiteral("V1.0")));
    m_bin.reset(new QSignalSpy(
        m_dialog.get(), static_cast<BinSignal>(&UiFirmwareUpdateDialog::confirmedPath)));
    m_s19.reset(new QSignalSpy(
        m_dialog.get(), static_cast<S19Signal>(&UiFirmwareUpdateDialog::confirmedPath)));
    m_refused.reset(new QSignalSpy(m_dialog.get(), &UiFirmwareUpdateDialog::fileRefused));
    m_dialog->show();
}

void TestUiFirmwareUpdateDialog::cleanup()
{
    m_bin.reset();
    m_s19.reset();
    m_refused.reset();
    m_dialog.reset();
    m_dir.reset();
    CaptureDestination::detach(m_log);
}

QString TestUiFirmwareUpdateDialog::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

void TestUiFirmwareUpdateDialog::confirm()
{
    QTest::mouseClick(m_dialog->confirmButton(), Qt::LeftButton);
}

void TestUiFirmwareUpdateDialog::binImageIsConfirmed()
{
    const QString path = write(QStringLiteral("image.bin"), GoodBin);
    m_dialog->choose(path);
    QCOMPARE(m_dialog->pathEdit()->text(), path);
    QCOMPARE(m_dialog->newRevisionEdit()->text(), QStringLiteral("ZK200"));
    confirm();
    QCOMPARE(m_bin->size(), 1);
    QCOMPARE(m_bin->at(0).at(0).toString(), path);
    QCOMPARE(m_bin->at(0).at(1).toByteArray(), GoodBin);
    QCOMPARE(m_s19->size(), 0);
    QVERIFY(!m_dialog->isVisible());
}

void TestUiFirmwareUpdateDialog::s19ImageIsConfirmed()
{
    const QString path = write(QStringLiteral("image.s19"), GoodS19);
    m_dialog->choose(path);
    QCOMPARE(m_dialog->newRevisionEdit()->text(), QStringLiteral("ZK100"));
    QCOMPARE(
        m_dialog->rangesLabel()->text(), QStringLiteral("Loads 0x08000000-0x080000C7 (200 bytes)"));
    confirm();
    QCOMPARE(m_s19->size(), 1);
    const FirmwareImage expected = FirmwareImage::parseS19(GoodS19);
    QCOMPARE(m_s19->at(0).at(0).toString(), path);
    QCOMPARE(m_s19->at(0).at(1).toStringList(), expected.s19Data);
    QCOMPARE(m_s19->at(0).at(2).toUInt(), expected.chkSum);
    QCOMPARE(m_s19->at(0).at(3).toByteArray(), QByteArray("ZK100\0\0", 7));
    QCOMPARE(m_bin->size(), 0);
}

void TestUiFirmwareUpdateDialog::capitalExtensionsAreIgnored()
{
    m_dialog->choose(write(QStringLiteral("IMAGE.BIN"), GoodBin));
    m_dialog->choose(write(QStringLiteral("IMAGE.S19"), GoodS19));
    m_dialog->choose(write(QStringLiteral("image.hex"), GoodS19));
    QCOMPARE(m_dialog->pathEdit()->text(), QString());
    QCOMPARE(m_refused->size(), 0);
    confirm();
    QCOMPARE(m_bin->size() + m_s19->size(), 0);
}

void TestUiFirmwareUpdateDialog::refusedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("level");
    QTest::newRow("a .bin of 4 bytes")
        << "short.bin" << QByteArray("ZK10")
        << "UiFirmwareUpdateDialog::parseBinData: bin file length is less then"
        << "WARN";
    QTest::newRow("a .bin of 0 bytes")
        << "empty.bin" << QByteArray()
        << "UiFirmwareUpdateDialog::parseBinData: bin file length is less then"
        << "WARN";
    QTest::newRow("an .s19 with only S0 and S9")
        << "empty.s19" << QByteArray("S00600004844521B\nS9030000FC\n")
        << "UiFirmwareUpdateDialog::parseS19Data: empty hex data: "
        << "WARN";
    QTest::newRow("an .s19 with a bad record")
        << "bad.s19" << QByteArray("S00600004844521B\nS1051234AABB4F\nS1051234AABB50\n")
        << "UiFirmwareUpdateDialog::parseS19Data: bad record at line 3 : \"record checksum "
           "mismatch\""
        << "WARN";
    QTest::newRow("an .s19 with a line that is no record")
        << "foreign.s19" << QByteArray("S1051234AABB4F\n\nTHIS IS NOT AN S-RECORD\n")
        << "UiFirmwareUpdateDialog::parseS19Data: bad record at line 3 : \"not an S-record\""
        << "WARN";
    QTest::newRow("an .s19 loading an address again with other data")
        << "overlap.s19" << QByteArray("S1051234AABB4F\nS1051234AABC4E\n")
        << "UiFirmwareUpdateDialog::parseS19Data: bad record at line 2 : \"loads 0x00001235 "
           "again with other data\""
        << "WARN";
    QTest::newRow("a path that is not there")
        << "" << QByteArray() << "UiFirmwareUpdateDialog::parseBinData: failed to open bin file: "
        << "INFO";
}

void TestUiFirmwareUpdateDialog::refusedFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, logLine);
    QFETCH(QString, level);
    const QString path
        = name.isEmpty() ? m_dir->filePath(QStringLiteral("gone.bin")) : write(name, content);
    m_dialog->choose(path);
    QCOMPARE(m_refused->size(), 1);
    QVERIFY2(m_refused->at(0).at(0).toString().endsWith(path),
        qPrintable(m_refused->at(0).at(0).toString()));
    // Shown where the file was picked, until a file is taken.
    QCOMPARE(m_dialog->refusalLabel()->text(), m_refused->at(0).at(0).toString());
    const QStringList lines = m_log->lines().filter(logLine);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).startsWith(level), qPrintable(lines.at(0)));
    QCOMPARE(m_dialog->pathEdit()->text(), QString());
    confirm();
    QCOMPARE(m_bin->size() + m_s19->size(), 0);
    m_dialog->choose(write(QStringLiteral("good.bin"), GoodBin));
    QCOMPARE(m_dialog->refusalLabel()->text(), QString());
}

void TestUiFirmwareUpdateDialog::refusedFileAfterAGoodOneConfirmsNothing()
{
    const QString good = write(QStringLiteral("good.bin"), GoodBin);
    m_dialog->choose(good);
    m_dialog->choose(write(QStringLiteral("bad.s19"), "S1051234AABB50\n"));
    // The fields still show the good file, but its data is no longer what CONFIRM would send.
    QCOMPARE(m_dialog->pathEdit()->text(), good);
    confirm();
    QCOMPARE(m_bin->size() + m_s19->size(), 0);
}

void TestUiFirmwareUpdateDialog::typedPaths_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("confirmed");
    QTest::newRow("another file's path") << "other.bin" << 0;
    QTest::newRow("the parsed file's path, typed again") << "good.bin" << 1;
}

void TestUiFirmwareUpdateDialog::typedPaths()
{
    QFETCH(QString, typed);
    QFETCH(int, confirmed);
    m_dialog->choose(write(QStringLiteral("good.bin"), GoodBin));
    write(QStringLiteral("other.bin"), TestFirmware::bin(64, "ZK999", "other"));
    m_dialog->pathEdit()->clear();
    QTest::keyClicks(m_dialog->pathEdit(), m_dir->filePath(typed));
    confirm();
    QCOMPARE(m_bin->size(), confirmed);
    if (confirmed)
        QCOMPARE(m_bin->at(0).at(1).toByteArray(), GoodBin);
}

void TestUiFirmwareUpdateDialog::newS19WithoutBootVersionDoesNotKeepTheOldOne()
{
    m_dialog->choose(write(QStringLiteral("first.s19"), GoodS19));
    m_dialog->choose(write(QStringLiteral("second.s19"), "S1051234AABB4F\n"));
    QCOMPARE(m_dialog->newRevisionEdit()->text(), QString());
    confirm();
    QCOMPARE(m_s19->size(), 1);
    QVERIFY(m_s19->at(0).at(3).toByteArray().isEmpty());
}

void TestUiFirmwareUpdateDialog::emptyPathClosesWithoutConfirming()
{
    confirm();
    QCOMPARE(m_bin->size() + m_s19->size(), 0);
    QVERIFY(!m_dialog->isVisible());
}

QTEST_MAIN(TestUiFirmwareUpdateDialog)
#include "tst_uifirmwareupdatedialog.moc"
