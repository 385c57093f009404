#ifndef WORKBOOKLOADER_H
#define WORKBOOKLOADER_H

#include "global.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class BackgroundWork;
class QWidget;

// Reads the workbooks opened from the file tree on a worker thread, one
// after the other in the order they were asked for, and hands each result
// to the workspace in the GUI thread, in the same order. What the workspace
// then draws of a workbook in steps counts as part of its load: the next
// read waits for it, and "取消" in the busy dialog takes back the whole load.
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
        // "取消" stopped the read, or came before it started: nothing of the
        // workbook is to be kept.
        bool cancelled = false;
        Global::CurveFileData file;
        // Set from the GUI thread to stop the read.
        std::atomic<bool> stop{false};
    };
    // What is left to do of a workbook taken in: step draws a part and
    // returns true once all is drawn; undo takes the workbook back out of
    // the workspace. Both empty when nothing is left.
    struct Drawing
    {
        std::function<bool()> step;
        std::function<void()> undo;
    };
    using Consumer = std::function<Drawing(const Result&)>;

    WorkbookLoader(Consumer consumer, QWidget* dialogParent, QObject* parent = nullptr);
    // A read or drawing under way is stopped; nothing more is handed over.
    ~WorkbookLoader() override;

    // A path already waiting or being read is not read twice.
    void load(const QString& path);
    // Hands over nothing asked for so far: the workspace has been cleared.
    void dropAll();
    // "取消": the workbook being loaded and those waiting are not loaded.
    void cancel();
    bool isRunning() const;

signals:
    // Reading started (true), or the last result was handed over or dropped
    // (false).
    void runningChanged(bool running);

private:
    void next();
    bool step();
    void finish();
    void setRunning(bool running);

    Consumer _consumer;
    BackgroundWork* _work;
    QStringList _queue;
    // Waiting when "取消" was pressed; the workspace forgets them once the
    // load under way has stopped.
    QStringList _cancelledPaths;
    // The workbook being read, then handed over; shared with the worker,
    // which fills it.
    std::shared_ptr<Result> _current;
    Drawing _drawing;
    bool _handedOver;
    bool _currentDropped;
    bool _running;
};

#endif // WORKBOOKLOADER_H
