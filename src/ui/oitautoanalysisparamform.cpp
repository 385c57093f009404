#include "oitautoanalysisparamform.h"

#include "ui_oitautoanalysisparamform.h"

OITAutoAnalysisParamForm::OITAutoAnalysisParamForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_OITAutoAnalysisParamForm)
{
    _ui->setupUi(this);
}

OITAutoAnalysisParamForm::~OITAutoAnalysisParamForm()
{
    delete _ui;
}

void OITAutoAnalysisParamForm::on_pushButtonOk_clicked()
{
    hide();
}
