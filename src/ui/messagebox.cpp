#include "messagebox.h"

MessageBox::Responder MessageBox::_responder;

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons)
{
    if (_responder) {
        return _responder({QStringLiteral("question"), title, text, QString()});
    }
    return QMessageBox::question(parent, title, text, buttons, QMessageBox::NoButton);
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    if (_responder) {
        return _responder({QStringLiteral("warning"), title, text, QString()});
    }
    return QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text,
                                                const QString& informativeText)
{
    if (_responder) {
        return _responder({QStringLiteral("warning"), title, text, informativeText});
    }
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(informativeText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::setResponder(Responder responder)
{
    _responder = std::move(responder);
}
