#include "uitrendbatterytab.h"

#include "can/canservice.h"
#include "records/banktablemodel.h"
#include "records/csvsavejob.h"
#include "records/trendrecorder.h"
#include "signals/signalvalues.h"
#include "uicellvoltagechart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The time each entry of the span selector shows; 0 for everything kept.
constexpr std::array<qint64, 4> SpanMs = { 60 * 1000, 10 * 60 * 1000, 60 * 60 * 1000, 0 };
// What an empty plot spans before anything has been recorded.
constexpr qint64 EmptySpanMs = 60 * 1000;
constexpr int PlotCount = 4;
// Above the plots in an exported picture.
constexpr int PictureTitleHeight = 36;

QString idText(int devId)
{
    return QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0'));
}

} // namespace

UiTrendBatteryTab::UiTrendBatteryTab(
    const TrendRecorder *recorder, const SignalValues *store, QWidget *parent)
    : QWidget(parent)
    , m_recorder(recorder)
    , m_store(store)
{
    m_battery = new QComboBox(this);
    m_battery->setMinimumWidth(70);
    m_follow = new QCheckBox(tr("Follow BAT ID"), this);
    m_follow->setChecked(true);
    m_span = new QComboBox(this);
    m_span->addItems({ tr("1 min"), tr("10 min"), tr("1 h"), tr("All") });
    m_span->setCurrentIndex(LastTenMinutes);
    m_pause = new QPushButton(tr("Pause"), this);
    m_pause->setCheckable(true);
    auto *picture = new QPushButton(tr("Export PNG"), this);
    auto *csv = new QPushButton(tr("Export CSV"), this);
    m_status = new QLabel(this);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(StatusShownMs);
    connect(m_statusTimer, &QTimer::timeout, m_status, &QLabel::clear);
    m_folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (m_folder.isEmpty())
        m_folder = QCoreApplication::applicationDirPath();

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Battery"), this));
    controls->addWidget(m_battery);
    controls->addWidget(m_follow);
    controls->addSpacing(20);
    controls->addWidget(new QLabel(tr("Time window"), this));
    controls->addWidget(m_span);
    controls->addWidget(m_pause);
    controls->addSpacing(20);
    controls->addWidget(picture);
    controls->addWidget(csv);
    controls->addWidget(m_status, 1);

    m_shown = new QWidget(this);
    m_shown->setAutoFillBackground(true);
    auto *grid = new QGridLayout(m_shown);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < PlotCount; ++i) {
        auto *plot = new TrendPlot(m_shown);
        m_plots.append(plot);
        grid->addWidget(plot, i / 2, i % 2);
    }
    // The time under the pointer in one plot is marked in the others.
    for (TrendPlot *plot : qAsConst(m_plots)) {
        connect(plot, &TrendPlot::pointerAt, this, [this, plot](double ms) {
            for (TrendPlot *other : qAsConst(m_plots)) {
                if (other != plot)
                    other->markTime(ms);
            }
        });
    }
    // Each channel in its plot: voltage and current, charge, cells, temperatures.
    const auto add = [this](int plot, const TrendPlot::Channel &channel) {
        m_plots.at(plot)->addChannel(channel);
        m_channels.append(channel);
    };
    using namespace TrendChannel;
    const QwtPlot::Axis left = QwtPlot::yLeft;
    const QwtPlot::Axis right = QwtPlot::yRight;
    const QColor &high = UiCellVoltageChart::Highest;
    const QColor &low = UiCellVoltageChart::Lowest;
    add(0, { PackVoltage, tr("Pack voltage (V)"), QColor(0x20, 0x60, 0xC0), left, 1, 1 });
    add(0, { Current, tr("Current (A)"), QColor(0xE0, 0x80, 0x10), right, 1, 1 });
    add(1, { StateOfCharge, tr("SOC (%)"), QColor(0x2E, 0xA0, 0x5A), left, 1, 1 });
    add(2, { MaxCellVoltage, tr("Highest cell (V)"), high, left, 1, 3 });
    add(2, { MinCellVoltage, tr("Lowest cell (V)"), low, left, 1, 3 });
    add(2, { CellVoltageSpread, tr("Spread (mV)"), QColor(0x90, 0x40, 0xB0), right, 1000, 0 });
    add(3, { MaxCellTemperature, tr("Highest temp. (℃)"), high, left, 1, 1 });
    add(3, { MinCellTemperature, tr("Lowest temp. (℃)"), low, left, 1, 1 });
    m_cells = new UiCellVoltageChart(m_shown);
    grid->addWidget(m_cells, 2, 0, 1, 2);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(2, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_shown, 1);

    connect(m_battery, QOverload<int>::of(&QComboBox::activated), this,
        [this](int index) { pickBattery(m_battery->itemText(index).toInt()); });
    connect(m_follow, &QCheckBox::toggled, this, [this](bool follow) {
        if (follow && m_topBarId >= 0)
            select(m_topBarId);
    });
    connect(m_span, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &UiTrendBatteryTab::redraw);
    connect(m_pause, &QPushButton::toggled, this, &UiTrendBatteryTab::setPaused);
    connect(picture, &QPushButton::clicked, this, &UiTrendBatteryTab::savePicture);
    connect(csv, &QPushButton::clicked, this, &UiTrendBatteryTab::saveCsv);
}

bool UiTrendBatteryTab::isFollowing() const
{
    return m_follow->isChecked();
}

bool UiTrendBatteryTab::isPaused() const
{
    return m_pause->isChecked();
}

void UiTrendBatteryTab::setSpan(Span span)
{
    m_span->setCurrentIndex(span);
}

void UiTrendBatteryTab::setPaused(bool paused)
{
    m_pause->setChecked(paused);
    m_pause->setText(paused ? tr("Resume") : tr("Pause"));
}

void UiTrendBatteryTab::followTopBar(int devId)
{
    m_topBarId = devId;
    if (isFollowing())
        select(devId);
}

void UiTrendBatteryTab::openBattery(int devId)
{
    // The top bar is about to select it.
    m_topBarId = devId;
    m_follow->setChecked(true);
    select(devId);
}

void UiTrendBatteryTab::pickBattery(int devId)
{
    m_follow->setChecked(false);
    select(devId);
}

void UiTrendBatteryTab::refresh(qint64 nowMs)
{
    refreshBatteryList();
    if (isPaused())
        return;
    m_nowMs = nowMs;
    redraw();
}

void UiTrendBatteryTab::select(int devId)
{
    if (devId == m_devId)
        return;
    m_devId = devId;
    m_battery->setCurrentText(idText(devId));
    // A line about the battery shown before.
    m_status->clear();
    redraw();
}

void UiTrendBatteryTab::refreshBatteryList()
{
    QList<uchar> heard = m_store->knownDevices();
    std::sort(heard.begin(), heard.end());
    if (m_battery->count() == heard.size())
        return;
    m_battery->clear();
    for (uchar devId : qAsConst(heard))
        m_battery->addItem(idText(devId));
    m_battery->setCurrentText(idText(m_devId));
}

void UiTrendBatteryTab::redraw()
{
    const qint64 spanMs = SpanMs[size_t(std::max(0, m_span->currentIndex()))];
    qint64 fromMs = m_nowMs - (spanMs > 0 ? spanMs : TrendSeries::SpanMs);
    const TrendSeries *series = m_recorder->series(m_devId);
    for (int channel = 0; channel < TrendChannel::Count; ++channel) {
        m_points[size_t(channel)] = series
            ? series->points(TrendChannel::Id(channel), fromMs, m_nowMs)
            : QVector<TrendPoint>();
    }
    // From the oldest point on, when the data starts later than the span reaches back, but a
    // minute at least.
    qint64 oldestMs = m_nowMs - EmptySpanMs;
    for (const QVector<TrendPoint> &points : m_points) {
        if (!points.isEmpty())
            oldestMs = std::min(oldestMs, points.first().startMs);
    }
    fromMs = std::max(fromMs, oldestMs);
    // From the trend's time line to the wall clock's times, which the plots and exports name.
    const qint64 shiftMs = m_recorder->wallMs(m_nowMs) - m_nowMs;
    for (QVector<TrendPoint> &points : m_points) {
        for (TrendPoint &point : points)
            point.startMs += shiftMs;
    }
    m_shownFromMs = fromMs + shiftMs;
    m_shownToMs = m_nowMs + shiftMs;
    for (TrendPlot *plot : qAsConst(m_plots))
        plot->showPoints(m_points, m_shownFromMs, m_shownToMs);
    if (m_devId >= 0)
        m_cells->showCells(*m_store, m_devId);
}

QString UiTrendBatteryTab::pictureTitle() const
{
    const QString code = m_service && m_devId >= 0
        ? BankTableModel::recordText(m_service->deviceRecord(uchar(m_devId)).batteryCode.bytes())
        : QString();
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(m_shownFromMs);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(m_shownToMs);
    const QString time = QStringLiteral("hh:mm:ss");
    const QString window = from.date() == to.date()
        ? QStringLiteral("%1 %2 – %3")
              .arg(from.toString(QStringLiteral("yyyy-MM-dd")), from.toString(time),
                  to.toString(time))
        : QStringLiteral("%1 – %2").arg(from.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            to.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    const QString battery = code.isEmpty() ? tr("Battery %1").arg(idText(m_devId))
                                           : tr("Battery %1 (%2)").arg(idText(m_devId), code);
    return QStringLiteral("%1 · %2").arg(battery, window);
}

int UiTrendBatteryTab::exportPng(const QString &path) const
{
    const QPixmap plots = m_shown->grab();
    QImage picture(plots.width(), plots.height() + PictureTitleHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    QFont font = painter.font();
    font.setPointSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(
        QRect(0, 0, picture.width(), PictureTitleHeight), Qt::AlignCenter, pictureTitle());
    painter.drawPixmap(0, PictureTitleHeight, plots);
    painter.end();
    return picture.save(path, "PNG") ? 0 : -1;
}

int UiTrendBatteryTab::exportCsv(const QString &path) const
{
    // The channels share their intervals; one line per interval, a channel without a point
    // there left empty.
    using Line = std::array<const TrendPoint *, TrendChannel::Count>;
    QMap<qint64, Line> byStart;
    for (const TrendPlot::Channel &channel : m_channels) {
        for (const TrendPoint &point : m_points[channel.id]) {
            auto at = byStart.find(point.startMs);
            if (at == byStart.end())
                at = byStart.insert(point.startMs, Line {});
            (*at)[channel.id] = &point;
        }
    }
    const QVector<Line> lines = QVector<Line>::fromList(byStart.values());

    // The byte-order mark goes in front of the first cell, so that spreadsheet programs read the
    // file as UTF-8 and show the units (℃) right.
    QStringList header = { QChar(0xFEFF) + tr("Battery"), tr("Time"), tr("Interval (s)") };
    for (const TrendPlot::Channel &channel : m_channels)
        header << channel.title << tr("%1 lowest").arg(channel.title)
               << tr("%1 highest").arg(channel.title);
    // After the trend, an empty line and the cells as the chart below the plots shows them.
    const QVector<QPointF> cellVolts = m_cells->cells();
    const int cellBlock = cellVolts.isEmpty() ? 0 : 2 + cellVolts.size();
    const QString cellsTime = QDateTime::fromMSecsSinceEpoch(m_shownToMs)
                                  .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const auto cells = [this, &lines, &cellVolts, &cellsTime](int row) {
        if (row == lines.size())
            return QStringList();
        if (row == lines.size() + 1)
            return QStringList { tr("Cell"), tr("Cell voltage (V) at %1").arg(cellsTime) };
        if (row > lines.size()) {
            const QPointF &cell = cellVolts.at(row - lines.size() - 2);
            return QStringList { QString::number(int(cell.x())),
                QString::number(cell.y(), 'f', 3) };
        }
        const Line &line = lines.at(row);
        const TrendPoint *any = *std::find_if(
            line.cbegin(), line.cend(), [](const TrendPoint *point) { return point; });
        QStringList cells = { idText(m_devId),
            QDateTime::fromMSecsSinceEpoch(any->startMs)
                .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            QString::number(any->widthMs / 1000.0) };
        for (const TrendPlot::Channel &channel : m_channels) {
            const TrendPoint *point = line[channel.id];
            if (!point) {
                cells << QString() << QString() << QString();
                continue;
            }
            for (float value : { point->mean, point->min, point->max })
                cells << QString::number(value * channel.factor, 'f', channel.decimals);
        }
        return cells;
    };
    return CsvSaveJob::write(path, header, lines.size() + cellBlock, cells) == CsvSaveJob::Saved
        ? 0
        : -1;
}

void UiTrendBatteryTab::savePicture()
{
    const QString path = askPath(tr("Export PNG"), QStringLiteral("png"), tr("PNG image (*.png)"));
    if (path.isEmpty())
        return;
    showStatus(exportPng(path) == 0 ? tr("Saved %1").arg(path) : tr("Not saved: %1").arg(path));
}

void UiTrendBatteryTab::saveCsv()
{
    const QString path = askPath(tr("Export CSV"), QStringLiteral("csv"), tr("CSV file (*.csv)"));
    if (path.isEmpty())
        return;
    showStatus(exportCsv(path) == 0 ? tr("Saved %1").arg(path) : tr("Not saved: %1").arg(path));
}

void UiTrendBatteryTab::showStatus(const QString &text)
{
    m_status->setText(text);
    m_statusTimer->start();
}

QString UiTrendBatteryTab::askPath(
    const QString &title, const QString &suffix, const QString &filter)
{
    const QString proposed = QStringLiteral("%1/trends-%2-%3.%4")
                                 .arg(m_folder, idText(m_devId),
                                     QDateTime::fromMSecsSinceEpoch(m_recorder->wallMs(m_nowMs))
                                         .toString(QStringLiteral("yyyyMMdd-hhmmss")),
                                     suffix);
    const QString path = QFileDialog::getSaveFileName(this, title, proposed, filter);
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    return path;
}
