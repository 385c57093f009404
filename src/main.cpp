#include "confighandler.h"
#include "instrumentcoefficientform.h"
#include "loggersetup.h"
#include "mainwindow.h"

#include <easylogging++.h>

#include <QApplication>
#include <QIcon>
#include <QTextCodec>

int qMain(int argc, char** argv)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    LoggerSetup::instance();
    LOG(DEBUG) << "main...";
    ConfigHandler::reader();

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    // No Windows version resource here: the build hands the product version in.
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    LOG(DEBUG) << "version:" << QCoreApplication::applicationVersion().toUtf8().constData();

    QIcon icon;
    icon.addFile(QStringLiteral(":/images/logo.ico"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/images/logo.ico"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/images/logo.ico"), QSize(64, 64));
    QApplication::setWindowIcon(icon);

    MainWindow window;
    window.setWindowTitle(QStringLiteral("Quarnel"));
    window.setWindowIcon(icon);
    window.show();
    InstrumentCoefficientForm::warnIfStoredCoefficientUnusable(&window);
    return app.exec();
}

int main(int argc, char** argv)
{
    return qMain(argc, argv);
}
