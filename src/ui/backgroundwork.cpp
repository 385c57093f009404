#include "backgroundwork.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace {

// Work shorter than this shows no dialog, so a small workbook or a short
// smoothing does not flash a window; a longer one shows that the program is
// alive.
constexpr int DialogShowDelayMs = 500;
constexpr int ProgressUpdateMs = 100;
constexpr int ProgressSteps = 1000;

} // namespace

BackgroundWork::BackgroundWork(const QString& title, const QString& text, QWidget* dialogParent, QObject* parent)
    : QObject(parent)
    , _title(title)
    , _text(text)
    , _dialogParent(dialogParent)
    , _progressTimer(new QTimer(this))
    , _stepTimer(new QTimer(this))
    , _thread(nullptr)
    , _stepping(false)
{
    _progressTimer->setInterval(ProgressUpdateMs);
    connect(_progressTimer, &QTimer::timeout, this, [this]() {
        if (_dialog && _progress)
            _dialog->setValue(_progress());
    });
    _stepTimer->setSingleShot(true);
    connect(_stepTimer, &QTimer::timeout, this, &BackgroundWork::nextStep);
}

// The steps left are not taken: they belong to an owner that is going.
BackgroundWork::~BackgroundWork()
{
    if (!isRunning())
        return;
    if (_cancel)
        _cancel();
    if (_thread) {
        _thread->wait();
        delete _thread;
    }
    delete _dialog;
}

void BackgroundWork::setCancel(std::function<void()> cancel)
{
    _cancel = std::move(cancel);
}

void BackgroundWork::setProgress(std::function<int()> permille)
{
    _progress = std::move(permille);
}

bool BackgroundWork::isRunning() const
{
    return _thread != nullptr || _stepping;
}

void BackgroundWork::start(std::function<void()> work)
{
    start(std::move(work), nullptr);
}

void BackgroundWork::start(std::function<void()> work, std::function<bool()> step)
{
    Q_ASSERT(!isRunning());
    _step = std::move(step);
    if (!work) {
        Q_ASSERT(_step);
        showDialog();
        _stepping = true;
        _stepTimer->start(0);
        return;
    }
    QThread* thread = QThread::create(std::move(work));
    _thread = thread;
    // Only the thread started last ends the work: run() may have ended it
    // already, while this signal was still queued.
    connect(thread, &QThread::finished, this, [this, thread]() {
        if (_thread == thread)
            threadDone();
    });
    showDialog();
    thread->start();
}

void BackgroundWork::threadDone()
{
    _thread->deleteLater();
    _thread = nullptr;
    if (!_step) {
        end();
        return;
    }
    _stepping = true;
    _stepTimer->start(0);
}

// The timer is not running while a step runs, so a step that spins an event
// loop of its own (a message box) is not entered again.
void BackgroundWork::nextStep()
{
    if (!_step()) {
        _stepTimer->start(0);
        return;
    }
    _step = nullptr;
    _stepping = false;
    end();
}

// An application that quits ends every event loop, this one too; the work is
// then awaited here.
void BackgroundWork::run(std::function<void()> work)
{
    QEventLoop loop;
    connect(this, &BackgroundWork::finished, &loop, &QEventLoop::quit);
    start(std::move(work));
    if (isRunning())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (_thread) {
        _thread->wait();
        _thread->deleteLater();
        _thread = nullptr;
        end();
    }
}

// Without a progress the dialog's range is empty, which Qt shows as busy.
void BackgroundWork::showDialog()
{
    const QString cancelText = _cancel ? QStringLiteral("取消") : QString();
    _dialog = new QProgressDialog(_text, cancelText, 0, _progress ? ProgressSteps : 0, _dialogParent);
    _dialog->setWindowTitle(_title);
    _dialog->setAutoClose(false);
    _dialog->setAutoReset(false);
    _dialog->setMinimumDuration(DialogShowDelayMs);
    if (_cancel)
        connect(_dialog, &QProgressDialog::canceled, this, [this]() { _cancel(); });
    _dialog->setValue(0);
    if (_progress)
        _progressTimer->start();
}

void BackgroundWork::end()
{
    _progressTimer->stop();
    if (_dialog) {
        _dialog->disconnect(this);
        _dialog->hide();
        _dialog->deleteLater();
    }
    emit finished();
}
