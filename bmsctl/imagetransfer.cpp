#include "imagetransfer.h"

#include "batterylist.h"
#include "console.h"
#include "eventwait.h"
#include "interruption.h"

#include "can/canservice.h"
#include "upgrade/firmwareimage.h"
#include "upgrade/uartservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <functional>

namespace {

// The services end their texts with a full stop; in a message they are a clause.
QString clause(QString text)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// Waits until the upgrade has finished, or the user stops it (see the class comment): true,
// with outcome->result Interrupted or Abandoned, when the upgrade is to be stopped. erasing()
// tells whether the boot loader has been asked to erase; atStake names who would suffer.
bool stoppedByUser(const bool &finished, const std::function<bool()> &erasing,
    const QString &atStake, const std::function<void()> &onTick, ImageTransfer::Outcome *outcome,
    Console &console)
{
    bool warned = false;
    while (EventWait::until(
               -1, [&finished] { return finished; }, onTick)
            == EventWait::Interrupted
        && !finished) {
        if (warned || !erasing()) {
            outcome->result = warned ? ImageTransfer::Abandoned : ImageTransfer::Interrupted;
            return true;
        }
        console.error(QStringLiteral("the flash is being erased and written: stopping now leaves "
                                     "%1 in the boot loader with erased or half-written flash. "
                                     "The upgrade goes on; interrupt again (Ctrl-C) to abandon it "
                                     "anyway")
                          .arg(atStake));
        Interruption::countFirstAsWarned();
        warned = true;
    }
    return false;
}

} // namespace

ImageTransfer::Outcome ImageTransfer::overCan(CanService *service, const FirmwareImage &image,
    const QList<int> &expected, const QList<int> &mustAnswer, Console &console)
{
    Outcome outcome;
    bool finished = false;
    int percent = 0;
    // Disconnects the lambdas from the service, which outlives this call.
    QObject receiver;
    QObject::connect(service, &CanService::upgradeProgress, &receiver, [&](int value) {
        percent = value;
        outcome.finishReached = outcome.finishReached || value == 100;
    });
    // Connected directly: stopping here stops the upgrade before the inquiry and the erase.
    QObject::connect(service, &CanService::bootAnswersCollected, &receiver,
        [&](const QList<int> &answered, const QList<int> &missing) {
            outcome.bootAnswers = answered;
            outcome.missing = missing;
            const bool mustStop = std::any_of(missing.cbegin(), missing.cend(),
                [&mustAnswer](int devId) { return mustAnswer.contains(devId); });
            if (mustStop) {
                service->stopUpgrading();
                outcome.result = Unanswered;
                finished = true;
            } else if (!missing.isEmpty()) {
                console.note(QStringLiteral("%1 did not answer the boot request: left out, %2 "
                                            "its firmware; going on with %3")
                                 .arg(BatteryList::named(missing),
                                     missing.size() == 1 ? QStringLiteral("it keeps")
                                                         : QStringLiteral("they keep"),
                                     BatteryList::named(answered)));
            }
        });
    QObject::connect(service, &CanService::newUpgradeState, &receiver,
        [&outcome](const QString &text) { outcome.reason = clause(text); });
    QObject::connect(service, &CanService::upgradeFinished, &receiver, [&](bool success) {
        finished = true;
        outcome.result = success ? Taken : Failed;
    });

    const auto erasing
        = [service] { return service->upgradeState() >= CanService::US_ERASER_FLASH; };
    // Every frame of the upgrade goes through the transcript, the erase request among them.
    QObject::connect(service, &CanService::newUpgradeData, &receiver,
        [&] { outcome.eraseAsked = outcome.eraseAsked || erasing(); });

    QElapsedTimer clock;
    clock.start();
    service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion, expected);
    const auto onTick = [&] {
        if (service->upgradeState() == CanService::US_REQUEST_BOOT)
            console.progress(QStringLiteral("flash: asking the batteries into their boot loaders"));
        else
            console.progress(
                QStringLiteral("flash: sending the image over CAN, %1 %").arg(percent));
    };
    if (stoppedByUser(finished, erasing, QStringLiteral("every battery on the bus"), onTick,
            &outcome, console))
        service->stopUpgrading();
    outcome.elapsedMs = clock.elapsed();
    return outcome;
}

ImageTransfer::Outcome ImageTransfer::overSerial(
    const QString &port, const QByteArray &binData, Console &console)
{
    Outcome outcome;
    bool started = false;
    bool finished = false;
    bool erasing = false;
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
        if (text.startsWith(moved)) {
            texts.clear();
            erasing
                = erasing || text.mid(moved.size()).toInt() >= UartService::USUS_PREPARE_UPGRADE;
        } else if (!text.startsWith(baudChanged))
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
    stoppedByUser(
        finished, [&erasing] { return erasing; }, QStringLiteral("the battery on %1").arg(port),
        [&] {
            console.progress(
                QStringLiteral("flash: sending the image over %1, %2 %").arg(port).arg(percent));
        },
        &outcome, console);
    outcome.elapsedMs = clock.elapsed();

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
