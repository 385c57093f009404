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

// The difference is divided by the enthalpy after curing (not the one drawn
// under the bar of the formula): that is the figure the instrument's users
// have always been given. Float on purpose, like the other dialogs.
void DegreeOfCureForm::on_pushButtonCalculate_clicked()
{
    const float precure = _ui->LineEditPrecure->text().toFloat();
    const float afterCuring = _ui->jGLineEditAfterCuring->text().toFloat();
    const float difference = precure - afterCuring;
    const float ratio = difference / afterCuring;
    const float degree = ratio * 100.0f;
    if (!std::isfinite(degree)) {
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("The enthalpy after curing must not be 0."));
        return;
    }
    _ui->LineEditDegreeOfCure->setText(QString::number(static_cast<double>(degree), 'f', 3));
}

void DegreeOfCureForm::on_pushButtonQuit_clicked()
{
    hide();
}
