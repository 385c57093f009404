#include "plotitemregistry.h"

#include "global.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace PlotItemRegistry {

namespace {

// "确定" keeps only the piece after the first separator, so the object name
// of a confirmed item whose curve name itself holds "___" no longer names its
// curve ("temporary___a___b" becomes "confirm___a"). The whole curve name
// travels with the item so that deleting that curve still finds it, and only
// it.
const char* const OwnerCurveProperty = "ownerCurveName";

void registerItem(QVector<QObject*>& list, QObject* item, const QString& name)
{
    item->setObjectName(Global::ObjectNameTemporary + Global::ObjectNameSeparator + name);
    item->setProperty(OwnerCurveProperty, name);
    list.append(item);
}

template<typename Match>
void removeIf(QVector<QObject*>& list, Match match)
{
    list.erase(std::remove_if(list.begin(), list.end(), match), list.end());
}

void removeFrom(QVector<QObject*>& list, QObject* item)
{
    removeIf(list, [item](const QObject* entry) { return entry == item; });
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

void confirm(QObject* item)
{
    const QString name = item->objectName();
    if (!name.contains(Global::ObjectNameSeparator))
        return;
    const QStringList pieces = name.split(Global::ObjectNameSeparator);
    item->setObjectName(Global::ObjectNameConfirm + Global::ObjectNameSeparator + pieces.at(1));
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

void remove(const QSet<QObject*>& items)
{
    for (QVector<QObject*>* list : {&texts(), &arrows(), &graphs()})
        removeIf(*list, [&items](QObject* entry) { return items.contains(entry); });
}

void removeByName(const QString& part)
{
    for (QVector<QObject*>* list : {&texts(), &arrows(), &graphs()})
        removeIf(*list, [&part](const QObject* entry) { return entry->objectName().contains(part); });
}

QString curveNameOf(const QObject* item)
{
    const QVariant owner = item->property(OwnerCurveProperty);
    if (owner.isValid())
        return owner.toString();
    return curveNameOf(item->objectName());
}

QString curveNameOf(const QString& objectName)
{
    const int at = objectName.indexOf(Global::ObjectNameSeparator);
    if (at < 0)
        return QString();
    return objectName.mid(at + Global::ObjectNameSeparator.size());
}

bool belongsToCurve(const QObject* item, const QString& curveName)
{
    const QString owner = curveNameOf(item);
    return !owner.isNull() && owner == curveName;
}

bool isTemporary(const QString& objectName)
{
    return objectName.startsWith(Global::ObjectNameTemporary + Global::ObjectNameSeparator);
}

void removeAnalysisOperationsByName(const QString& name)
{
    QVector<AnalysisOperation>& operations = Global::_analysisOperationVtr;
    operations.erase(std::remove_if(operations.begin(), operations.end(),
                                    [&name](const AnalysisOperation& operation) { return operation.name == name; }),
                     operations.end());
}

} // namespace PlotItemRegistry
