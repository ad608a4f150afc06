#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

class CanService;
class Console;
class FirmwareImage;

// Sends a firmware image that has been checked (FirmwareImage) to a boot loader and waits for
// the outcome, with a progress line:
//
//   over CAN     through the CAN service's upgrade (CanUpgrade): its frames carry no device
//                address, so every battery that hears the request enters its boot loader and
//                takes the image
//   over serial  through a UartService in a worker thread of its own, reached by queued calls
//                only, as the firmware page does it: the battery on the cable takes the image
//
// Over CAN every battery that answered the boot request is judged at every step: one that
// refuses or stays silent leaves the upgrade, which goes on with the others and fails at its
// end (Outcome::notFinished says why each left).
//
// Over CAN the batteries expected (heard before, and those --expect names) are compared with
// those that answered the boot request; when one that must take the image (--expect) did not
// answer after the request's tries, the upgrade is stopped there, before anything is erased.
//
// Both follow the upgrade's progress and result alike, through its UpgradeSession, and wait in
// the event loop (EventWait) until it ends, which its own timeouts guarantee. Ctrl-C (or
// SIGTERM) stops it at once until the boot loader has been asked to erase its flash (over
// serial: to prepare it for the image); from then on, stopping would leave the batteries in
// their boot loaders with erased or half-written flash, so the first request only says so, the
// upgrade goes on, and a second request abandons it.
class ImageTransfer
{
public:
    enum Result {
        Taken, // the boot loader confirmed the whole image
        Failed, // refused or timed out on the way; see reason
        NotStarted, // nothing was sent (the serial port did not open); see reason
        Interrupted, // Ctrl-C before the erase: stopped, nothing erased
        Abandoned, // Ctrl-C twice after the erase: flash left erased or half-written
        Unanswered, // a battery that must take the image did not answer the boot request:
        // stopped before the erase, nothing erased; see missing
    };

    struct Outcome
    {
        Result result = Failed;
        // The upgrade's own words for what went wrong, e.g. "time out at state: US_REQUEST_BOOT".
        QString reason;
        qint64 elapsedMs = 0;
        // Over CAN: the batteries that answered the boot request (and so entered their boot
        // loaders), and those expected that did not.
        QList<int> bootAnswers;
        QList<int> missing;
        // Over CAN, once the upgrade ended (or was stopped): each battery of bootAnswers that did
        // not finish well with why ("refused the erase"), and every battery that answered the
        // boot request and waits in its boot loader (also when the upgrade failed or was stopped
        // in the boot request step, before bootAnswers was known).
        QMap<int, QString> notFinished;
        QList<int> leftInBootLoaders;
        // Over CAN: whether the boot loaders were asked to erase their flash.
        bool eraseAsked = false;
    };

    // expected: the batteries heard on the bus before; mustAnswer: those that must take the
    // image.
    static Outcome overCan(CanService *service, const FirmwareImage &image,
        const QList<int> &expected, const QList<int> &mustAnswer, Console &console);
    static Outcome overSerial(const QString &port, const QByteArray &binData, Console &console);
};
