#pragma once

#include "can/canupgradesession.h"

// An upgrade session for the CAN service's own tests, which do not link the upgrade: it does
// nothing but keep its step. start() puts it in step 1 and stop() back to 0 (idle); every
// other call is ignored, and it takes no answer.
//
//   CanService service(new CanDevice(bus), new FakeUpgradeSession);
class FakeUpgradeSession : public CanUpgradeSession
{
public:
    int start(const QStringList &, uint, const QByteArray &, const QList<int> &) override
    {
        m_step = 1;
        return 0;
    }
    void stop() override { m_step = 0; }
    int step() const override { return m_step; }
    int dataFramesPerSecond() override { return 0; }
    void tick() override { }
    QList<int> inBootLoaders() const override { return {}; }
    void setBacklog(std::function<int()>) override { }
    void setBusBitRate(int) override { }
    void hear(quint32, const QByteArray &) override { }
    bool takeAnswer(quint32, const QByteArray &) override { return false; }
    void transmitFailed(quint32, const QByteArray &) override { }
    void busClosed() override { }

private:
    int m_step = 0;
};
