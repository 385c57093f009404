#include "loggersetup.h"

#include <easylogging++.h>

#include <QFileInfo>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const char* const LogConfPath = "log.conf";
// The library's usual default file; the build leaves the library without one
// (cmake/QuarnelCore.cmake), so the program names it.
const char* const DefaultLogPath = "myeasylog.log";

// On Unix %user and %host come from USER and HOSTNAME, read when the loggers
// are configured; shells seldom export HOSTNAME, and a service may lack USER.
void provideUserAndHost()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("HOSTNAME"))
        qputenv("HOSTNAME", QSysInfo::machineHostName().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("USER")) {
        if (const passwd* entry = getpwuid(getuid()))
            qputenv("USER", entry->pw_name);
    }
#endif
}

} // namespace

LoggerSetup& LoggerSetup::instance()
{
    static LoggerSetup setup;
    return setup;
}

// The file is handed to the library only when there is one to read: asked
// for a missing file, it reports an assertion failure on the terminal.
// Whatever the file gives stays; the library's defaults fill the rest. Its
// own way of filling them (setRemainingToDefault) puts each default on the
// global level, which overwrites that setting on every level, and a logger
// takes the settings in the order they were made, a global one again
// overwriting every level: so the defaults come first, then what the file
// gives all levels, then what it gives a single one (say DEBUG lines kept
// off the terminal).
LoggerSetup::LoggerSetup()
{
    provideUserAndHost();
    el::Configurations configurations;
    configurations.setToDefault();
    configurations.set(el::Level::Global, el::ConfigurationType::Filename, DefaultLogPath);
    const QFileInfo file(QString::fromLatin1(LogConfPath));
    if (file.isFile() && file.isReadable()) {
        el::Configurations fromFile;
        fromFile.parseFromFile(LogConfPath);
        for (const bool global : {true, false}) {
            for (const el::Configuration* setting : fromFile) {
                if ((setting->level() == el::Level::Global) == global)
                    configurations.set(setting->level(), setting->configurationType(), setting->value());
            }
        }
    }
    el::Loggers::reconfigureAllLoggers(configurations);
}
