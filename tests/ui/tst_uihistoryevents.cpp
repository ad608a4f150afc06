// The history events page on a model whose CAN service runs on batteries played in-process;
// message boxes and the file dialog are answered as they appear.

#include "can/adaptertype.h"
#include "canservice/playedbms.h"
#include "canservice/scriptedbus.h"
#include "filedialoganswer.h"
#include "records/historyrecords.h"
#include "resource/resources.h"
#include "support/failingfiles.h"
#include "support/parameterset.h"
#include "uitestsupport.h"

#include "can/candevice.h"
#include "can/canservice.h"
#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "ui/uihistoryevents.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using HistoryRecords::sample;

class TestUiHistoryEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readAllReadsTheSelectedBattery();
    void zeroEventsShowsTheInfoBoxAndStillStarts();
    void statusTellsHowTheReadOutWent_data();
    void statusTellsHowTheReadOutWent();
    void stopAndDeleteAll();
    void saveAsksForAFileAndSaves();
    void cancelledDialogSavesNothing();
    void failedSaveShowsTheErrorBox();

private:
    void readAll(const QList<QByteArray> &records, quint32 count);

    ScriptedBus *m_bus = nullptr; // owned by the service's device
    std::unique_ptr<PlayedBms> m_bms;
    std::unique_ptr<CanService> m_service;
    std::unique_ptr<UiHistoryEvents> m_page;
    QTemporaryDir m_dir;
};

void TestUiHistoryEvents::initTestCase()
{
    Resources::init();
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    SignalValues::instance();
    QVERIFY(m_dir.isValid());
}

void TestUiHistoryEvents::init()
{
    m_bms.reset(new PlayedBms);
    m_bus = new ScriptedBus;
    m_bus->setResponder(m_bms->responder());
    m_service.reset(new CanService(new CanDevice(m_bus)));
    QCOMPARE(m_service->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    m_page.reset(new UiHistoryEvents(new HistoryEventModel(m_service.get())));
    m_page->Slot_ShowMonitorData(4);
}

void TestUiHistoryEvents::cleanup()
{
    m_page.reset();
    m_bus->setResponder(nullptr);
    m_service.reset();
    m_bus = nullptr;
    m_bms.reset();
}

void TestUiHistoryEvents::readAll(const QList<QByteArray> &records, quint32 count)
{
    m_bms->update([&](PlayedBms &bms) {
        bms.historyRecords = records;
        bms.historyCount = count;
    });
    m_page->readButton()->click();
}

void TestUiHistoryEvents::readAllReadsTheSelectedBattery()
{
    QCOMPARE(m_page->table()->model(), m_page->model());
    QCOMPARE(m_page->progressBar()->text(), QString()); // nothing read yet
    readAll({ sample(4, 0), sample(4, 1), sample(4, 2) }, 3);
    QTRY_COMPARE(m_page->model()->rowCount(), 3);
    QCOMPARE(m_page->model()->readout()->deviceId(), 4);
    QCOMPARE(m_page->progressBar()->maximum(), 3);
    QCOMPARE(m_page->progressBar()->value(), 3);
    QCOMPARE(m_page->progressBar()->text(), QStringLiteral("3/3"));
    QCOMPARE(m_page->table()->model()->data(m_page->table()->model()->index(2, 0)).toString(),
        QStringLiteral("2024-3-17"));
}

void TestUiHistoryEvents::zeroEventsShowsTheInfoBoxAndStillStarts()
{
    readAll({ sample(4) }, 1);
    QTRY_COMPARE(m_page->model()->rowCount(), 1);
    m_bus->clearTransmitted();

    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    int transmittedWhileShown = -1;
    UiTest::DialogCatcher<QMessageBox> catcher([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        transmittedWhileShown = m_bus->transmittedText().size();
    });
    readAll({}, 0);
    QCOMPARE(catcher.shown(), 1);
    QCOMPARE(title, QStringLiteral("Info"));
    QCOMPARE(text, QStringLiteral("No history event in the BMS."));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(transmittedWhileShown, 1); // only the count request so far
    QTRY_COMPARE(m_bus->transmittedText(), QStringList({ "18440480: 01", "18450480: 01 01" }));
    QCOMPARE(m_page->model()->rowCount(), 0);
    QCOMPARE(m_page->progressBar()->maximum(), 1); // left as the last read-out set it
}

void TestUiHistoryEvents::statusTellsHowTheReadOutWent_data()
{
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("announced");
    QTest::addColumn<int>("damaged");
    QTest::addColumn<bool>("stall");
    QTest::addColumn<QString>("status");
    QTest::newRow("complete") << 4 << 4 << 0 << false << "4 of 4 events read.";
    QTest::newRow("complete with a damaged record")
        << 4 << 4 << 1 << false << "3 of 4 events read. 1 damaged records dropped, see the log.";
    QTest::newRow("stalled") << 2 << 5 << 0 << true
                             << "The BMS stopped sending after 2 of 5 events.";
    QTest::newRow("still reading")
        << 2 << 5 << 0 << false << "Reading the history events of BMS 4 ...";
}

void TestUiHistoryEvents::statusTellsHowTheReadOutWent()
{
    QFETCH(int, sent);
    QFETCH(int, announced);
    QFETCH(int, damaged);
    QFETCH(bool, stall);
    QFETCH(QString, status);
    QList<QByteArray> records;
    for (int i = 0; i < sent; ++i) {
        records.append(sample(4, i));
        if (i < damaged)
            records.last()[30] = char(records.last().at(30) ^ 0x10);
    }
    readAll(records, quint32(announced));
    QTRY_COMPARE(m_page->model()->readout()->accountedCount(), sent);
    if (stall)
        QVERIFY(QMetaObject::invokeMethod(m_page->model()->readout(), "OnTransferIdle"));
    QCOMPARE(m_page->statusLabel()->text(), status);
    QCOMPARE(m_page->model()->rowCount(), sent - damaged);
}

void TestUiHistoryEvents::stopAndDeleteAll()
{
    readAll({ sample(4, 0), sample(4, 1) }, 9);
    QTRY_COMPARE(m_page->model()->rowCount(), 2);
    m_bus->clearTransmitted();
    m_page->stopButton()->click();
    QCOMPARE(m_bus->transmittedText(), QStringList { "18450480: 01 02" });
    QCOMPARE(m_page->statusLabel()->text(), QStringLiteral("Stopped after 2 of 9 events."));
    QCOMPARE(m_page->model()->rowCount(), 2);

    // No confirmation: the log goes, on the battery and here.
    m_bus->clearTransmitted();
    UiTest::DialogCatcher<QDialog> anyDialog;
    m_page->deleteButton()->click();
    QCOMPARE(anyDialog.shown(), 0);
    QCOMPARE(m_bus->transmittedText(), QStringList { "18460480: 01 01" });
    QCOMPARE(m_page->model()->rowCount(), 0);
    QCOMPARE(m_page->statusLabel()->text(), QString());
}

void TestUiHistoryEvents::saveAsksForAFileAndSaves()
{
    readAll({ sample(4, 0), sample(4, 1) }, 2);
    QTRY_COMPARE(m_page->model()->rowCount(), 2);
    const QString path = m_dir.filePath(QStringLiteral("events.csv"));
    FileDialogAnswer answer(path);
    m_page->saveButton()->click();
    QCOMPARE(answer.shown(), 1);
    QCOMPARE(answer.title(), QStringLiteral("Save History Event"));
    QCOMPARE(answer.filters(), QStringList { "csv file(*.csv)" });
    const QRegularExpression proposed(
        QRegularExpression::escape(QCoreApplication::applicationDirPath() + "/historyEvent.")
        + QStringLiteral("\\d{14}$"));
    QVERIFY2(proposed.match(answer.proposedFile()).hasMatch(), qPrintable(answer.proposedFile()));

    QTRY_VERIFY(m_page->statusLabel()->text().endsWith(QStringLiteral("Saved ") + path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 3);
}

void TestUiHistoryEvents::cancelledDialogSavesNothing()
{
    FileDialogAnswer answer { QString() };
    QSignalSpy finished(m_page->model(), &HistoryEventModel::savingDataFinished);
    m_page->saveButton()->click();
    QCOMPARE(answer.shown(), 1);
    QVERIFY(!m_page->model()->isSaving());
    QCOMPARE(m_page->statusLabel()->text(), QString());
    QCOMPARE(finished.size(), 0);
}

void TestUiHistoryEvents::failedSaveShowsTheErrorBox()
{
    // The file can be made, but the disk fills up on the way.
    readAll({ sample(4, 0), sample(4, 1), sample(4, 2) }, 3);
    QTRY_COMPARE(m_page->model()->rowCount(), 3);
    const QString path = m_dir.filePath(QStringLiteral("full.csv"));
    FileDialogAnswer answer(path);
    FailingFiles::DiskFullAfter limit(200);
    QString title;
    QString text;
    UiTest::DialogCatcher<QMessageBox> catcher([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
    });
    m_page->saveButton()->click();
    QTRY_COMPARE(catcher.shown(), 1);
    QCOMPARE(title, QStringLiteral("Error"));
    QCOMPARE(text, QStringLiteral("failed to write file: ") + path);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(m_page->statusLabel()->text(), QStringLiteral("3 of 3 events read.    Not saved."));
}

QTEST_MAIN(TestUiHistoryEvents)
#include "tst_uihistoryevents.moc"
