#pragma once

#include <QString>

// A piece of a file shown in a message. A log or a file from a site is not trusted: its text
// could carry terminal escape sequences (a title set, the screen cleared) or a line of megabytes.
// Every control character (C0, DEL and C1) is shown as \xNN and the text is cut at maxChars with
// an ellipsis, so what reaches the terminal is plain and short.
class EchoedText
{
public:
    static constexpr int DefaultMaxChars = 40;

    static QString of(const QString &text, int maxChars = DefaultMaxChars);
};
