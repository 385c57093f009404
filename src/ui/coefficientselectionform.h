#ifndef COEFFICIENTSELECTIONFORM_H
#define COEFFICIENTSELECTIONFORM_H

#include <QString>
#include <QVector>
#include <QWidget>

class Ui_CoefficientSelectionForm;

// Chooses the enthalpy correction of the peak area: one instrument coefficient
// K kept in "config.json", or a quadratic in temperature fitted through an
// enthalpy-correction table file.
class CoefficientSelectionForm : public QWidget
{
    Q_OBJECT

public:
    explicit CoefficientSelectionForm(QWidget* parent = nullptr);
    ~CoefficientSelectionForm() override;

    // A correction table has at most 18 rows, a few kilobytes; anything far
    // larger is not one and would only stall the window.
    static constexpr qint64 MaxTableFileSize = 1024 * 1024;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_radioButtonSinglePointCoefficient_toggled(bool checked);
    void on_radioButtonMultiPointCoefficient_toggled(bool checked);
    void on_pushButtonCalculate_clicked();
    void on_pushButtonSelectFile_clicked();
    void on_pushButtonConfirm_clicked();
    void on_pushButtonExit_clicked();

private:
    void showStoredCoefficient();
    void confirmSinglePoint();
    void confirmMultiPoint();
    void refuseFit(const QString& reason);
    static int distinctCount(QVector<double> values);
    bool readTableRows(QVector<double>& temperatures, QVector<double>& rates) const;

    QString _fileContent;
    Ui_CoefficientSelectionForm* _ui;
    float _coefficient;
    // The factor of the last peak enthalpy when the measured enthalpy was last
    // typed.
    float _measuredWith;
};

#endif // COEFFICIENTSELECTIONFORM_H
