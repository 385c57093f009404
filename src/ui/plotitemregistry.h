#ifndef PLOTITEMREGISTRY_H
#define PLOTITEMREGISTRY_H

#include <QSet>
#include <QString>
#include <QVector>

class QObject;

// Result items (labels, arrows, graphs) of the analyses, kept so that "确定"
// can turn every temporary item into a confirmed one. The plot owns the
// objects; whoever removes one from the plot takes it out of here too.
namespace PlotItemRegistry {

QVector<QObject*>& texts();
QVector<QObject*>& arrows();
QVector<QObject*>& graphs();

void addText(QObject* item, const QString& name);
void addArrow(QObject* item, const QString& name);
void addGraph(QObject* item, const QString& name);
void confirm(QObject* item);
void confirmAll();
void remove(QObject* item);
// remove() for many items in one pass over the lists.
void remove(const QSet<QObject*>& items);
void removeByName(const QString& part);

// The curve an item belongs to: the name it was registered under, or for an
// unregistered item everything after the first separator of its object name
// (a null string when the name carries no separator).
QString curveNameOf(const QObject* item);
QString curveNameOf(const QString& objectName);
bool belongsToCurve(const QObject* item, const QString& curveName);
bool isTemporary(const QString& objectName);

void removeAnalysisOperationsByName(const QString& name);

} // namespace PlotItemRegistry

#endif // PLOTITEMREGISTRY_H
