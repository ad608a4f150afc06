#pragma once

#include "signals/abstractsignalvalue.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

// Helpers shared by the widget tests.
namespace UiTest {

// Puts one broadcast frame of battery devId, carrying the given physical values, into the
// application's signal store (or another), exactly as if the adapter had received it. A status frame is
// preceded by a moving life counter, so the store believes it however long the test has run.
inline void feed(quint8 devId, quint32 frameKey, const QHash<int, double> &values,
    SignalValues *store = SignalValues::instance())
{
    if (frameKey == FrameKey::PackStatus) {
        static int lifeCounter = 0;
        lifeCounter = (lifeCounter + 1) % 256;
        store->OnNewCanFrame(FrameKey::identifier(FrameKey::PackInfo, devId),
            store->encode(FrameKey::PackInfo, { { Signal::LifeCounter, lifeCounter } }), 0);
    }
    store->OnNewCanFrame(FrameKey::identifier(frameKey, devId), store->encode(frameKey, values), 0);
}

// A store whose values the test sets one by one, for values no frame can carry (a status of
// 5 does not fit its two bits). Unset values read as int 0.
class FakeStore : public AbstractSignalValue
{
public:
    void set(int devId, int index, const QVariant &value)
    {
        m_values.insert(key(devId, index), value);
    }
    QVariant value(int devId, int index) const override
    {
        return m_values.value(key(devId, index), QVariant(0));
    }
    void OnNewCanFrame(ulong, const QByteArray &, ulong) override { }

private:
    static qint64 key(int devId, int index) { return qint64(devId) * 1000 + index; }
    QHash<qint64, QVariant> m_values;
};

// Closes every dialog of type T as soon as it is shown, after handing it to a callback, so
// that a slot running exec() returns. Application-wide, for as long as the object lives.
template <typename T> class DialogCatcher : public QObject
{
public:
    using Inspect = std::function<void(T *)>;
    explicit DialogCatcher(Inspect inspect = Inspect())
        : m_inspect(std::move(inspect))
    {
        qApp->installEventFilter(this);
    }
    ~DialogCatcher() override { qApp->removeEventFilter(this); }

    int shown() const { return m_shown; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *dialog = qobject_cast<T *>(watched)) {
                ++m_shown;
                if (m_inspect)
                    m_inspect(dialog);
                // Closed from the event loop, once exec() is running.
                QPointer<T> guard(dialog);
                QTimer::singleShot(0, dialog, [guard] {
                    if (guard)
                        guard->done(0);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Inspect m_inspect;
    int m_shown = 0;
};

} // namespace UiTest
