#include "workbook.h"

struct Workbook::Data
{
    QString error;
};

Workbook::Workbook() : _d(new Data) {}
Workbook::~Workbook() = default;

bool Workbook::load(const QString&) { return false; }
bool Workbook::hasCell(int, int) const { return false; }
QVariant Workbook::cellAt(int, int) const { return QVariant(); }
void Workbook::write(int, int, const QString&) {}
void Workbook::write(int, int, int) {}
void Workbook::write(int, int, float) {}
void Workbook::write(int, int, double) {}
int Workbook::lastRow() const { return 0; }
int Workbook::lastColumn() const { return 0; }
bool Workbook::saveAs(const QString&) const { return false; }
QString Workbook::errorString() const { return _d->error; }
