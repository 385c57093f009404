#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <easylogging++.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the easylogging++ lines and the qDebug lines of the process, so a
// test can assert the link's diagnostics.
class LogCapture : public el::LogDispatchCallback
{
public:
    static void install()
    {
        el::Helpers::installLogDispatchCallback<LogCapture>("LogCapture");
        qInstallMessageHandler(&LogCapture::qtMessage);
    }
    static QStringList& logLines()
    {
        static QStringList lines;
        return lines;
    }
    static QStringList& debugLines()
    {
        static QStringList lines;
        return lines;
    }
    static void clear()
    {
        logLines().clear();
        debugLines().clear();
    }

protected:
    void handle(const el::LogDispatchData* data) override
    {
        logLines().append(QString::fromStdString(data->logMessage()->message()));
    }

private:
    static void qtMessage(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        debugLines().append(message);
    }
};

#endif // LOGCAPTURE_H
