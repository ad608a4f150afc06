#include "historyexport.h"

#include "console.h"
#include "eventwait.h"

#include "records/csvsavejob.h"
#include "records/historyreadout.h"
#include "records/historyrecordtext.h"

#include <QDir>
#include <QVector>

namespace {

HistoryExport::Transfer waitForTheEnd(const HistoryReadout &readout, Console &console)
{
    const auto ended = [&readout] {
        return readout.state() == HistoryReadout::Complete
            || readout.state() == HistoryReadout::Stalled;
    };
    // No time limit of its own: the read-out calls a transfer stalled when nothing comes.
    const EventWait::Result wait = EventWait::until(-1, ended, [&] {
        console.progress(QStringLiteral("history: battery %1: %2 of %3 records")
                             .arg(readout.deviceId())
                             .arg(readout.accountedCount())
                             .arg(readout.expectedCount()));
    });
    if (wait == EventWait::Interrupted)
        return HistoryExport::Interrupted;
    return readout.state() == HistoryReadout::Complete ? HistoryExport::Complete
                                                       : HistoryExport::Stalled;
}

} // namespace

HistoryExport::Result HistoryExport::read(
    CanService *service, int devId, const QString &folder, const QString &stamp, Console &console)
{
    Result result;
    result.devId = devId;
    console.progress(QStringLiteral("history: battery %1: asking for its event count").arg(devId));
    HistoryReadout readout(service);
    QVector<QStringList> rows;
    QObject::connect(
        &readout, &HistoryReadout::recordRead, [&rows, devId](const HistoryRecord &record) {
            rows.append(HistoryRecordText::cells(record, devId));
        });
    readout.start(devId);
    // The transfer starts only once the battery has said how many events it holds.
    if (readout.state() == HistoryReadout::Idle)
        return result;

    result.announced = readout.expectedCount();
    result.transfer = waitForTheEnd(readout, console);
    // A battery that stopped sending may resume later; it is told to stop, as STOP does.
    if (result.transfer != Complete)
        readout.stop();
    console.endProgress();

    result.read = rows.size();
    result.badCrc = readout.droppedCount();
    result.wrongBattery = readout.wrongBatteryCount();
    result.path = QDir(folder).filePath(fileName(devId, stamp, result.readWhole()));
    result.saved = CsvSaveJob::write(result.path, HistoryRecordText::columnNames(), result.read,
                       [&rows](int row) { return rows.at(row); })
        == CsvSaveJob::Saved;
    return result;
}

QString HistoryExport::fileName(int devId, const QString &stamp, bool readWhole)
{
    return QStringLiteral("historyEvent.%1.%2%3.csv")
        .arg(devId)
        .arg(stamp, readWhole ? QString() : QStringLiteral(".incomplete"));
}
