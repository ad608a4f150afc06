#include "slcancodec.h"

#include "can/sja1000timing.h"
#include "log/bytetext.h"

#include <array>

namespace {

// The bit rates of S0 .. S8, kbit/s.
constexpr std::array<int, 9> CodeRates { 10, 20, 50, 100, 125, 250, 500, 800, 1000 };
constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;
constexpr int TimeStampDigits = 4;
constexpr quint32 StandardIdLimit = 0x800;
constexpr quint32 ExtendedIdLimit = 0x20000000;

// The value of `digits` hex digits at `at`, or -1.
qint64 hexNumber(const QByteArray &line, int at, int digits)
{
    qint64 value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = ByteText::hexDigit(line.at(at + i));
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

void appendHex(QByteArray *line, quint32 value, int digits)
{
    static const char Digits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        line->append(Digits[(value >> shift) & 0xF]);
}

} // namespace

QByteArray SlcanCodec::frameLine(const CanFrame &frame)
{
    const int length = std::min(int(frame.data.size()), CanFrame::MaxDataLength);
    QByteArray line;
    line.reserve(1 + ExtendedIdDigits + 1 + 2 * length + 1);
    if (frame.remote)
        line.append(frame.extended ? 'R' : 'r');
    else
        line.append(frame.extended ? 'T' : 't');
    appendHex(&line, frame.id, frame.extended ? ExtendedIdDigits : StandardIdDigits);
    line.append(char('0' + length));
    if (!frame.remote) {
        for (int i = 0; i < length; ++i)
            appendHex(&line, quint8(frame.data.at(i)), 2);
    }
    line.append(Ok);
    return line;
}

bool SlcanCodec::isFrameLine(const QByteArray &line)
{
    return !line.isEmpty()
        && (line.at(0) == 't' || line.at(0) == 'T' || line.at(0) == 'r' || line.at(0) == 'R');
}

bool SlcanCodec::parseFrame(const QByteArray &line, CanFrame *frame, int *timeMs)
{
    if (!isFrameLine(line))
        return false;
    const char kind = line.at(0);
    const bool extended = kind == 'T' || kind == 'R';
    const bool remote = kind == 'r' || kind == 'R';
    const int idDigits = extended ? ExtendedIdDigits : StandardIdDigits;
    const int lengthAt = 1 + idDigits;
    if (line.size() <= lengthAt)
        return false;
    const qint64 id = hexNumber(line, 1, idDigits);
    const int length = line.at(lengthAt) - '0';
    if (id < 0 || id >= qint64(extended ? ExtendedIdLimit : StandardIdLimit) || length < 0
        || length > CanFrame::MaxDataLength)
        return false;
    const int dataDigits = remote ? 0 : 2 * length;
    const int bare = lengthAt + 1 + dataDigits;
    if (line.size() != bare && line.size() != bare + TimeStampDigits)
        return false;

    QByteArray data;
    if (!remote) {
        data.resize(length);
        for (int i = 0; i < length; ++i) {
            const qint64 byte = hexNumber(line, lengthAt + 1 + 2 * i, 2);
            if (byte < 0)
                return false;
            data[i] = char(byte);
        }
    }
    int stamp = -1;
    if (line.size() == bare + TimeStampDigits) {
        stamp = int(hexNumber(line, bare, TimeStampDigits));
        if (stamp < 0)
            return false;
    }
    frame->id = quint32(id);
    frame->extended = extended;
    frame->remote = remote;
    frame->data = data;
    if (timeMs)
        *timeMs = stamp;
    return true;
}

QByteArray SlcanCodec::bitRateCommand(int bitRateKbit)
{
    for (size_t code = 0; code < CodeRates.size(); ++code) {
        if (CodeRates[code] == bitRateKbit)
            return QByteArray("S") + char('0' + code) + Ok;
    }
    const std::optional<Sja1000Timing::Registers> registers = Sja1000Timing::find(bitRateKbit);
    if (!registers)
        return QByteArray();
    QByteArray line("s");
    appendHex(&line, registers->btr0, 2);
    appendHex(&line, registers->btr1, 2);
    line.append(Ok);
    return line;
}

int SlcanCodec::bitRateOfCommand(const QByteArray &line)
{
    if (line.size() == 2 && line.at(0) == 'S') {
        const int code = line.at(1) - '0';
        return code >= 0 && code < int(CodeRates.size()) ? CodeRates[size_t(code)] : 0;
    }
    if (line.size() == 5 && line.at(0) == 's') {
        const qint64 btr0 = hexNumber(line, 1, 2);
        const qint64 btr1 = hexNumber(line, 3, 2);
        if (btr0 < 0 || btr1 < 0)
            return 0;
        return Sja1000Timing::bitRateOf({ quint8(btr0), quint8(btr1) });
    }
    return 0;
}
