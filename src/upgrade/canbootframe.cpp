#include "canbootframe.h"

#include <QtEndian>

namespace {

constexpr int ChkSumOffset = 4;

// data cut or zero-filled to size bytes.
QByteArray sized(const QByteArray &data, int size)
{
    return data.left(size) + QByteArray(qMax(0, size - data.size()), '\0');
}

} // namespace

quint32 CanBootFrame::hostId(Step step)
{
    switch (step) {
    case Request:
        return RequestBootId;
    case Inquire:
        return InquireBootId;
    case Erase:
        return EraseFlashId;
    case Data:
        return DataId;
    case Finish:
        return FinishId;
    }
    return 0;
}

int CanBootFrame::stepOfHostFrame(quint32 id)
{
    for (Step step : { Request, Inquire, Erase, Data, Finish }) {
        if (id == hostId(step))
            return step;
    }
    return 0;
}

QByteArray CanBootFrame::inquireData(quint32 chkSum)
{
    QByteArray data(ChkSumOffset + 4, '\0');
    qToBigEndian(chkSum, data.data() + ChkSumOffset);
    return data;
}

quint32 CanBootFrame::chkSumOf(const QByteArray &inquireData)
{
    return qFromBigEndian<quint32>(sized(inquireData, ChkSumOffset + 4).constData() + ChkSumOffset);
}

QList<QByteArray> CanBootFrame::slicesOf(const QString &line)
{
    QList<QByteArray> slices;
    for (int start = 0; start < line.size(); start += SliceSize)
        slices.append(line.mid(start, SliceSize).toLatin1());
    return slices;
}

bool CanBootFrame::isSlice(const QByteArray &data)
{
    static const QByteArray lineCharacters("S0123456789ABCDEFabcdef\r\n");
    const int length = data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0');
    if (length == 0)
        return false;
    for (int i = 0; i < data.size(); ++i) {
        if (i < length ? !lineCharacters.contains(data.at(i)) : data.at(i) != '\0')
            return false;
    }
    return true;
}

QByteArray CanBootFrame::answer(quint8 first, const QByteArray &rest)
{
    return sized(char(first) + rest, AnswerSize);
}

QByteArray CanBootFrame::bootAnswer(const QByteArray &bootVersion)
{
    return answer(Accepted, sized(bootVersion, BootVersionSize));
}

bool CanBootFrame::carriesBootVersion(const QByteArray &answer, const QByteArray &bootVersion)
{
    return bootVersion.size() >= BootVersionSize
        && answer.mid(1, BootVersionSize) == bootVersion.left(BootVersionSize);
}
