#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// The frames of the CAN boot loaders' protocol, both ways, encoder beside decoder: the host's
// frames carry no device address (every battery that hears them takes them), the answers carry
// the answering battery's number in their identifier's low byte. Answers are 8 bytes long.
//
//   step     host sends  its data                           answer id          answer data
//   Request  0x1FF00     none                               0x10000 | devId    55, the first 5
//                                                                              bytes of the boot
//                                                                              version
//   Inquire  0x20000     00 00 00 00, chkSum big-endian     0x20000 | devId    55
//   Erase    0x30000     none                               0x30000 | devId    55
//   Data     0x40000     a slice of up to 8 characters of   0x40000 | devId    none for a good
//                        an S-record line, Latin-1                             record, AA refuses
//   Finish   0x50000     none                               0x50000 | devId    55
//
// A first answer byte other than 55 (Accepted) refuses the step.
class CanBootFrame
{
public:
    enum Step { Request = 1, Inquire, Erase, Data, Finish };

    static constexpr quint32 RequestBootId = 0x1FF00;
    static constexpr quint32 InquireBootId = 0x20000;
    static constexpr quint32 EraseFlashId = 0x30000;
    static constexpr quint32 DataId = 0x40000;
    static constexpr quint32 FinishId = 0x50000;
    static constexpr quint8 Accepted = 0x55; // "U"
    static constexpr quint8 Refused = 0xAA;
    static constexpr int BootVersionSize = 5;
    static constexpr int SliceSize = 8;
    static constexpr int AnswerSize = 8;

    // The host's frames.
    static quint32 hostId(Step step);
    // Whether id is one of the host's five identifiers, and the step it belongs to (0 if none).
    static bool isHostFrame(quint32 id) { return stepOfHostFrame(id) != 0; }
    static int stepOfHostFrame(quint32 id);
    static QByteArray inquireData(quint32 chkSum);
    // The checksum an inquire frame carries (missing bytes read as 0).
    static quint32 chkSumOf(const QByteArray &inquireData);
    // An S-record line as the data step sends it: consecutive slices of SliceSize characters,
    // the last one shorter, each as Latin-1 bytes.
    static QList<QByteArray> slicesOf(const QString &line);
    static int sliceCount(const QString &line) { return (line.size() + SliceSize - 1) / SliceSize; }
    // Whether 8 received bytes can be a slice of an S-record line (a shorter slice arrives
    // NUL-filled): its characters, and never an answer, whose first byte is not one of them.
    static bool isSlice(const QByteArray &data);

    // The answers.
    static quint32 answerId(Step step, quint8 devId) { return quint32(step) << 16 | devId; }
    // Identifier bits 16 and up are 1 to 5; the step is those bits, the sender the low byte.
    static bool isAnswer(quint32 id) { return (id >> 16) >= Request && (id >> 16) <= Finish; }
    static Step stepOfAnswer(quint32 id) { return Step(id >> 16); }
    static quint8 senderOf(quint32 id) { return quint8(id & 0xFFu); }
    // first, then the bytes of rest, zero-filled (or cut) to AnswerSize.
    static QByteArray answer(quint8 first, const QByteArray &rest = QByteArray());
    // A good answer to the request: Accepted and the first BootVersionSize bytes of
    // bootVersion, NUL-filled.
    static QByteArray bootAnswer(const QByteArray &bootVersion);
    static bool isAccepted(const QByteArray &answer)
    {
        return !answer.isEmpty() && quint8(answer.at(0)) == Accepted;
    }
    // Whether an answer to the request names bootVersion (a version shorter than
    // BootVersionSize bytes never matches).
    static bool carriesBootVersion(const QByteArray &answer, const QByteArray &bootVersion);
};
