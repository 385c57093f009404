#include "workbookloader.h"

#include "backgroundwork.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

WorkbookLoader::WorkbookLoader(Consumer consumer, QWidget* dialogParent, QObject* parent)
    : QObject(parent)
    , _consumer(std::move(consumer))
    , _work(new BackgroundWork(QStringLiteral("打开"), QStringLiteral("正在读取文件..."), dialogParent, this))
    , _currentDropped(false)
    , _running(false)
{
    connect(_work, &BackgroundWork::finished, this, &WorkbookLoader::handOver);
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
    if (_current) {
        LOG(DEBUG) << "workbook read dropped by a clear:" << _current->path;
        _currentDropped = true;
    }
}

// The next read starts once the last result is handed over: its warning box
// runs an event loop of its own, in which no later workbook may be drawn.
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
    _work->start([read]() { read->status = XlsxHandler::readWorkbook(read->path, read->file, &read->reason); });
}

void WorkbookLoader::handOver()
{
    if (!_currentDropped)
        _consumer(*_current);
    _current.reset();
    next();
}

void WorkbookLoader::setRunning(bool running)
{
    if (_running == running)
        return;
    _running = running;
    emit runningChanged(running);
}
