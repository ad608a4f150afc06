#include "parameterreader.h"

#include "console.h"
#include "interruption.h"
#include "parametercatalogue.h"

#include "can/canservice.h"

bool ParameterReader::read(CanService *service, int devId, const ParameterCatalogue &catalogue,
    const QList<int> &positions, QHash<int, qint32> *values, Console &console)
{
    for (int i = 0; i < positions.size(); ++i) {
        if (Interruption::requested()) {
            console.error(QStringLiteral("interrupted after reading %1 of %2 parameters; nothing "
                                         "written")
                              .arg(i)
                              .arg(positions.size()));
            return false;
        }
        console.progress(QStringLiteral("reading parameters %1/%2").arg(i).arg(positions.size()));
        const int position = positions.at(i);
        int value = 0;
        if (service->readParameter(uchar(devId), uchar(catalogue.item(position).paramId), value)
            != 0) {
            console.error(QStringLiteral("battery %1 did not answer for parameter %2 (%3); "
                                         "nothing written")
                              .arg(devId)
                              .arg(catalogue.item(position).paramId)
                              .arg(catalogue.name(position)));
            return false;
        }
        values->insert(position, qint32(value));
    }
    return true;
}
