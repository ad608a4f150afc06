#include "imagetransfer.h"

#include "console.h"
#include "eventwait.h"

#include "can/canservice.h"
#include "upgrade/firmwareimage.h"
#include "upgrade/uartservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

namespace {

// The services end their texts with a full stop; in a message they are a clause.
QString clause(QString text)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

ImageTransfer::Outcome ImageTransfer::overCan(
    CanService *service, const FirmwareImage &image, Console &console)
{
    Outcome outcome;
    bool finished = false;
    int percent = 0;
    // Disconnects the lambdas from the service, which outlives this call.
    QObject receiver;
    QObject::connect(service, &CanService::upgradeProgress, &receiver,
        [&percent](int value) { percent = value; });
    QObject::connect(service, &CanService::newUpgradeState, &receiver,
        [&outcome](const QString &text) { outcome.reason = clause(text); });
    QObject::connect(service, &CanService::upgradeFinished, &receiver, [&](bool success) {
        finished = true;
        outcome.result = success ? Taken : Failed;
    });

    QElapsedTimer clock;
    clock.start();
    service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion);
    const EventWait::Result waited = EventWait::until(
        -1, [&finished] { return finished; },
        [&] {
            console.progress(
                QStringLiteral("flash: sending the image over CAN, %1 %").arg(percent));
        });
    if (waited == EventWait::Interrupted) {
        service->stopUpgrading();
        outcome.result = Interrupted;
    }
    outcome.elapsedMs = clock.elapsed();
    return outcome;
}

ImageTransfer::Outcome ImageTransfer::overSerial(
    const QString &port, const QByteArray &binData, Console &console)
{
    Outcome outcome;
    bool started = false;
    bool finished = false;
    int percent = 0;
    // The texts of the state the upgrade is in: a refusal or a timeout says why there.
    const QString moved = UartService::tr("move to next state: ");
    const QString baudChanged
        = UartService::tr("changed baud to %1.").section(QLatin1Char('%'), 0, 0);
    QStringList texts;

    QThread thread;
    auto *service = new UartService;
    QObject receiver;
    QObject::connect(service, &UartService::upgradeProgress, &receiver, [&](int value) {
        started = true;
        percent = value;
    });
    QObject::connect(service, &UartService::newState, &receiver, [&](const QString &text) {
        if (text.startsWith(moved))
            texts.clear();
        else if (!text.startsWith(baudChanged))
            texts.append(clause(text));
    });
    QObject::connect(service, &UartService::upgradeResult, &receiver, [&](bool success) {
        finished = true;
        outcome.result = success ? Taken : (started ? Failed : NotStarted);
    });
    service->moveToThread(&thread);
    thread.start();

    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(service, "startUpgrading", Qt::QueuedConnection, Q_ARG(QString, port),
        Q_ARG(QByteArray, binData));
    const EventWait::Result waited = EventWait::until(
        -1, [&finished] { return finished; },
        [&] {
            console.progress(
                QStringLiteral("flash: sending the image over %1, %2 %").arg(port).arg(percent));
        });
    outcome.elapsedMs = clock.elapsed();
    if (waited == EventWait::Interrupted)
        outcome.result = Interrupted;

    // Closes the port; once the call returns, the texts the service sent with its result are
    // queued here and are taken in.
    QMetaObject::invokeMethod(service, "stopUpgrading", Qt::BlockingQueuedConnection);
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);
    outcome.reason = texts.join(QStringLiteral("; "));
    // The service goes with the thread's last deferred deletions.
    service->deleteLater();
    thread.quit();
    thread.wait();
    return outcome;
}
