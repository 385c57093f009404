#include "degreeofcureform.h"

#include "messagebox.h"
#include "ui_degreeofcureform.h"

#include <cmath>

DegreeOfCureForm::DegreeOfCureForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_DegreeOfCureForm)
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("固化度"));
}

DegreeOfCureForm::~DegreeOfCureForm()
{
    delete _ui;
}

// The formula drawn in the dialog: (before - after) / before x 100. An
// enthalpy after curing of 0 is a full cure (100 %); one before curing of 0
// leaves nothing to divide by. Float on purpose, like the other dialogs.
void DegreeOfCureForm::on_pushButtonCalculate_clicked()
{
    const float precure = _ui->LineEditPrecure->text().toFloat();
    const float afterCuring = _ui->jGLineEditAfterCuring->text().toFloat();
    const float difference = precure - afterCuring;
    const float ratio = difference / precure;
    const float degree = ratio * 100.0f;
    if (!std::isfinite(degree)) {
        // No earlier degree may stand beside the inputs just refused.
        _ui->LineEditDegreeOfCure->clear();
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("固化前热焓不能为0!"));
        return;
    }
    _ui->LineEditDegreeOfCure->setText(QString::number(static_cast<double>(degree), 'f', 3));
}

void DegreeOfCureForm::on_pushButtonQuit_clicked()
{
    hide();
}
