#ifndef WINDOWTESTHELPERS_H
#define WINDOWTESTHELPERS_H

#include "filedialog.h"
#include "messagebox.h"

#include <QList>
#include <QStringList>

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

#endif // WINDOWTESTHELPERS_H
