#pragma once

#include "can/upgradesession.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>

// A firmware upgrade session over the CAN bus, as the CAN service sees one: an UpgradeSession it
// can start with an image, whose signals it passes on as its own. The service is the session's
// transport: frames go out through sendFrame(), every frame received comes in through hear() and
// the upgrade's answers through takeAnswer(). How an upgrade works (its steps, frames and texts)
// is the session's business; the program's is CanUpgrade (upgrade/), handed to the service at
// start-up.
//
// Threads: GUI thread only, like the service.
class CanUpgradeSession : public UpgradeSession
{
    Q_OBJECT

public:
    using UpgradeSession::UpgradeSession;

    // Starts, or starts again from the beginning, with these inputs (the image's S-record lines
    // with their line ends, their signed byte sum and the boot version; the batteries expected
    // to answer); 0, or -1 when it will not start (the result and the reason come first, as
    // for an upgrade that failed).
    virtual int start(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
        const QList<int> &expected)
        = 0;
    // The pace of the session's data frames now, frames a second.
    virtual int dataFramesPerSecond() = 0;
    // The session's tick.
    virtual void tick() = 0;
    // The batteries the last upgrade sent into their boot loaders (they answered its boot
    // request) that have not left them by a good finish, in ascending order: whoever stopped it
    // or saw it end learns who waits there.
    virtual QList<int> inBootLoaders() const = 0;

    // The transport. How many frames sent are still on their way to the adapter.
    virtual void setBacklog(std::function<int()> backlog) = 0;
    // The bus was opened with this bit rate.
    virtual void setBusBitRate(int bitsPerSecond) = 0;
    // Every frame received (29-bit identifier, 8 data bytes).
    virtual void hear(quint32 id, const QByteArray &data) = 0;
    // A frame from a battery numbered below 28: true when it is one of the session's answers,
    // which nothing else is to look at, whether the session uses it or not.
    virtual bool takeAnswer(quint32 id, const QByteArray &data) = 0;
    // The adapter could not send a frame.
    virtual void transmitFailed(quint32 id, const QByteArray &data) = 0;
    // The bus is being closed.
    virtual void busClosed() = 0;

signals:
    void sendFrame(ulong id, QByteArray data);
    void bootAnswersCollected(QList<int> answered, QList<int> missing);
    void leftInBootLoaders(QList<int> devIds);
    // Once an upgrade past the boot request has ended (after its result and text): the batteries
    // that answered the boot request and finished well, and each other one with why it did not,
    // as a clause ("refused the erase", "did not answer the finish", "was cut off (failed at
    // state: US_SEND_DATA)").
    void rosterJudged(QList<int> finished, QMap<int, QString> notFinished);
};
