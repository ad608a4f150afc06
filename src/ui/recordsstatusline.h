#pragma once

#include <QLabel>

// The status line under a records table: what the page is doing or did last (a read-out, a
// recording) and how the last save went, side by side. A failed save is also shown in a warning
// box, since the line alone is easy to miss.
class RecordsStatusLine : public QLabel
{
    Q_OBJECT
public:
    explicit RecordsStatusLine(QWidget *parent = nullptr);

    void setActivity(const QString &text);
    // Saving to path has begun.
    void setSaving(const QString &path);
    // Forgets the last save, whose news no longer concerns the rows shown.
    void clearSave();

public slots:
    void OnSavingDataFinished(QString path);
    void OnSavingDataError(QString error);

private:
    void refresh();

    QString m_activity;
    QString m_save;
};
