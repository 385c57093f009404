#ifndef OITAUTOANALYSISPARAMFORM_H
#define OITAUTOANALYSISPARAMFORM_H

#include <QWidget>

class Ui_OITAutoAnalysisParamForm;

// Holds the coefficient and threshold typed for an automatic OIT analysis;
// nothing reads them yet.
class OITAutoAnalysisParamForm : public QWidget
{
    Q_OBJECT

public:
    explicit OITAutoAnalysisParamForm(QWidget* parent = nullptr);
    ~OITAutoAnalysisParamForm() override;

private slots:
    void on_pushButtonOk_clicked();

private:
    Ui_OITAutoAnalysisParamForm* _ui;
};

#endif // OITAUTOANALYSISPARAMFORM_H
