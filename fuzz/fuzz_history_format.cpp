// A history event record as the battery sends it, turned into the 47 cells of the history
// events table and CSV file (HistoryEventModel::formatRecord), with its check sum tested.
#include "fuzztarget.h"

#include "records/historyeventmodel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray record(reinterpret_cast<const char *>(data), int(size));
    HistoryEventModel::hasValidChecksum(record);
    const int slaveNo = size > 0 ? data[0] % 28 : 0;
    const QStringList cells = HistoryEventModel::formatRecord(record, slaveNo);
    if (record.size() < HistoryEventModel::RecordSize) {
        if (!cells.isEmpty())
            __builtin_trap();
        return 0;
    }
    if (cells.size() != HistoryEventModel::ColumnCount)
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
    if (cells.at(45) != HistoryEventModel::faultText(quint8(record.at(74))))
        __builtin_trap();
    return 0;
}
