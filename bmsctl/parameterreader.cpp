#include "parameterreader.h"

#include "parametercatalogue.h"

#include "can/canservice.h"

int ParameterReader::read(CanService *service, int devId, const ParameterCatalogue &catalogue,
    const QList<int> &positions, QHash<int, qint32> *values,
    const std::function<void(int, int)> &progress)
{
    for (int i = 0; i < positions.size(); ++i) {
        if (progress)
            progress(i, int(positions.size()));
        const int position = positions.at(i);
        int value = 0;
        if (service->readParameter(uchar(devId), uchar(catalogue.item(position).paramId), value)
            != 0)
            return position;
        values->insert(position, qint32(value));
    }
    return -1;
}
