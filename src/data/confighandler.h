#ifndef CONFIGHANDLER_H
#define CONFIGHANDLER_H

// Moves the instrument coefficient between "config.json" and Global::_configMap.
class ConfigHandler
{
public:
    static void reader();
    // False when config.json could not be replaced; it then keeps its old content.
    static bool writer(bool useCurrentConfig);
    // Puts K into Global::_configMap and config.json. When the file cannot be
    // written both keep the K they held, so the program never works with a K
    // that the next start would not find.
    static bool storeCoefficient(float coefficient);
    // Whether the coefficient in Global::_configMap is a finite number above 0.
    static bool coefficientUsable();
};

#endif // CONFIGHANDLER_H
