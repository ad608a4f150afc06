#include "uibmuinfo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QStringList textsOf(const QList<QLabel *> &labels)
{
    QStringList texts;
    for (const QLabel *label : labels)
        texts.append(label->text());
    return texts;
}

} // namespace

UiBmuInfo::UiBmuInfo(int module, QWidget *parent)
    : QWidget(parent)
    , m_module(module)
{
    const QFont font(QStringLiteral("Microsoft YaHei"), 11);
    const QString captionStyle = QStringLiteral("QWidget{color:#808A87}");
    const QString valueStyle = QStringLiteral("QWidget{color:#3CC472}");

    auto *box = new QGroupBox(this);
    auto *grid = new QGridLayout(box);

    auto addRow = [&](int row, const QString &caption, const QString &value,
                      QList<QLabel *> &captions, QList<QLabel *> &values) {
        auto *captionLabel = new QLabel(caption, box);
        captionLabel->setFont(font);
        captionLabel->setAlignment(Qt::AlignCenter);
        captionLabel->setStyleSheet(captionStyle);
        auto *valueLabel = new QLabel(value, box);
        valueLabel->setFont(font);
        valueLabel->setStyleSheet(valueStyle);
        grid->addWidget(captionLabel, row, 0);
        grid->addWidget(valueLabel, row, 1);
        captions.append(captionLabel);
        values.append(valueLabel);
    };

    for (int row = 0; row < CellsPerModule; ++row) {
        const int cell = CellsPerModule * module - (CellsPerModule - 1) + row;
        // Cells are numbered with two digits up to Cell_09 so that the captions line up.
        const QString caption = cell <= 9 ? tr("Cell_0%1").arg(cell) : tr("Cell_%1").arg(cell);
        addRow(row, caption, QStringLiteral("--mV"), m_cellCaptions, m_voltageLabels);
    }
    for (int sensor = 0; sensor < SensorsPerModule; ++sensor) {
        const int number = SensorsPerModule * module - 1 + sensor;
        addRow(CellsPerModule + sensor, tr("Temp_%1").arg(number), QStringLiteral("-- ℃"),
            m_temperatureCaptions, m_temperatureLabels);
    }

    grid->addWidget(new QLabel(box), 6, 0, 1, 2);
    auto *moduleCaption = new QLabel(tr("Module_%1").arg(module), box);
    moduleCaption->setFont(QFont(QStringLiteral("Microsoft YaHei"), 10));
    moduleCaption->setAlignment(Qt::AlignCenter);
    moduleCaption->setStyleSheet(QStringLiteral("QWidget{color:#FFC125}"));
    grid->addWidget(moduleCaption, 7, 0, 1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(box);
}

QStringList UiBmuInfo::cellCaptions() const
{
    return textsOf(m_cellCaptions);
}

QStringList UiBmuInfo::temperatureCaptions() const
{
    return textsOf(m_temperatureCaptions);
}

QStringList UiBmuInfo::voltageTexts() const
{
    return textsOf(m_voltageLabels);
}

QStringList UiBmuInfo::temperatureTexts() const
{
    return textsOf(m_temperatureLabels);
}

void UiBmuInfo::updateVoltageInfo(const QStringList &voltages)
{
    const int count = qMin(voltages.size(), m_voltageLabels.size());
    for (int i = 0; i < count; ++i)
        m_voltageLabels.at(i)->setText(tr("%1V").arg(voltages.at(i)));
}

void UiBmuInfo::updateTemperatureInfo(const QStringList &temperatures)
{
    const int count = qMin(temperatures.size(), m_temperatureLabels.size());
    for (int i = 0; i < count; ++i)
        m_temperatureLabels.at(i)->setText(tr("%1℃").arg(temperatures.at(i)));
}
