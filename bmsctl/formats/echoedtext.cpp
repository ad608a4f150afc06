#include "echoedtext.h"

namespace {

bool isControl(QChar c)
{
    const ushort code = c.unicode();
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

} // namespace

QString EchoedText::of(const QString &text, int maxChars)
{
    QString shown;
    const QStringView kept = QStringView(text).left(maxChars);
    shown.reserve(kept.size());
    for (QChar c : kept) {
        if (isControl(c))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (text.size() > maxChars)
        shown += QChar(0x2026); // an ellipsis
    return shown;
}
