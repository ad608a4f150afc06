#pragma once

#include "upgrade/firmwareimage.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

// Lets the user pick a firmware image, reads and checks it (FirmwareImage), shows the revision
// it carries beside the current one, and hands it to the firmware page on CONFIRM. The file's
// kind decides the upgrade path: ".bin" goes over the serial port, ".s19" over CAN.
//
// CONFIRM hands over only the data of the file whose path it hands over: the last file that
// parsed, and only while the path field still names it. After a refused file nothing is handed
// over until another file parses; the reason is shown under the file row (for an ".s19", the
// line that is bad and why) and goes to the log and to fileRefused(). For an ".s19" taken, the
// address ranges it loads are shown there instead.
class UiFirmwareUpdateDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int DialogWidth = 900;
    static constexpr int DialogHeight = 500;

    explicit UiFirmwareUpdateDialog(const QString &currentRevision, QWidget *parent = nullptr);

    // The parsers, called by OnClickBrowser for a chosen path; true when the file was taken.
    bool parseBinData(const QString &path);
    bool parseS19Data(const QString &path);
    // What OnClickBrowser does with the chosen path: the parser its extension names
    // (".bin" or ".s19", case-sensitive), or nothing.
    void choose(const QString &path);

    QLineEdit *pathEdit() const { return m_path; }
    QLineEdit *newRevisionEdit() const { return m_newRevision; }
    QPushButton *browseButton() const { return m_browse; }
    // Why the last chosen file was refused; empty once a file was taken.
    QLabel *refusalLabel() const { return m_refusal; }
    // The addresses the last ".s19" taken loads; empty for a ".bin".
    QLabel *rangesLabel() const { return m_ranges; }
    QPushButton *confirmButton() const { return m_confirm; }

signals:
    void confirmedPath(QString path, QByteArray binData);
    void confirmedPath(QString path, QStringList s19Data, uint chkSum, QByteArray bootVersion);
    // A chosen file was refused; text names the file and why, as the log has it.
    void fileRefused(QString text);

public slots:
    void OnClickBrowser();
    void OnClickConfirm();

private:
    void refuse(const QString &text);
    void take(const QString &path, const FirmwareImage &image);

    QLineEdit *m_currentRevision = nullptr;
    QLineEdit *m_newRevision = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    QLabel *m_refusal = nullptr;
    QLabel *m_ranges = nullptr;
    QPushButton *m_confirm = nullptr;

    // The last file that parsed: its path and content. Cleared by a refused file.
    QString m_parsedPath;
    FirmwareImage m_image;
};
