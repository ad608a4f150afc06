#include "adaptertraffic.h"

#include "fakecontrolcanclient.h"
#include "settings/thresholdsetting.h"
#include "signals/batterybank.h"
#include "signals/signalvalues.h"
#include "simbattery.h"

AdapterTraffic::AdapterTraffic(const QString &library, QObject *parent)
    : QObject(parent)
    , m_fake(std::make_unique<FakeControlCanClient>(library))
{ }

AdapterTraffic::~AdapterTraffic() = default;

bool AdapterTraffic::isReady() const
{
    return m_fake->isLoaded();
}

QString AdapterTraffic::errorString() const
{
    return m_fake->errorString();
}

void AdapterTraffic::start()
{
    // Children: the batteries keep references to them.
    auto *catalogue = new SignalValues(this);
    auto *parameters = new ThresholdSetting(this);

    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId) {
        auto *battery = new SimBattery(quint8(devId), m_options, *catalogue, *parameters, this);
        connect(battery, &SimBattery::broadcast, this, [this](quint32 id, const QByteArray &data) {
            m_fake->queueReceive(CanFrame { id, data });
        });
    }
}
