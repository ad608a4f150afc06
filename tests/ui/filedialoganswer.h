#pragma once

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

// Answers every file dialog as soon as it is shown, as a user would: with a path typed in
// and accepted, or cancelled when the path is empty. Remembers what the dialog offered.
// Application-wide, for as long as the object lives.
class FileDialogAnswer : public QObject
{
public:
    explicit FileDialogAnswer(const QString &path)
        : m_path(path)
    {
        qApp->installEventFilter(this);
    }
    ~FileDialogAnswer() override { qApp->removeEventFilter(this); }

    int shown() const { return m_shown; }
    QString title() const { return m_title; }
    QString proposedFile() const { return m_proposedFile; }
    QStringList filters() const { return m_filters; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *dialog = qobject_cast<QFileDialog *>(watched)) {
                ++m_shown;
                m_title = dialog->windowTitle();
                m_proposedFile = dialog->selectedFiles().value(0);
                m_filters = dialog->nameFilters();
                QPointer<QFileDialog> guard(dialog);
                const QString path = m_path;
                QTimer::singleShot(0, dialog, [guard, path] {
                    if (!guard)
                        return;
                    if (path.isEmpty()) {
                        guard->reject();
                        return;
                    }
                    guard->selectFile(path);
                    // QFileDialog::accept() is protected; through the base it is the same call.
                    static_cast<QDialog *>(guard.data())->accept();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_path;
    int m_shown = 0;
    QString m_title;
    QString m_proposedFile;
    QStringList m_filters;
};
