#ifndef BACKGROUNDWORK_H
#define BACKGROUNDWORK_H

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QThread;
class QTimer;
class QWidget;

// Reading or writing a workbook of 100,000 points, or smoothing its curve,
// takes longer than the window may stall, so it runs on a thread of its own:
// the window keeps painting and live points keep arriving. A dialog shows
// when the work lasts: a busy one, or one with the work's progress and a
// "取消" button when the work can be stopped. The work touches no widget and
// no program-wide record; it is given copies of what it needs.
class BackgroundWork : public QObject
{
    Q_OBJECT

public:
    BackgroundWork(const QString& title, const QString& text, QWidget* dialogParent, QObject* parent = nullptr);
    // A work still running writes into what it was given: it is stopped, when
    // it can be, and awaited.
    ~BackgroundWork() override;

    // The dialog's "取消" calls cancel, which asks the running work to stop;
    // finished() still follows once it has.
    void setCancel(std::function<void()> cancel);
    // Read in the GUI thread while the work runs: how much is done, in
    // thousandths.
    void setProgress(std::function<int()> permille);

    // Runs work on its thread; finished() follows in the GUI thread. One
    // work at a time.
    void start(std::function<void()> work);
    // start(), then, once the thread is done, step() from the event loop
    // until it returns true: the part of the work that belongs to the GUI
    // thread, each call short enough not to stall the window. The dialog
    // stays and "取消" still calls cancel meanwhile; finished() follows.
    // Without work (an empty function) only the steps run.
    void start(std::function<void()> work, std::function<bool()> step);
    // start(), then an event loop of its own until the work is done.
    void run(std::function<void()> work);
    bool isRunning() const;

signals:
    void finished();

private:
    void threadDone();
    void nextStep();
    void showDialog();
    void end();

    QString _title;
    QString _text;
    QWidget* _dialogParent;
    std::function<void()> _cancel;
    std::function<int()> _progress;
    std::function<bool()> _step;
    QTimer* _progressTimer;
    QTimer* _stepTimer;
    QThread* _thread;
    bool _stepping;
    QPointer<QProgressDialog> _dialog;
};

#endif // BACKGROUNDWORK_H
