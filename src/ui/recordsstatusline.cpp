#include "recordsstatusline.h"

#include <QMessageBox>

RecordsStatusLine::RecordsStatusLine(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("RecordsStatus"));
}

void RecordsStatusLine::setActivity(const QString &text)
{
    m_activity = text;
    refresh();
}

void RecordsStatusLine::setSaving(const QString &path)
{
    m_save = tr("Saving %1 ...").arg(path);
    refresh();
}

void RecordsStatusLine::clearSave()
{
    m_save.clear();
    refresh();
}

void RecordsStatusLine::OnSavingDataFinished(QString path)
{
    m_save = tr("Saved %1").arg(path);
    refresh();
}

void RecordsStatusLine::OnSavingDataError(QString error)
{
    m_save = tr("Not saved.");
    refresh();
    QMessageBox::warning(this, tr("Error"), error, QMessageBox::Ok);
}

void RecordsStatusLine::refresh()
{
    QStringList parts;
    for (const QString &part : { m_activity, m_save }) {
        if (!part.isEmpty())
            parts.append(part);
    }
    setText(parts.join(QStringLiteral("    ")));
}
