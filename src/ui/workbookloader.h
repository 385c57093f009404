#ifndef WORKBOOKLOADER_H
#define WORKBOOKLOADER_H

#include "global.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class BackgroundWork;
class QWidget;

// Reads the workbooks opened from the file tree on a worker thread, one
// after the other in the order they were asked for, and hands each result
// to the workspace in the GUI thread, in the same order.
class WorkbookLoader : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        QString path;
        // XlsxHandler::readWorkbook's result; 0 when read.
        int status = 0;
        // Why it was refused, in words for the user.
        QString reason;
        Global::CurveFileData file;
    };
    using Consumer = std::function<void(const Result&)>;

    WorkbookLoader(Consumer consumer, QWidget* dialogParent, QObject* parent = nullptr);

    // A path already waiting or being read is not read twice.
    void load(const QString& path);
    // Hands over nothing asked for so far: the workspace has been cleared.
    void dropAll();
    bool isRunning() const;

signals:
    // Reading started (true), or the last result was handed over or dropped
    // (false).
    void runningChanged(bool running);

private:
    void next();
    void handOver();
    void setRunning(bool running);

    Consumer _consumer;
    BackgroundWork* _work;
    QStringList _queue;
    // The workbook being read, then handed over; shared with the worker,
    // which fills it.
    std::shared_ptr<Result> _current;
    bool _currentDropped;
    bool _running;
};

#endif // WORKBOOKLOADER_H
