// A history event record as the battery sends it, decoded (HistoryRecordCodec) and turned into
// the 47 cells of the history events table and CSV file (HistoryRecordText), with its check sum
// tested.
#include "fuzztarget.h"

#include "records/historyrecordcodec.h"
#include "records/historyrecordtext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    HistoryRecordCodec::hasValidChecksum(bytes);
    const std::optional<HistoryRecord> record = HistoryRecordCodec::decode(bytes);
    if (bytes.size() < HistoryRecordCodec::Size) {
        if (record)
            __builtin_trap();
        return 0;
    }
    // Nothing of the record is lost: encoded again it is the bytes with their check sum made.
    QByteArray sealed = bytes.left(HistoryRecordCodec::Size);
    HistoryRecordCodec::seal(sealed);
    if (!record || HistoryRecordCodec::encode(*record) != sealed)
        __builtin_trap();
    const int slaveNo = data[0] % 28;
    const QStringList cells = HistoryRecordText::cells(*record, slaveNo);
    if (cells.size() != HistoryRecordText::ColumnCount)
        __builtin_trap();
    // A cell never holds what would break a CSV line.
    for (const QString &cell : cells) {
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('\n'))
            || cell.contains(QLatin1Char('"')))
            __builtin_trap();
    }
    // Numbers print as numbers; the fault text is a known one or empty.
    bool ok = false;
    cells.at(4).toDouble(&ok); // Curr
    if (!ok || cells.at(2) != QString::number(slaveNo))
        __builtin_trap();
    if (cells.at(45) != HistoryRecordText::faultText(record->faultId))
        __builtin_trap();
    return 0;
}
