#include "uibankline.h"

#include "signals/bankstate.h"
#include "signals/signalvalues.h"

#include <QDateTime>
#include <QTextDocument>

const QColor UiBankLine::ProtectionColor(0xD0, 0x20, 0x20);
// A yellow dark enough to read on white.
const QColor UiBankLine::AlarmColor(0xC0, 0x90, 0x00);
const QColor UiBankLine::OfflineColor(0x80, 0x80, 0x80);

namespace {

QString idText(int devId)
{
    return QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0'));
}

// "Protection: 03, 17" with each number a link, all in one colour; empty for no battery.
QString group(const QString &title, const QList<int> &devIds, const QColor &color)
{
    if (devIds.isEmpty())
        return QString();
    QStringList links;
    for (int devId : devIds) {
        links.append(QStringLiteral("<a href=\"%1\" style=\"color:%2;\">%3</a>")
                         .arg(QString::number(devId), color.name(), idText(devId)));
    }
    return QStringLiteral("<span style=\"color:%1;\">%2</span>")
        .arg(color.name(), title.arg(links.join(QStringLiteral(", "))));
}

} // namespace

UiBankLine::UiBankLine(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("MainTopBankLine"));
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setMinimumWidth(220);
    setMaximumWidth(420);
    setFont(QFont(QStringLiteral("Microsoft YaHei"), 10, QFont::Bold));
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this,
        [this](const QString &link) { emit batteryClicked(link.toInt()); });
}

void UiBankLine::showState(const BankState &state, const SignalValues &store)
{
    QStringList groups;
    for (const QString &part : { group(tr("Protection: %1"), state.protection(), ProtectionColor),
             group(tr("Alarm: %1"), state.alarm(), AlarmColor),
             group(tr("Offline: %1"), state.offline(), OfflineColor) }) {
        if (!part.isEmpty())
            groups.append(part);
    }
    const QString line = groups.join(QStringLiteral(" · "));
    if (line != text())
        setText(line);

    QStringList tip;
    if (!state.isWell())
        tip.append(
            tr("Batteries of the whole bank that need a look; click a number to select it."));
    for (int devId : state.offline()) {
        const qint64 lastMs = store.lastLiveMs(devId);
        tip.append(lastMs > 0 ? tr("%1 last heard %2")
                                    .arg(idText(devId),
                                        QDateTime::fromMSecsSinceEpoch(lastMs).toString(
                                            QStringLiteral("hh:mm:ss")))
                              : tr("%1 not heard live").arg(idText(devId)));
    }
    setToolTip(tip.join(QLatin1Char('\n')));
}

QString UiBankLine::plainText() const
{
    QTextDocument document;
    document.setHtml(text());
    return document.toPlainText();
}
