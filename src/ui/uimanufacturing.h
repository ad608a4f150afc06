#pragma once

#include <QWidget>

class AbstractSignalValue;
class CanService;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

// The end-of-line page: a production worker gives the battery on the bench its device number,
// writes and reads back its serial number (the battery code) and model code, clears its history
// energy counter and watches whether its clock has been set. Every action ends in a large PASS
// or NG verdict that is counted, so that a batch of packs can be worked through one after the
// other, the "Increase" buttons preparing the next number.
//
// Everything goes through the CAN service; the page owns only the texts, the number formats,
// the verdicts and the counters. All reads and writes address the battery selected in the top
// bar, except the device-number write, which goes to whoever listens on the bus's set-number
// address (the one battery on the bench).
//
// Device numbers above 27 cannot be addressed on the bus, and the battery keeps only 32
// characters of a code. The page therefore refuses, with an NG verdict and a Warn line, to
// write a device number above 27, to increase one beyond 27, and to increase a serial number
// into more characters than the field holds, rather than let the number be cut silently.
class UiManufacturing : public QWidget
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 1000;
    // Characters of the battery's serial number and model code.
    static constexpr int CodeLength = 32;

    // The page's buttons, by what they do.
    enum Action {
        WriteDeviceId,
        IncreaseDeviceId,
        ReadSerial,
        WriteSerial,
        IncreaseSerial,
        ReadModel,
        WriteModel,
        ClearHistoryEnergy,
        ActionCount
    };

    // The offline status is read from source and every command goes through service; both
    // outlive the page.
    UiManufacturing(
        const AbstractSignalValue *source, CanService *service, QWidget *parent = nullptr);

    int currentDevice() const { return int(m_devId); }
    int passCount() const { return m_passCount; }
    int failedCount() const { return m_failedCount; }

    QPushButton *button(Action action) const;
    QLineEdit *deviceIdEdit() const { return m_deviceIdEdit; }
    QLineEdit *serialEdit() const { return m_serialEdit; }
    QLineEdit *modelEdit() const { return m_modelEdit; }
    QLineEdit *timeCalibrationEdit() const { return m_timeEdit; }
    QLabel *resultLabel() const { return m_result; }
    QLabel *passCountLabel() const { return m_passCountLabel; }
    QLabel *failedCountLabel() const { return m_failedCountLabel; }
    QTimer *checkTimer() const { return m_checkTimer; }

    // The verdict label's looks, set together with its text.
    static QString passStyle();
    static QString failedStyle();

public slots:
    void Slot_ShowMonitorData(uint devId);

private slots:
    void addPassCount();
    void addFailedCount();
    void clearCount();
    void OnClickWriteDeviceId();
    void OnClickIncreaseDeviceId();
    void OnClickReadSerial();
    void OnClickWriteSerial();
    void OnClickIncreaseSerial();
    void OnClickReadModel();
    void OnClickWriteModel();
    void OnClickClearHistoryEnergy();
    void OnCheckSyncResult();

private:
    void showResult(bool pass);
    QPushButton *makeButton(Action action, const QString &text, void (UiManufacturing::*slot)());
    // The code's text up to its first NUL byte.
    static QString codeText(const QByteArray &code);

    const AbstractSignalValue *m_source = nullptr;
    CanService *m_service = nullptr;
    uint m_devId = 0;
    int m_passCount = 0;
    int m_failedCount = 0;

    QPushButton *m_buttons[ActionCount] = {};
    QLineEdit *m_deviceIdEdit = nullptr;
    QLineEdit *m_serialEdit = nullptr;
    QLineEdit *m_modelEdit = nullptr;
    QLineEdit *m_timeEdit = nullptr;
    QLabel *m_result = nullptr;
    QTextEdit *m_log = nullptr;
    QLabel *m_passCountLabel = nullptr;
    QLabel *m_failedCountLabel = nullptr;
    QTimer *m_checkTimer = nullptr;
};
