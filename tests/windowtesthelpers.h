#ifndef WINDOWTESTHELPERS_H
#define WINDOWTESTHELPERS_H

#include "centralwidget.h"
#include "filedialog.h"
#include "messagebox.h"
#include "resultdrawer.h"
#include "workbookloader.h"

#include <QList>
#include <QStringList>
#include <QTest>

// Answers every message box and save dialog of the code under test and keeps
// what was asked, so no test waits on a modal dialog.
class DialogAnswers
{
public:
    DialogAnswers()
    {
        MessageBox::setResponder([this](const MessageBox::Request& request) {
            boxes.append(request);
            return answers.isEmpty() ? QMessageBox::No : answers.takeFirst();
        });
        FileDialog::setResponder([this](const FileDialog::Request& request) {
            saveRequests.append(request);
            return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
        });
    }
    ~DialogAnswers()
    {
        MessageBox::setResponder({});
        FileDialog::setResponder({});
    }

    QStringList boxTitles() const
    {
        QStringList titles;
        for (const auto& box : boxes) {
            titles << box.title;
        }
        return titles;
    }

    QList<QMessageBox::StandardButton> answers;
    QStringList fileNames;
    QList<MessageBox::Request> boxes;
    QList<FileDialog::Request> saveRequests;
};

// Until the workbooks asked for are read and drawn (or refused), and the
// results of those loaded drawn again.
inline bool waitForWorkbooks(CentralWidget* workspace)
{
    const WorkbookLoader* loader = workspace->workbookLoader();
    const ResultDrawer* drawer = workspace->resultDrawer();
    return QTest::qWaitFor([loader, drawer]() { return !loader->isRunning() && !drawer->isRunning(); }, 30000);
}

// Opens a workbook as a double-click in the file tree does, and waits for it.
inline bool loadWorkbook(CentralWidget* workspace, const QString& path)
{
    workspace->slotRecvAnalysisFileName(path);
    return waitForWorkbooks(workspace);
}

#endif // WINDOWTESTHELPERS_H
