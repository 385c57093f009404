#include "loggersetup.h"

#include <easylogging++.h>

LoggerSetup& LoggerSetup::instance()
{
    static LoggerSetup setup;
    return setup;
}

LoggerSetup::LoggerSetup()
{
    el::Configurations configurations("log.conf", true, nullptr);
    el::Loggers::reconfigureAllLoggers(configurations);
}
