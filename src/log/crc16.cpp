#include "crc16.h"

#include <array>

namespace {

using Table = std::array<quint16, 256>;

Table reflectedTable(quint16 polynomial)
{
    Table table {};
    for (int byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ polynomial) : quint16(crc >> 1);
        table[size_t(byte)] = crc;
    }
    return table;
}

Table normalTable(quint16 polynomial)
{
    Table table {};
    for (int byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ polynomial) : quint16(crc << 1);
        table[size_t(byte)] = crc;
    }
    return table;
}

} // namespace

quint16 Crc16::modbus(const char *data, int length)
{
    static const Table table = reflectedTable(0xA001);
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc >> 8) ^ table[(crc ^ quint8(data[i])) & 0xFF]);
    return crc;
}

quint16 Crc16::xmodem(const char *data, int length)
{
    static const Table table = normalTable(0x1021);
    quint16 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc << 8) ^ table[((crc >> 8) ^ quint8(data[i])) & 0xFF]);
    return crc;
}
