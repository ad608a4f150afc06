#include "console.h"

#include "cli/table.h"

#include <QJsonDocument>
#include <QJsonObject>

#ifdef Q_OS_WIN
#include <io.h>
#define BMSCTL_ISATTY(file) _isatty(_fileno(file))
#else
#include <unistd.h>
#define BMSCTL_ISATTY(file) isatty(fileno(file))
#endif

namespace {

void writeTo(std::FILE *file, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
}

} // namespace

Console::Console(std::FILE *out, std::FILE *err)
    : m_out(out)
    , m_err(err)
    , m_errIsTerminal(BMSCTL_ISATTY(err) != 0)
{ }

void Console::print(const QString &text)
{
    endProgress();
    writeTo(m_out, text);
}

void Console::printTable(const Table &table)
{
    print(table.render());
}

void Console::printJson(const QJsonObject &object)
{
    print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

void Console::error(const QString &message)
{
    endProgress();
    const QString prefix = m_command.isEmpty() ? QStringLiteral("bmsctl: ")
                                               : QStringLiteral("bmsctl %1: ").arg(m_command);
    writeErr(prefix + message + QLatin1Char('\n'));
}

void Console::progress(const QString &text)
{
    if (!m_errIsTerminal)
        return;
    // Blanks over what is left of a longer previous line.
    const QString padding(qMax(0, m_progressWidth - text.size()), QLatin1Char(' '));
    writeErr(QLatin1Char('\r') + text + padding);
    m_progressWidth = text.size();
}

void Console::endProgress()
{
    if (!m_errIsTerminal || m_progressWidth == 0)
        return;
    writeErr(QLatin1Char('\r') + QString(m_progressWidth, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_progressWidth = 0;
}

void Console::writeErr(const QString &text)
{
    writeTo(m_err, text);
}
