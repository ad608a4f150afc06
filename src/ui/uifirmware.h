#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class UartService;

// The firmware page: the selected battery's identity (serial number, model number, firmware
// version, read over CAN every second), the choice of an image through UiFirmwareUpdateDialog,
// and the upgrade itself. The image's kind decides the path: a ".bin" goes over the serial port
// chosen in the top bar (UartService, in a worker thread of the page's), an ".s19" over CAN
// (CanService). Both report into one progress bar, one result label and one text log.
//
// START refuses, with a line in the text log and "FAILED", when no image was confirmed, when
// the serial path has no port, or when the file has changed or gone since it was confirmed:
// what is sent is always what the path field names.
//
// Over CAN every battery on the bus takes the image. The text log names the batteries online
// before START that did not answer the boot request (the upgrade goes on without them, and they
// keep their firmware), and, after a failure, those left waiting in their boot loaders, which
// START with the same image brings back. At the end it gives one line for every battery that
// answered the boot request (finished, or the step it left and why) and a summary; after a good
// finish it reads each one's firmware version back (for up to ReadBackMs, once a second) and
// names any that does not report the image's version, which makes the result FAILED.
class UiFirmware : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 1000;
    static constexpr int MaxLogBlocks = 20000;
    // Batteries restart from their boot loaders into the new firmware; they are given this long
    // to report its version.
    static constexpr int ReadBackMs = 20000;

    explicit UiFirmware(QWidget *parent = nullptr);
    ~UiFirmware() override;

    int currentDevice() const { return m_devId; }
    QString comPort() const { return m_comPort; }
    // Whether an upgrade runs, over CAN or over the serial port.
    bool isUpgrading() const;
    // Stops a running upgrade without a result: the serial one with its port closed before
    // this returns, so that the program may end right after.
    void stopUpgrading();

    // For tests and the screenshot driver.
    QLineEdit *serialNumberEdit() const { return m_serialNumber; }
    QLineEdit *modelNumberEdit() const { return m_modelNumber; }
    QLineEdit *firmwareVersionEdit() const { return m_firmwareVersion; }
    QLabel *resultLabel() const { return m_result; }
    QPlainTextEdit *textLog() const { return m_log; }
    QLineEdit *pathEdit() const { return m_path; }
    QPushButton *selectButton() const { return m_select; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *clearButton() const { return m_clear; }
    QProgressBar *progressBar() const { return m_progress; }
    // Lives in the page's worker thread: only queued calls, or setup before START.
    UartService *uartService() const { return m_uart; }

public slots:
    void OnNewComPort(QString comPort);
    void Slot_ShowMonitorData(uint devId);
    void OnClickSelect();
    void OnConfirmPath(QString path, QByteArray binData);
    void OnConfirmPath(QString path, QStringList s19Data, uint chkSum, QByteArray bootVersion);
    void OnClickStart();
    void OnNewData(QString data);
    void OnNewState(QString state);
    void OnUpgradeResult(bool success);
    void OnTimerTimeout();
    // The CAN upgrade's word on who entered the boot loaders, and who is left there.
    void OnBootAnswers(QList<int> answered, QList<int> missing);
    void OnLeftInBootLoaders(QList<int> devIds);
    // The CAN upgrade's word on every battery that answered its boot request.
    void OnRosterJudged(QList<int> finished, QMap<int, QString> notFinished);

private:
    enum class UpgradePath {
        Undecided,
        Serial,
        Can,
    };

    void upgradeByUart();
    void upgradeByCan();
    // Whether the confirmed file still holds what was confirmed; refuses START otherwise.
    bool confirmedFileUnchanged();
    void refuse(const QString &text);
    // A line of the page's own in the text log, and a Warn line (note: an Info line).
    void tell(const QString &text);
    void note(const QString &text);
    // One round of the read-back after a good finish (see the class comment).
    void readBackVersions();
    void showResult(const QString &text, const QString &styleSheet);

    QLineEdit *m_serialNumber = nullptr;
    QLineEdit *m_modelNumber = nullptr;
    QLineEdit *m_firmwareVersion = nullptr;
    QLabel *m_result = nullptr;
    QPlainTextEdit *m_log = nullptr;
    QPushButton *m_clear = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_select = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_start = nullptr;

    QString m_comPort;
    int m_devId = -1;
    UpgradePath m_upgradePath = UpgradePath::Undecided;
    QByteArray m_binData;
    QStringList m_s19Data;
    uint m_chkSum = 0;
    QByteArray m_bootVersion;

    QThread *m_thread = nullptr;
    UartService *m_uart = nullptr;
    // From START on the serial path until the service's result.
    bool m_uartUpgrading = false;
    // The read-back after a good finish over CAN: the batteries still to report, the version
    // the image carries, since when, and those that did not report it.
    bool m_readingBack = false;
    QList<int> m_readBack;
    QString m_imageVersion;
    QElapsedTimer m_readBackTime;
    QList<int> m_wrongVersion;
    QTimer *m_timer = nullptr;
};
