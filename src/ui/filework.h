#ifndef FILEWORK_H
#define FILEWORK_H

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QThread;
class QWidget;

// Reading or writing a workbook of 100,000 points takes longer than the
// window may stall, so it runs on a thread of its own: the window keeps
// painting and live points keep arriving. A busy dialog without a cancel
// button shows when the work lasts. The work touches no widget and no
// program-wide record; it is given copies of what it needs.
class FileWork : public QObject
{
    Q_OBJECT

public:
    FileWork(const QString& title, const QString& text, QWidget* dialogParent, QObject* parent = nullptr);
    // A work still running writes into what it was given: it is awaited.
    ~FileWork() override;

    // Runs work on its thread; finished() follows in the GUI thread. One
    // work at a time.
    void start(std::function<void()> work);
    // start(), then an event loop of its own until the work is done.
    void run(std::function<void()> work);
    bool isRunning() const;

signals:
    void finished();

private:
    void showBusy();
    void end();

    QString _title;
    QString _text;
    QWidget* _dialogParent;
    QThread* _thread;
    QPointer<QProgressDialog> _dialog;
};

#endif // FILEWORK_H
