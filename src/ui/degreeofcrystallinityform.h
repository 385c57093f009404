#ifndef DEGREEOFCRYSTALLINITYFORM_H
#define DEGREEOFCRYSTALLINITYFORM_H

#include <QString>
#include <QWidget>

class Ui_DegreeOfCrystallinityForm;

// "结晶度": Xc = (crystallization - cold crystallization) / theoretical
// enthalpy x 100 %, shown in the dialog and sent to the plot.
class DegreeOfCrystallinityForm : public QWidget
{
    Q_OBJECT

public:
    explicit DegreeOfCrystallinityForm(QWidget* parent = nullptr);
    ~DegreeOfCrystallinityForm() override;

signals:
    void sigDrawCustomText(QString text);

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonQuit_clicked();

private:
    Ui_DegreeOfCrystallinityForm* _ui;
};

#endif // DEGREEOFCRYSTALLINITYFORM_H
