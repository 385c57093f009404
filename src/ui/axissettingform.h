#ifndef AXISSETTINGFORM_H
#define AXISSETTINGFORM_H

#include "centralwidget.h"

#include <QVector>
#include <QWidget>

class Ui_AxisSettingForm;
class QLineEdit;
class QShowEvent;

// Reads the ranges of the plot's x, left y and right y axes on every opening
// and sends edited ranges back to the plot.
class AxisSettingForm : public QWidget
{
    Q_OBJECT

public:
    explicit AxisSettingForm(QWidget* parent = nullptr);
    ~AxisSettingForm() override;

signals:
    void sigSetAxisSettings(QVector<double> values);
    void sigGetAxisInfo();

public slots:
    void slotGetAxisInfoWithData(QVector<CentralWidget::AxisInfo> info);
    void on_pushButtonConfirm_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QVector<QLineEdit*> rangeEdits() const;
    bool readRanges(QVector<double>& values);

    Ui_AxisSettingForm* _ui;
};

#endif // AXISSETTINGFORM_H
