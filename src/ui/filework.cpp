#include "filework.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

namespace {

// Work shorter than this shows no dialog, so a small workbook does not
// flash a window; a longer one shows that the program is alive.
constexpr int BusyShowDelayMs = 500;

} // namespace

FileWork::FileWork(const QString& title, const QString& text, QWidget* dialogParent, QObject* parent)
    : QObject(parent)
    , _title(title)
    , _text(text)
    , _dialogParent(dialogParent)
    , _thread(nullptr)
{
}

FileWork::~FileWork()
{
    if (!_thread)
        return;
    _thread->wait();
    delete _thread;
    delete _dialog;
}

bool FileWork::isRunning() const
{
    return _thread != nullptr;
}

void FileWork::start(std::function<void()> work)
{
    Q_ASSERT(!_thread);
    QThread* thread = QThread::create(std::move(work));
    _thread = thread;
    // Only the thread started last ends the work: run() may have ended it
    // already, while this signal was still queued.
    connect(thread, &QThread::finished, this, [this, thread]() {
        if (_thread == thread)
            end();
    });
    showBusy();
    thread->start();
}

// An application that quits ends every event loop, this one too; the work is
// then awaited here.
void FileWork::run(std::function<void()> work)
{
    QEventLoop loop;
    connect(this, &FileWork::finished, &loop, &QEventLoop::quit);
    start(std::move(work));
    if (isRunning())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (isRunning()) {
        _thread->wait();
        end();
    }
}

void FileWork::showBusy()
{
    _dialog = new QProgressDialog(_text, QString(), 0, 0, _dialogParent);
    _dialog->setWindowTitle(_title);
    _dialog->setAutoClose(false);
    _dialog->setAutoReset(false);
    _dialog->setMinimumDuration(BusyShowDelayMs);
    _dialog->setValue(0);
}

void FileWork::end()
{
    if (_dialog) {
        _dialog->hide();
        _dialog->deleteLater();
    }
    _thread->deleteLater();
    _thread = nullptr;
    emit finished();
}
