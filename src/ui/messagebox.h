#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include <QMessageBox>
#include <QString>

#include <functional>

// Every question and warning of the program goes through here, so a test can
// answer a box instead of waiting on a modal dialog.
class MessageBox
{
public:
    struct Request
    {
        QString kind; // "question" or "warning"
        QString title;
        QString text;
        QString informativeText;
    };
    using Responder = std::function<QMessageBox::StandardButton(const Request&)>;

    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
    // With a second, smaller text under the first: what went wrong, and why.
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               const QString& informativeText);

    // Test hook: while set, no box is shown and the responder gives the answer.
    static void setResponder(Responder responder);

private:
    static Responder _responder;
};

#endif // MESSAGEBOX_H
