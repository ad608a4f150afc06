#include "pagewidgets.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace PageWidgets {

QHBoxLayout *heading(
    QWidget *page, const QString &iconPath, QSize iconSize, const QString &title, int spacing)
{
    auto *icon = new QWidget(page);
    icon->setFixedSize(iconSize);
    icon->setStyleSheet(QStringLiteral("QWidget{background-image: url(%1)}").arg(iconPath));
    auto *label = new QLabel(title, page);
    label->setFont(QFont(QStringLiteral("Microsoft YaHei"), 20, QFont::Bold));
    auto *row = new QHBoxLayout;
    row->addWidget(icon);
    if (spacing > 0)
        row->addSpacing(spacing);
    row->addWidget(label);
    row->addStretch();
    return row;
}

QPushButton *button(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

QTableView *recordsTable(QAbstractItemModel *model, QWidget *parent)
{
    auto *table = new QTableView(parent);
    table->setObjectName(QStringLiteral("HistoryDataTable"));
    table->setModel(model);
    table->setAlternatingRowColors(true);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A day of recording is 43,200 rows: size the columns by the rows in sight, not by a
    // thousand rows at every new one.
    header->setResizeContentsPrecision(0);
    return table;
}

QString askCsvPath(QWidget *parent, const QString &title, const QString &baseName)
{
    const QString proposed = QCoreApplication::applicationDirPath() + QLatin1Char('/') + baseName
        + QLatin1Char('.')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    return QFileDialog::getSaveFileName(parent, title, proposed, QStringLiteral("csv file(*.csv)"));
}

} // namespace PageWidgets
