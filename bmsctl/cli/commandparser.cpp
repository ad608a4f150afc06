#include "commandparser.h"

#include "cli/console.h"
#include "cli/exitstatus.h"

#include <QRegularExpression>

namespace {

constexpr int HelpWidth = 79;

// Qt prints the description as given; its paragraphs are wrapped here at word boundaries.
QString wrapped(const QString &text)
{
    QStringList paragraphs;
    for (const QString &paragraph : text.split(QStringLiteral("\n\n"))) {
        QStringList lines;
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > HelpWidth) {
                lines.append(line);
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines.append(line);
        paragraphs.append(lines.join(QLatin1Char('\n')));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace

CommandParser::CommandParser(const QString &name, const QString &description)
    : m_name(name)
    , m_help(QStringList { QStringLiteral("h"), QStringLiteral("help") },
          QStringLiteral("Show this help."))
{
    m_parser.setApplicationDescription(wrapped(description));
    m_parser.addOption(m_help);
}

void CommandParser::addOption(const QCommandLineOption &option)
{
    m_parser.addOption(option);
}

void CommandParser::addPositional(
    const QString &name, const QString &description, const QString &syntax)
{
    m_parser.addPositionalArgument(name, description, syntax);
}

void CommandParser::setPositionalCount(int minimum, int maximum)
{
    m_minimumPositional = minimum;
    m_maximumPositional = maximum;
}

int CommandParser::parse(const QStringList &arguments, Console &console)
{
    // QCommandLineParser takes the program's name first.
    if (!m_parser.parse(QStringList { QStringLiteral("bmsctl") } + arguments)) {
        QString reason = m_parser.errorText();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return usageError(console, reason);
    }
    if (m_parser.isSet(m_help)) {
        console.print(helpText());
        return 0;
    }
    const int count = m_parser.positionalArguments().size();
    if (count < m_minimumPositional)
        return usageError(console, QStringLiteral("missing arguments"));
    if (count > m_maximumPositional)
        return usageError(console,
            QStringLiteral("unexpected argument \"%1\"")
                .arg(m_parser.positionalArguments().at(m_maximumPositional)));
    return -1;
}

int CommandParser::usageError(Console &console, const QString &message) const
{
    console.error(QStringLiteral("%1; see bmsctl %2 --help").arg(message, m_name));
    return ExitStatus::Usage;
}

QString CommandParser::helpText() const
{
    // Qt names the program by its path; the command's words belong there instead.
    QString text = m_parser.helpText();
    static const QRegularExpression usageLine(QStringLiteral("^Usage: \\S+"));
    text.replace(usageLine, QStringLiteral("Usage: bmsctl %1").arg(m_name));
    return text;
}
