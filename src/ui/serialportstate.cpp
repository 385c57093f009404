#include "serialportstate.h"

#include "serialport.h"

#include <QSerialPort>

// SerialPort offers open() (which opens when it can) but no plain query; its
// one QSerialPort is its child for the life of the singleton.
bool SerialPortState::isOpen()
{
    const auto* port = SerialPort::instance()->findChild<QSerialPort*>();
    return port && port->isOpen();
}
