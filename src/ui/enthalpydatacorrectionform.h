#ifndef ENTHALPYDATACORRECTIONFORM_H
#define ENTHALPYDATACORRECTIONFORM_H

#include "standardsampledata.h"

#include <QJsonDocument>
#include <QVector>
#include <QWidget>

class Ui_EnthalpyDataCorrectionForm;
class QCheckBox;
class QLabel;
class QLineEdit;

// Edits the measured enthalpies of up to 18 reference substances and writes
// their theoretical / measured ratios into an enthalpy-correction table file.
class EnthalpyDataCorrectionForm : public QWidget
{
    Q_OBJECT

public:
    explicit EnthalpyDataCorrectionForm(QWidget* parent = nullptr);
    ~EnthalpyDataCorrectionForm() override;

private slots:
    void on_pushButtonSave_clicked();
    void on_pushButtonExit_clicked();

private:
    struct SubstanceRow
    {
        QCheckBox* check;
        QLabel* name;
        QLabel* temperature;
        QLineEdit* theory;
        QLineEdit* measured;
    };

    QVector<SubstanceRow> substanceRows() const;
    static float coefficientInForce(const SubstanceRow& row);
    QString collectCheckedRows();
    static bool usableEnthalpy(double value);
    QJsonDocument buildDocument() const;
    void writeJsonFile();

    double _atmosphere;
    double _heatingRate;
    QVector<StandardSampleData> _standardSampleDataVtr;
    // Per row, the coefficient in force when its measured enthalpy was last
    // typed; NaN until then.
    QVector<float> _measuredWith;
    Ui_EnthalpyDataCorrectionForm* _ui;
};

#endif // ENTHALPYDATACORRECTIONFORM_H
