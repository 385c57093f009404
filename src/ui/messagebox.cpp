#include "messagebox.h"

MessageBox::Responder MessageBox::_responder;

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons)
{
    if (_responder) {
        return _responder({QStringLiteral("question"), title, text});
    }
    return QMessageBox::question(parent, title, text, buttons, QMessageBox::NoButton);
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    if (_responder) {
        return _responder({QStringLiteral("warning"), title, text});
    }
    return QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

void MessageBox::setResponder(Responder responder)
{
    _responder = std::move(responder);
}
