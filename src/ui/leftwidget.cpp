#include "leftwidget.h"

#include "global.h"

#include <QDebug>
#include <QDir>
#include <QTreeWidget>
#include <QTreeWidgetItem>

LeftWidget::LeftWidget(QWidget* parent)
    : QDockWidget(parent)
{
    _treeWidget = new QTreeWidget();
    _treeWidget->setHeaderHidden(true);
    _sampleDataItem = new QTreeWidgetItem(_treeWidget, QStringList(QStringLiteral("样品数据")));
    _baseLineItem = new QTreeWidgetItem(_treeWidget, QStringList(QStringLiteral("基线")));
    _analysisStateItem = new QTreeWidgetItem(_treeWidget, QStringList(QStringLiteral("分析状态")));
    // Items stay in the order they are added: the folders in their fixed
    // order, the files in the folder listing's order.
    _treeWidget->setSortingEnabled(false);
    setWidget(_treeWidget);

    refreshTree();
    expandTreeItem(_sampleDataItem);
    expandTreeItem(_baseLineItem);
    expandTreeItem(_analysisStateItem);

    connect(_treeWidget, &QTreeWidget::itemDoubleClicked, this, &LeftWidget::slotTreeWidgetItemClicked);
}

void LeftWidget::refreshTree()
{
    clearTreeItem(_sampleDataItem);
    clearTreeItem(_baseLineItem);
    clearTreeItem(_analysisStateItem);
    fillTreeItem(_sampleDataItem, Global::SampleDataFolderPath);
    fillTreeItem(_baseLineItem, Global::BaseLineFolderPath);
    fillTreeItem(_analysisStateItem, Global::AnalysisStateFolderPath);
}

// QDir's default order is by name ignoring case; every file is listed,
// whatever its suffix, and a missing folder lists nothing.
void LeftWidget::fillTreeItem(QTreeWidgetItem* item, const QString& folder)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (const QString& name : names)
        new QTreeWidgetItem(item, QStringList(name));
}

void LeftWidget::expandTreeItem(QTreeWidgetItem* item)
{
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        expandTreeItem(item->child(i));
}

void LeftWidget::clearTreeItem(QTreeWidgetItem* item)
{
    const int count = item->childCount();
    for (int i = 0; i < count; ++i)
        delete item->takeChild(0);
}

QString LeftWidget::folderOf(const QTreeWidgetItem* topLevelItem) const
{
    if (topLevelItem == _sampleDataItem)
        return Global::SampleDataFolderPath;
    if (topLevelItem == _baseLineItem)
        return Global::BaseLineFolderPath;
    return Global::AnalysisStateFolderPath;
}

void LeftWidget::slotTreeWidgetItemClicked(QTreeWidgetItem* item, int column)
{
    qDebug() << "item clicked:" << item->text(0) << column;
    if (Global::_globalMode != Global::Analysis)
        return;
    QTreeWidgetItem* parentItem = item->parent();
    if (!parentItem) {
        qDebug() << "item has no parent (it is a top-level item)";
        return;
    }
    qDebug() << "parent item text:" << parentItem->text(0);
    emit sigSendAnalysisFileName(folderOf(parentItem) + QStringLiteral("/") + item->text(0));
}
