#pragma once

#include <QSize>
#include <QString>

class QAbstractItemModel;
class QHBoxLayout;
class QPushButton;
class QTableView;
class QWidget;

// Pieces that several pages build alike.
namespace PageWidgets {

// The page's icon and its title in bold, left-aligned, with spacing pixels between them.
QHBoxLayout *heading(
    QWidget *page, const QString &iconPath, QSize iconSize, const QString &title, int spacing = 0);

QPushButton *button(const QString &text, const QString &objectName, QWidget *parent);

// A table of records on model, its columns sized to what the rows in sight hold.
QTableView *recordsTable(QAbstractItemModel *model, QWidget *parent);

// Asks where to save a CSV file, proposing <baseName>.<yyyyMMddhhmmss> in the program's folder;
// empty when the user cancels.
QString askCsvPath(QWidget *parent, const QString &title, const QString &baseName);

} // namespace PageWidgets
