#include "filedialog.h"

#include <QFileDialog>

FileDialog::Responder FileDialog::_responder;

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& proposedPath,
                                    const QString& filter)
{
    if (_responder) {
        return _responder({caption, proposedPath, filter});
    }
    return QFileDialog::getSaveFileName(parent, caption, proposedPath, filter);
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                    const QString& filter)
{
    if (_responder) {
        return _responder({caption, folder, filter});
    }
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

void FileDialog::setResponder(Responder responder)
{
    _responder = std::move(responder);
}
