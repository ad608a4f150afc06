#include "historyreadout.h"

#include "console.h"
#include "eventwait.h"

#include "records/csvsavejob.h"
#include "records/historyeventmodel.h"

#include <QDir>

namespace {

HistoryReadout::Transfer waitForTheEnd(const HistoryEventModel &model, Console &console)
{
    const auto ended = [&model] {
        return model.transferState() == HistoryEventModel::Complete
            || model.transferState() == HistoryEventModel::Stalled;
    };
    // No time limit of its own: the model calls a transfer stalled when nothing comes.
    const EventWait::Result wait = EventWait::until(-1, ended, [&] {
        console.progress(QStringLiteral("history: battery %1: %2 of %3 records")
                             .arg(model.deviceId())
                             .arg(model.accountedCount())
                             .arg(model.expectedCount()));
    });
    if (wait == EventWait::Interrupted)
        return HistoryReadout::Interrupted;
    return model.transferState() == HistoryEventModel::Complete ? HistoryReadout::Complete
                                                                : HistoryReadout::Stalled;
}

} // namespace

HistoryReadout::Result HistoryReadout::read(
    CanService *service, int devId, const QString &folder, const QString &stamp, Console &console)
{
    Result result;
    result.devId = devId;
    console.progress(QStringLiteral("history: battery %1: asking for its event count").arg(devId));
    HistoryEventModel model(service);
    model.OnStartRecording(devId);
    // The model starts the transfer only once the battery has said how many events it holds.
    if (model.transferState() == HistoryEventModel::Idle)
        return result;

    result.announced = model.expectedCount();
    result.transfer = waitForTheEnd(model, console);
    // A battery that stopped sending may resume later; it is told to stop, as STOP does.
    if (result.transfer != Complete)
        model.OnStopRecording();
    console.endProgress();

    result.read = model.rowCount();
    result.badCrc = model.droppedCount();
    result.wrongBattery = model.wrongBatteryCount();
    result.path = QDir(folder).filePath(fileName(devId, stamp, result.readWhole()));
    result.saved = CsvSaveJob::write(result.path, HistoryEventModel::columnNames(), result.read,
                       [&model](int row) { return model.row(row); })
        == CsvSaveJob::Saved;
    return result;
}

QString HistoryReadout::fileName(int devId, const QString &stamp, bool readWhole)
{
    return QStringLiteral("historyEvent.%1.%2%3.csv")
        .arg(devId)
        .arg(stamp, readWhole ? QString() : QStringLiteral(".incomplete"));
}
