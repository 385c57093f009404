#include "degreeofcrystallinityform.h"

#include "messagebox.h"
#include "ui_degreeofcrystallinityform.h"

#include <cmath>

DegreeOfCrystallinityForm::DegreeOfCrystallinityForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_DegreeOfCrystallinityForm)
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("结晶度"));
}

DegreeOfCrystallinityForm::~DegreeOfCrystallinityForm()
{
    delete _ui;
}

// Float on purpose: the figure users compare with earlier reports was
// computed at that precision.
void DegreeOfCrystallinityForm::on_pushButtonCalculate_clicked()
{
    const float crystallization = _ui->LineEditEnthalpyOfCrystallization->text().toFloat();
    const float coldCrystallization = _ui->LineEditEnthalpyOfColdCrystallization->text().toFloat();
    const float theoretical = _ui->LineEditTheoreticalEnthalpy->text().toFloat();
    const float difference = crystallization - coldCrystallization;
    const float ratio = difference / theoretical;
    const float xc = ratio * 100.0f;
    // A theoretical enthalpy of 0 gives inf or nan, which must reach neither
    // the field nor the plot; nor may an earlier Xc stand beside these inputs.
    if (!std::isfinite(xc)) {
        _ui->xcLineEditDegreedOfCrystallinity->clear();
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("The theoretical enthalpy must not be 0."));
        return;
    }
    const QString number = QString::number(static_cast<double>(xc), 'f', 3);
    _ui->xcLineEditDegreedOfCrystallinity->setText(number);
    emit sigDrawCustomText(QStringLiteral("结晶度Xc(%)= %1%").arg(number));
}

void DegreeOfCrystallinityForm::on_pushButtonQuit_clicked()
{
    _ui->LineEditEnthalpyOfCrystallization->clear();
    _ui->LineEditEnthalpyOfColdCrystallization->clear();
    _ui->LineEditTheoreticalEnthalpy->clear();
    _ui->xcLineEditDegreedOfCrystallinity->clear();
    hide();
}
