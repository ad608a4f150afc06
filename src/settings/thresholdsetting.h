#pragma once

#include "settings/thresholdsettingitem.h"

#include <QList>
#include <QObject>
#include <QString>

// The BMS parameter set, loaded from setting/threshold.cfg beside the executable. The file
// describes one BMS model, so the host hard-codes none of it.
//
// File format: no header; one item per line, nine comma-separated fields in the order of
// ThresholdSettingItem; no quoting. Blanks around a line are ignored, and the first empty line
// ends the file. Numeric fields that do not parse become 0.
//
// Every method runs in the thread that owns the object (the GUI thread). The list is filled
// once by loadSetting() and only read afterwards, so no lock is needed.
class ThresholdSetting : public QObject
{
    Q_OBJECT

public:
    enum LoadResult {
        LoadOk = 0,
        LoadOpenFailed = -1,
        LoadFormatError = -2,
    };

    // The BMS keeps one value per position, so lookups never go past this many items even when
    // the file holds more lines.
    static constexpr int ParameterCount = 81;

    // Loads filePath() at once; a failure is logged and leaves the list empty or partial.
    explicit ThresholdSetting(QObject *parent = nullptr);

    // The application directory + "/setting/threshold.cfg".
    static QString filePath();

    // Empties the list, then reads the file at path. Returns a LoadResult: LoadOk when the
    // file was read to its end or its first empty line, LoadOpenFailed when it could not be
    // opened, LoadFormatError at the first line without exactly nine fields (the items before
    // that line stay in the list).
    int loadSetting(const QString &path);

    const QList<ThresholdSettingItem> &items() const { return m_items; }

    // Position of the first item among the first ParameterCount whose paramId is id, or -1.
    int indexOfParam(uchar id) const;

private:
    QList<ThresholdSettingItem> m_items;
};
