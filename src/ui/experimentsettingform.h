#ifndef EXPERIMENTSETTINGFORM_H
#define EXPERIMENTSETTINGFORM_H

#include "global.h"

#include <QByteArray>
#include <QWidget>

class Ui_ExperimentSettingForm;
class QCheckBox;

class ExperimentSettingForm : public QWidget
{
    Q_OBJECT

public:
    explicit ExperimentSettingForm(QWidget* parent = nullptr);
    ~ExperimentSettingForm() override;

    void slotPhase2StateChanged(bool checked);
    void slotPhase3StateChanged(bool checked);
    void slotPhase4StateChanged(bool checked);
    void slotPhase5StateChanged(bool checked);
    void slotPhase6StateChanged(bool checked);
    void resetPhaseWidgets();
    void showCutoffTempError(int phase);
    void showScanRateError(int phase);

    // The form of the experiment date, as the dialog shows it and a run is
    // stamped with.
    static QString currentDateTime();

signals:
    void sigDeliverData(QByteArray frame);

public slots:
    void slotRecvPhaseInfo(const QByteArray& frame);
    void on_pushButton_deliverData_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* phaseCheckBox(int phase) const;
    void setPhaseFieldsEnabled(int phase, bool enabled);
    void switchPhase(int phase, bool checked);
    PhaseInfoData readPhase(int phase) const;
    bool checkPhase(int phase, const QVector<PhaseInfoData>& phases);
    bool checkPhaseNumbers(int phase, const PhaseInfoData& record);
    void showPhaseError(int phase, const QString& title, const QString& text);
    void storeSampleInfo();
    QByteArray optionBytes() const;
    void showPhaseRecord(int phase, const PhaseInfoData& record);
    void showOptions(const QByteArray& frame);

    Ui_ExperimentSettingForm* _ui;
};

#endif // EXPERIMENTSETTINGFORM_H
