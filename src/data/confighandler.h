#ifndef CONFIGHANDLER_H
#define CONFIGHANDLER_H

// Moves the instrument coefficient between "config.json" and Global::_configMap.
class ConfigHandler
{
public:
    static void reader();
    static void writer(bool useCurrentConfig);
};

#endif // CONFIGHANDLER_H
