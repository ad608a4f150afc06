#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;

// One module of four cells and two temperature sensors: module m holds cells 4m-3 to 4m and
// sensors 2m-1 and 2m. The home panel fills it; it reads nothing itself.
class UiBmuInfo : public QWidget
{
    Q_OBJECT
public:
    static constexpr int CellsPerModule = 4;
    static constexpr int SensorsPerModule = 2;

    // module counts from 1.
    explicit UiBmuInfo(int module, QWidget *parent = nullptr);

    int module() const { return m_module; }
    // The captions and value texts in row order, for whoever checks what is shown.
    QStringList cellCaptions() const;
    QStringList temperatureCaptions() const;
    QStringList voltageTexts() const;
    QStringList temperatureTexts() const;

public slots:
    // Entries beyond the module's four cells (two sensors) are ignored.
    void updateVoltageInfo(const QStringList &voltages);
    void updateTemperatureInfo(const QStringList &temperatures);

private:
    int m_module = 0;
    QList<QLabel *> m_cellCaptions;
    QList<QLabel *> m_temperatureCaptions;
    QList<QLabel *> m_voltageLabels;
    QList<QLabel *> m_temperatureLabels;
};
