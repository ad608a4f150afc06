#include "imagetransfer.h"

#include "battery/batterylist.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/interruption.h"

#include "can/canservice.h"
#include "can/upgradesession.h"
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

// An upgrade followed through UpgradeSession alone, whatever carries it: its last progress value,
// and its result as the outcome's, Taken or Failed, or failedEarly when it failed before any
// progress. What else a caller follows uses receiver() as its context, so that it goes with this.
class FollowedUpgrade
{
public:
    FollowedUpgrade(
        UpgradeSession *session, ImageTransfer::Result failedEarly, ImageTransfer::Outcome *outcome)
        : m_session(session)
        , m_outcome(outcome)
    {
        QObject::connect(session, &UpgradeSession::upgradeProgress, &m_receiver, [this](int value) {
            m_progressed = true;
            m_percent = value;
        });
        QObject::connect(session, &UpgradeSession::upgradeResult, &m_receiver,
            [this, failedEarly](bool success) {
                m_ended = true;
                m_outcome->result = success ? ImageTransfer::Taken
                                            : (m_progressed ? ImageTransfer::Failed : failedEarly);
            });
    }

    QObject *receiver() { return &m_receiver; }
    // Ends the wait without a result: the caller has stopped the session and set the outcome.
    void end() { m_ended = true; }

    // Starts the upgrade (start) and waits until it ends, or the user stops it (see the class
    // comment: erasing() tells whether the boot loader has been asked to erase, atStake names
    // who would suffer), with progressLine(percent) as the progress line meanwhile. Then stops
    // the session, waiting for it when it lives in another thread: what it reported until then
    // is taken in here too.
    void run(const std::function<void()> &start, const std::function<bool()> &erasing,
        const QString &atStake, const std::function<QString(int)> &progressLine, Console &console)
    {
        QElapsedTimer clock;
        clock.start();
        start();
        const auto onTick = [&] { console.progress(progressLine(m_percent)); };
        bool warned = false;
        while (EventWait::until(
                   -1, [this] { return m_ended; }, onTick)
                == EventWait::Interrupted
            && !m_ended) {
            if (warned || !erasing()) {
                m_outcome->result = warned ? ImageTransfer::Abandoned : ImageTransfer::Interrupted;
                break;
            }
            console.error(QStringLiteral("the flash is being erased and written: stopping now "
                                         "leaves %1 in the boot loader with erased or "
                                         "half-written flash. The upgrade goes on; interrupt "
                                         "again (Ctrl-C) to abandon it anyway")
                              .arg(atStake));
            Interruption::countFirstAsWarned();
            warned = true;
        }
        m_outcome->elapsedMs = clock.elapsed();
        const bool elsewhere = m_session->thread() != QThread::currentThread();
        QMetaObject::invokeMethod(
            m_session, "stop", elsewhere ? Qt::BlockingQueuedConnection : Qt::DirectConnection);
        QCoreApplication::sendPostedEvents(&m_receiver, QEvent::MetaCall);
    }

private:
    UpgradeSession *m_session = nullptr;
    ImageTransfer::Outcome *m_outcome = nullptr;
    int m_percent = 0;
    bool m_progressed = false;
    bool m_ended = false;
    // Disconnects the lambdas from the session, which may outlive this.
    QObject m_receiver;
};

} // namespace

ImageTransfer::Outcome ImageTransfer::overCan(CanService *service, const FirmwareImage &image,
    const QList<int> &expected, const QList<int> &mustAnswer, Console &console)
{
    Outcome outcome;
    FollowedUpgrade upgrade(service->upgradeSession(), Failed, &outcome);
    QObject *receiver = upgrade.receiver();
    // Connected directly: stopping here stops the upgrade before the inquiry and the erase.
    QObject::connect(service, &CanService::bootAnswersCollected, receiver,
        [&](const QList<int> &answered, const QList<int> &missing) {
            outcome.bootAnswers = answered;
            outcome.missing = missing;
            const bool mustStop = std::any_of(missing.cbegin(), missing.cend(),
                [&mustAnswer](int devId) { return mustAnswer.contains(devId); });
            if (mustStop) {
                service->stopUpgrading();
                outcome.result = Unanswered;
                upgrade.end();
            } else if (!missing.isEmpty()) {
                console.note(QStringLiteral("%1 did not answer the boot request: left out, %2 "
                                            "its firmware; going on with %3")
                                 .arg(BatteryList::named(missing),
                                     missing.size() == 1 ? QStringLiteral("it keeps")
                                                         : QStringLiteral("they keep"),
                                     BatteryList::named(answered)));
            }
        });
    // The last text is the upgrade's failure; those before it name the batteries that left.
    QObject::connect(service, &CanService::newUpgradeState, receiver,
        [&outcome](const QString &text) { outcome.reason = clause(text); });
    QObject::connect(service, &CanService::rosterJudged, receiver,
        [&outcome](const QList<int> &, const QMap<int, QString> &notFinished) {
            outcome.notFinished = notFinished;
        });

    const auto erasing
        = [service] { return service->upgradeState() >= CanService::US_ERASER_FLASH; };
    // Every frame of the upgrade goes through the transcript, the erase request among them.
    QObject::connect(service, &CanService::newUpgradeData, receiver,
        [&] { outcome.eraseAsked = outcome.eraseAsked || erasing(); });

    upgrade.run(
        [&] { service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion, expected); },
        erasing, QStringLiteral("every battery on the bus"),
        [service](int percent) {
            return service->upgradeState() == CanService::US_REQUEST_BOOT
                ? QStringLiteral("flash: asking the batteries into their boot loaders")
                : QStringLiteral("flash: sending the image over CAN, %1 %").arg(percent);
        },
        console);
    // However it ended, also when stopped here or when it failed in the boot request step.
    outcome.leftInBootLoaders = service->upgradeBootLoaders();
    return outcome;
}

ImageTransfer::Outcome ImageTransfer::overSerial(
    const QString &port, const QByteArray &binData, Console &console)
{
    Outcome outcome;
    bool erasing = false;
    // The texts of the state the upgrade is in: a refusal or a timeout says why there.
    const QString moved = UartService::tr("move to next state: ");
    const QString baudChanged
        = UartService::tr("changed baud to %1.").section(QLatin1Char('%'), 0, 0);
    QStringList texts;

    QThread thread;
    auto *service = new UartService;
    FollowedUpgrade upgrade(service, NotStarted, &outcome);
    QObject::connect(service, &UartService::newState, upgrade.receiver(), [&](const QString &text) {
        if (text.startsWith(moved)) {
            texts.clear();
            erasing
                = erasing || text.mid(moved.size()).toInt() >= UartService::USUS_PREPARE_UPGRADE;
        } else if (!text.startsWith(baudChanged))
            texts.append(clause(text));
    });
    service->moveToThread(&thread);
    thread.start();

    // The service's stop closes the port; the texts it sent with its result are taken in then.
    upgrade.run(
        [&] {
            QMetaObject::invokeMethod(service, "startUpgrading", Qt::QueuedConnection,
                Q_ARG(QString, port), Q_ARG(QByteArray, binData));
        },
        [&erasing] { return erasing; }, QStringLiteral("the battery on %1").arg(port),
        [&port](int percent) {
            return QStringLiteral("flash: sending the image over %1, %2 %").arg(port).arg(percent);
        },
        console);
    outcome.reason = texts.join(QStringLiteral("; "));
    // The service goes with the thread's last deferred deletions.
    service->deleteLater();
    thread.quit();
    thread.wait();
    return outcome;
}
