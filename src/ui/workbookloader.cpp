#include "workbookloader.h"

#include "backgroundwork.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

WorkbookLoader::WorkbookLoader(Consumer consumer, QWidget* dialogParent, QObject* parent)
    : QObject(parent)
    , _consumer(std::move(consumer))
    , _work(new BackgroundWork(QStringLiteral("打开"), QStringLiteral("正在读取文件..."), dialogParent, this))
    , _handedOver(false)
    , _currentDropped(false)
    , _running(false)
{
    _work->setCancel([this]() { cancel(); });
    connect(_work, &BackgroundWork::finished, this, &WorkbookLoader::finish);
}

// The work is ended here, while the records its cancel reaches still exist.
WorkbookLoader::~WorkbookLoader()
{
    delete _work;
}

bool WorkbookLoader::isRunning() const
{
    return _running;
}

// A read dropped by a clear counts for nothing: the path is read again.
void WorkbookLoader::load(const QString& path)
{
    if (_queue.contains(path) || (_current && !_currentDropped && _current->path == path))
        return;
    _queue.append(path);
    setRunning(true);
    next();
}

void WorkbookLoader::dropAll()
{
    _queue.clear();
    _cancelledPaths.clear();
    if (_current) {
        LOG(DEBUG) << "workbook read dropped by a clear:" << _current->path;
        _currentDropped = true;
        _current->stop = true;
    }
}

// Only flags are set here: the dialog's button and the loader's end both
// come here, and at the end the workspace may already be gone. The workspace
// hears of the cancelled paths once the work has stopped.
void WorkbookLoader::cancel()
{
    if (!_current)
        return;
    LOG(DEBUG) << "workbook load cancelled:" << _current->path;
    _current->stop = true;
    _cancelledPaths += _queue;
    _queue.clear();
}

// The next read starts once the last result is handed over and drawn: its
// warning box runs an event loop of its own, in which no later workbook may
// be drawn.
void WorkbookLoader::next()
{
    if (_current)
        return;
    if (_queue.isEmpty()) {
        setRunning(false);
        return;
    }
    const std::shared_ptr<Result> read = std::make_shared<Result>();
    read->path = _queue.takeFirst();
    _current = read;
    _currentDropped = false;
    _handedOver = false;
    _work->start(
        [read]() { read->status = XlsxHandler::readWorkbook(read->path, read->file, &read->reason, &read->stop); },
        [this]() { return step(); });
}

// The first step hands the read over; the workspace's drawing takes those
// after it, until it is done or the load is stopped.
bool WorkbookLoader::step()
{
    if (_currentDropped)
        return true;
    if (!_handedOver) {
        _handedOver = true;
        _current->cancelled = _current->stop;
        _drawing = _consumer(*_current);
        return !_drawing.step;
    }
    if (_current->stop) {
        if (_drawing.undo)
            _drawing.undo();
        return true;
    }
    return _drawing.step();
}

void WorkbookLoader::finish()
{
    _current.reset();
    _drawing = Drawing();
    const QStringList cancelled = _cancelledPaths;
    _cancelledPaths.clear();
    for (const QString& path : cancelled) {
        Result skipped;
        skipped.path = path;
        skipped.cancelled = true;
        _consumer(skipped);
    }
    next();
}

void WorkbookLoader::setRunning(bool running)
{
    if (_running == running)
        return;
    _running = running;
    emit runningChanged(running);
}
