// The real-time recording page on a model reading a signal store of the test's own; message
// boxes and the file dialog are answered as they appear.

#include "filedialoganswer.h"
#include "resource/resources.h"
#include "support/failingfiles.h"
#include "uitestsupport.h"

#include "records/realtimerecordingtablemodel.h"
#include "ui/uirealtimerecording.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestUiRealTimeRecording : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordingTakesTheSelectedBattery();
    void stopAndClear();
    void saveAsksForAFileAndSaves();
    void failedSaveShowsTheErrorBox_data();
    void failedSaveShowsTheErrorBox();

private:
    void sample(int times = 1);

    std::unique_ptr<SignalValues> m_store;
    std::unique_ptr<UiRealTimeRecording> m_page;
    RealTimeRecordingTableModel *m_model = nullptr;
    QTemporaryDir m_dir;
};

void TestUiRealTimeRecording::initTestCase()
{
    Resources::init();
    QVERIFY(m_dir.isValid());
}

void TestUiRealTimeRecording::init()
{
    m_store.reset(new SignalValues);
    m_model = new RealTimeRecordingTableModel;
    m_model->setSignalSource(m_store.get());
    m_page.reset(new UiRealTimeRecording(m_model));
}

void TestUiRealTimeRecording::cleanup()
{
    m_page.reset();
    m_store.reset();
}

void TestUiRealTimeRecording::sample(int times)
{
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(m_model, "OnTimerTimeout"));
}

void TestUiRealTimeRecording::recordingTakesTheSelectedBattery()
{
    QCOMPARE(m_page->table()->model(), m_model);
    m_page->Slot_ShowMonitorData(7);
    QVERIFY(!m_model->isRecording());
    m_page->recordButton()->click();
    QVERIFY(m_model->isRecording());
    QCOMPARE(m_model->deviceId(), 7);
    QCOMPARE(m_page->statusLabel()->text(), QStringLiteral("Recording BMS 7 every 2 s."));

    // Another selection counts from the next RECORDING on.
    m_page->Slot_ShowMonitorData(8);
    sample();
    QCOMPARE(m_model->data(m_model->index(0, 2)), QVariant(7));
    m_page->recordButton()->click();
    QCOMPARE(m_model->deviceId(), 8);
    QCOMPARE(m_model->findChildren<QTimer *>().size(), 1);
}

void TestUiRealTimeRecording::stopAndClear()
{
    m_page->recordButton()->click();
    sample(3);
    m_page->stopButton()->click();
    QVERIFY(!m_model->isRecording());
    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(m_page->statusLabel()->text(), QString());
    m_page->clearButton()->click();
    QCOMPARE(m_model->rowCount(), 0);
}

void TestUiRealTimeRecording::saveAsksForAFileAndSaves()
{
    sample(4);
    const QString path = m_dir.filePath(QStringLiteral("recording.csv"));
    FileDialogAnswer answer(path);
    m_page->saveButton()->click();
    QCOMPARE(answer.shown(), 1);
    QCOMPARE(answer.title(), QStringLiteral("Save Real Time Data"));
    QCOMPARE(answer.filters(), QStringList { "csv file(*.csv)" });
    const QRegularExpression proposed(
        QRegularExpression::escape(QCoreApplication::applicationDirPath() + "/realTimeData.")
        + QStringLiteral("\\d{14}$"));
    QVERIFY2(proposed.match(answer.proposedFile()).hasMatch(), qPrintable(answer.proposedFile()));
    QTRY_COMPARE(m_page->statusLabel()->text(), QStringLiteral("Saved ") + path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 5);
}

void TestUiRealTimeRecording::failedSaveShowsTheErrorBox_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("message");
    const QString unwritable = FailingFiles::unwritableFolder(m_dir);
    if (!unwritable.isEmpty())
        QTest::newRow("folder not writable") << unwritable << false << "failed to open file: ";
    QTest::newRow("full disk") << m_dir.path() << true << "failed to write file: ";
}

void TestUiRealTimeRecording::failedSaveShowsTheErrorBox()
{
    QFETCH(QString, folder);
    QFETCH(bool, diskFull);
    QFETCH(QString, message);
    sample(20);
    // A name of its own: the dialog would ask before replacing an existing file.
    const QString path = folder + QStringLiteral("/failed-recording.csv");
    FileDialogAnswer answer(path);
    QString title;
    QString text;
    UiTest::DialogCatcher<QMessageBox> catcher([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
    });
    FailingFiles::DiskFullAfter limit(diskFull ? 200 : 1 << 30);
    m_page->saveButton()->click();
    QTRY_COMPARE(catcher.shown(), 1);
    QCOMPARE(title, QStringLiteral("Error"));
    QCOMPARE(text, message + path);
    QCOMPARE(m_page->statusLabel()->text(), QStringLiteral("Not saved."));
    QCOMPARE(m_model->rowCount(), 20);
}

QTEST_MAIN(TestUiRealTimeRecording)
#include "tst_uirealtimerecording.moc"
