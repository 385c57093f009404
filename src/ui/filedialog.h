#ifndef FILEDIALOG_H
#define FILEDIALOG_H

#include <QString>

#include <functional>

class QWidget;

// The save dialog of the program; a test sets a responder that names the file
// (or cancels with an empty name) instead of opening the modal dialog.
class FileDialog
{
public:
    struct Request
    {
        QString caption;
        QString proposedPath;
        QString filter;
    };
    using Responder = std::function<QString(const Request&)>;

    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& proposedPath,
                                   const QString& filter);
    // Same responder: proposedPath then carries the start folder.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                   const QString& filter);

    static void setResponder(Responder responder);

private:
    static Responder _responder;
};

#endif // FILEDIALOG_H
