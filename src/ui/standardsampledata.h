#ifndef STANDARDSAMPLEDATA_H
#define STANDARDSAMPLEDATA_H

#include <QString>

// One checked reference substance of the enthalpy-correction table.
struct StandardSampleData
{
    QString name;       // kept for the record, not written to the table file
    double temperature; // theoretical transition temperature, ℃
    double rate;        // theoretical / measured enthalpy, both J/g
};

#endif // STANDARDSAMPLEDATA_H
