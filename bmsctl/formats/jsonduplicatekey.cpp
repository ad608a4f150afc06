#include "jsonduplicatekey.h"

#include <QSet>
#include <QVector>

namespace {

// An object or array the scan is inside.
struct Level
{
    bool object = false;
    QString path;
    QSet<QString> keys;
    bool keyComes = false; // object: the next string is a key
    QString key; // object: the key whose value is being read
    int index = 0; // array: the element being read
};

QString childPath(const QVector<Level> &levels)
{
    if (levels.isEmpty())
        return QString();
    const Level &parent = levels.last();
    if (!parent.object)
        return QStringLiteral("%1[%2]").arg(parent.path).arg(parent.index);
    return parent.path.isEmpty() ? parent.key : parent.path + QLatin1Char('.') + parent.key;
}

// The string whose opening quote is at *at; *at ends past its closing quote.
QString readString(const QByteArray &json, int *at)
{
    QString text;
    QByteArray plain; // UTF-8 bytes since the last escape
    int i = *at + 1;
    while (i < json.size() && json.at(i) != '"') {
        if (json.at(i) != '\\') {
            plain.append(json.at(i++));
            continue;
        }
        text += QString::fromUtf8(plain);
        plain.clear();
        const char escaped = i + 1 < json.size() ? json.at(i + 1) : '\\';
        i += 2;
        switch (escaped) {
        case 'b':
            text += QLatin1Char('\b');
            break;
        case 'f':
            text += QLatin1Char('\f');
            break;
        case 'n':
            text += QLatin1Char('\n');
            break;
        case 'r':
            text += QLatin1Char('\r');
            break;
        case 't':
            text += QLatin1Char('\t');
            break;
        case 'u':
            // A character beyond 16 bits comes as two escapes, each half of a surrogate pair.
            text += QChar(json.mid(i, 4).toUShort(nullptr, 16));
            i += 4;
            break;
        default: // '"', '\\', '/'
            text += QLatin1Char(escaped);
        }
    }
    *at = i + 1;
    return text + QString::fromUtf8(plain);
}

} // namespace

JsonDuplicateKey::Found JsonDuplicateKey::find(const QByteArray &json)
{
    QVector<Level> levels;
    for (int i = 0; i < json.size();) {
        const char c = json.at(i);
        if (c == '{' || c == '[') {
            Level level;
            level.object = c == '{';
            level.keyComes = level.object;
            level.path = childPath(levels);
            levels.append(level);
        } else if ((c == '}' || c == ']') && !levels.isEmpty()) {
            levels.removeLast();
        } else if (c == ',' && !levels.isEmpty()) {
            Level &level = levels.last();
            level.keyComes = level.object;
            level.index += level.object ? 0 : 1;
        } else if (c == '"') {
            const int start = i;
            const QString text = readString(json, &i);
            if (levels.isEmpty() || !levels.last().keyComes)
                continue;
            Level &level = levels.last();
            if (level.keys.contains(text))
                return { text, level.path, start };
            level.keys.insert(text);
            level.key = text;
            level.keyComes = false;
            continue;
        }
        ++i;
    }
    return {};
}
