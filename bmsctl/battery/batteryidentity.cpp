#include "batteryidentity.h"

#include "can/canservice.h"

BatteryIdentity BatteryIdentity::read(CanService *service, int devId)
{
    BatteryIdentity identity;
    QByteArray field;
    identity.serialResult = service->readBatteryCode(uchar(devId), field);
    if (identity.serialResult == 0)
        identity.serial = fieldText(field);
    identity.modelResult = service->readModelCode(uchar(devId), field);
    if (identity.modelResult == 0)
        identity.model = fieldText(field);
    identity.firmwareResult = service->readFirmwareVersion(uchar(devId), field);
    if (identity.firmwareResult == 0)
        identity.firmware = fieldText(field);
    return identity;
}

QString BatteryIdentity::fieldText(const QByteArray &field)
{
    const int end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.left(end)).trimmed();
}
