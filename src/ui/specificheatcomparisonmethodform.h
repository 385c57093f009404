#ifndef SPECIFICHEATCOMPARISONMETHODFORM_H
#define SPECIFICHEATCOMPARISONMETHODFORM_H

#include "global.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QCPCurve;
class QLabel;
class QLineEdit;
class Ui_SpecificHeatComparisonMethodForm;

// "比热比较法": specific heat of a sample at one temperature from a baseline
// run, a run of a sapphire standard and a run of the sample, each marked on
// the plot through the curve context menu.
class SpecificHeatComparisonMethodForm : public QWidget
{
    Q_OBJECT

public:
    explicit SpecificHeatComparisonMethodForm(QWidget* parent = nullptr);
    ~SpecificHeatComparisonMethodForm() override;

    // Specific heat of synthetic sapphire (alpha-Al2O3) in J/(g*℃) at a
    // temperature in ℃.
    static double standardSampleSpecificHeat(double temperature);

signals:
    void sigDrawCustomText(QString text);

public slots:
    void slotSetCurve(int role, QCPCurve* curve);

private slots:
    void on_pushButtonCalculate_clicked();
    void on_pushButtonQuit_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    using DataList = QVector<Global::ExperimentData>;

    void buildDataFileRows();
    QLineEdit* addDataFileRow(const QString& role, const QString& colour, QLabel** colourLabel);
    void findRoleData();
    bool allRolesFound() const;
    QStringList missingRoles() const;
    bool signalsAt(float temperature, double* baseLine, double* standardSample, double* sample) const;
    void clearResults();
    void refuse(const QString& text);

    Ui_SpecificHeatComparisonMethodForm* _ui;
    QLineEdit* _baseLineFileEdit;
    QLineEdit* _standardSampleFileEdit;
    QLineEdit* _sampleFileEdit;
    QLabel* _baseLineColorLabel;
    QLabel* _standardSampleColorLabel;
    QLabel* _sampleColorLabel;
    // Guarded: the dialog is not told when a curve leaves the plot, and a
    // deleted curve must count as missing instead of being compared.
    QPointer<QCPCurve> _baseLineCurve;
    QPointer<QCPCurve> _standardSampleCurve;
    QPointer<QCPCurve> _sampleCurve;
    // Point into Global::_curveFileDataVtr while the dialog is open; the
    // dialog is modal, so the loaded files cannot change meanwhile.
    const DataList* _baseLineData;
    const DataList* _standardSampleData;
    const DataList* _sampleData;
};

#endif // SPECIFICHEATCOMPARISONMETHODFORM_H
