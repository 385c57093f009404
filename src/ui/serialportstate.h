#ifndef SERIALPORTSTATE_H
#define SERIALPORTSTATE_H

// Whether the instrument's port is open right now, asked without opening it.
class SerialPortState
{
public:
    static bool isOpen();
};

#endif // SERIALPORTSTATE_H
