#include "printereditform.h"

#include "ui_printereditform.h"

PrinterEditForm::PrinterEditForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_PrinterEditForm)
{
    _ui->setupUi(this);
}

PrinterEditForm::~PrinterEditForm()
{
    delete _ui;
}
