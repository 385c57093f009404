#ifndef DEGREEOFCUREFORM_H
#define DEGREEOFCUREFORM_H

#include <QWidget>

class Ui_DegreeOfCureForm;

// "固化度": degree of cure in percent from the enthalpies before and after
// curing; shown in the dialog only.
class DegreeOfCureForm : public QWidget
{
    Q_OBJECT

public:
    explicit DegreeOfCureForm(QWidget* parent = nullptr);
    ~DegreeOfCureForm() override;

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonQuit_clicked();

private:
    Ui_DegreeOfCureForm* _ui;
};

#endif // DEGREEOFCUREFORM_H
