#ifndef LEFTWIDGET_H
#define LEFTWIDGET_H

#include <QDockWidget>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The dock on the left of the main window: one entry per data folder, one
// child per file in it. In the analysis mode a double-click on a file sends
// its full path to the plot workspace.
class LeftWidget : public QDockWidget
{
    Q_OBJECT

public:
    explicit LeftWidget(QWidget* parent = nullptr);

    void refreshTree();

signals:
    void sigSendAnalysisFileName(QString path);

public slots:
    void slotTreeWidgetItemClicked(QTreeWidgetItem* item, int column);

private:
    void fillTreeItem(QTreeWidgetItem* item, const QString& folder);
    void expandTreeItem(QTreeWidgetItem* item);
    void clearTreeItem(QTreeWidgetItem* item);
    QString folderOf(const QTreeWidgetItem* topLevelItem) const;

    QTreeWidget* _treeWidget;
    QTreeWidgetItem* _analysisStateItem;
    QTreeWidgetItem* _baseLineItem;
    QTreeWidgetItem* _sampleDataItem;
};

#endif // LEFTWIDGET_H
