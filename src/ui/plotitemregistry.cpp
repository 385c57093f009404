#include "plotitemregistry.h"

#include "global.h"

#include <QObject>

namespace PlotItemRegistry {

namespace {

void registerItem(QVector<QObject*>& list, QObject* item, const QString& name)
{
    item->setObjectName(Global::ObjectNameTemporary + Global::ObjectNameSeparator + name);
    list.append(item);
}

void removeFrom(QVector<QObject*>& list, QObject* item)
{
    for (int i = list.size() - 1; i >= 0; --i) {
        if (list.at(i) == item)
            list.removeAt(i);
    }
}

} // namespace

QVector<QObject*>& texts()
{
    static QVector<QObject*> list;
    return list;
}

QVector<QObject*>& arrows()
{
    static QVector<QObject*> list;
    return list;
}

QVector<QObject*>& graphs()
{
    static QVector<QObject*> list;
    return list;
}

void addText(QObject* item, const QString& name)
{
    registerItem(texts(), item, name);
}

void addArrow(QObject* item, const QString& name)
{
    registerItem(arrows(), item, name);
}

void addGraph(QObject* item, const QString& name)
{
    registerItem(graphs(), item, name);
}

// The whole curve name is kept after the state word, so a curve whose own
// name holds the separator still finds its confirmed items when deleted.
void confirm(QObject* item)
{
    const QString curveName = curveNameOf(item->objectName());
    if (curveName.isNull())
        return;
    item->setObjectName(Global::ObjectNameConfirm + Global::ObjectNameSeparator + curveName);
}

void confirmAll()
{
    for (QObject* item : texts())
        confirm(item);
    for (QObject* item : arrows())
        confirm(item);
    for (QObject* item : graphs())
        confirm(item);
}

void remove(QObject* item)
{
    removeFrom(texts(), item);
    removeFrom(arrows(), item);
    removeFrom(graphs(), item);
}

QString curveNameOf(const QString& objectName)
{
    const int at = objectName.indexOf(Global::ObjectNameSeparator);
    if (at < 0)
        return QString();
    return objectName.mid(at + Global::ObjectNameSeparator.size());
}

bool belongsToCurve(const QString& objectName, const QString& curveName)
{
    const QString owner = curveNameOf(objectName);
    return !owner.isNull() && owner == curveName;
}

bool isTemporary(const QString& objectName)
{
    return objectName.startsWith(Global::ObjectNameTemporary + Global::ObjectNameSeparator);
}

void removeAnalysisOperationsByName(const QString& name)
{
    QVector<AnalysisOperation>& operations = Global::_analysisOperationVtr;
    for (int i = operations.size() - 1; i >= 0; --i) {
        if (operations.at(i).name == name)
            operations.removeAt(i);
    }
}

void removeLastAnalysisOperation()
{
    if (!Global::_analysisOperationVtr.isEmpty())
        Global::_analysisOperationVtr.removeLast();
}

} // namespace PlotItemRegistry
