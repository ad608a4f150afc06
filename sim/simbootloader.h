#pragma once

#include "upgrade/canbootframe.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QStringList>

struct SimOptions;

// The CAN boot loader of one simulated battery. The host's upgrade frames carry no address, so
// every battery that hears the request enters its boot loader; from then on its application is
// stopped (no broadcasts, no answers to commands) until a good finish. A request in any step
// starts the upgrade over, so that a battery whose host was cut off mid-image recovers when a
// host sends the whole sequence again.
//
// The frames are the program's (CanBootFrame):
//
//   host frame   the boot loader                                          answers
//   Request      enters (from the application too), or starts over        55, the boot version
//   Inquire      notes the image's byte sum                               55
//   Erase        erases its flash                                         55
//   Data         joins the slices into lines (a line ends at LF),         nothing for a good
//                checks each as an S-record and writes it to flash        record, AA for a bad one
//   Finish       all records good and the byte sum (each byte signed,     55 and back to the
//                line ends included, modulo 2^32) as inquired: takes      application with the
//                the image                                                image's version; AA and
//                                                                         stays otherwise
//
// The host does not wait for answers to the lines: 28 batteries answering each of them would
// swamp the bus. Faults, for the fault packs (SimOptions): --boot-silent keeps the battery out
// of its boot loader and silent; --boot-refuse STEP answers that step with AA (a refused request
// also keeps it out; a refused data step answers its first slice) and then refuses every later
// step of the upgrade (silently the data), as a boot loader that will not take this image; --boot-corrupt answers the
// request with a wrong boot version and every other step with a wrong first byte;
// --boot-ignore-requests N lets the first N requests pass unheard, so that a host must repeat it.
class SimBootLoader : public QObject
{
    Q_OBJECT

public:
    using Step = CanBootFrame::Step;

    explicit SimBootLoader(const SimOptions &options, QObject *parent = nullptr);

    // Whether a frame is one of the host's upgrade frames.
    static bool isUpgradeFrame(quint32 id, bool extended);
    // --boot-refuse's name of a step.
    static QString stepName(Step step);

    // An upgrade frame from the host, heard by the battery with this device number.
    void handleFrame(quint8 devId, quint32 id, const QByteArray &data);
    // Whether the battery runs its boot loader (and not its application).
    bool isActive() const { return m_active; }

    // The image as written, address -> record data; what the last finish judged.
    QMap<quint32, QByteArray> flash() const { return m_flash; }
    QStringList lines() const { return m_lines; }

signals:
    // An answer to send, 8 bytes.
    void answer(quint32 id, QByteArray data);
    // A good finish: the battery runs the new image, which carries this firmware version.
    void installed(QByteArray version);

private:
    // An answer of this step: first, and the bytes of rest (CanBootFrame::answer).
    void send(quint8 devId, Step step, quint8 first, const QByteArray &rest = QByteArray());
    void answerStep(quint8 devId, Step step);
    // Forgets the records of an upgrade: its lines, a line begun, the byte sum, refusals.
    void clearRecords();
    void takeLine(quint8 devId, const QByteArray &line);
    bool finishIsGood() const;

    const SimOptions &m_options;
    bool m_active = false;
    quint32 m_expectedSum = 0;
    quint32 m_sum = 0;
    int m_badRecords = 0;
    // Refused a step (--boot-refuse): refuses every later one until the next request.
    bool m_refusing = false;
    int m_requestsIgnored = 0; // of --boot-ignore-requests
    QByteArray m_pending; // slices of a line not yet complete
    QStringList m_lines;
    QMap<quint32, QByteArray> m_flash;
};
