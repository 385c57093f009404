#ifndef ANALYSISSETTINGFORM_H
#define ANALYSISSETTINGFORM_H

#include <QWidget>

class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

// The panel of the right dock during an analysis: the positions of the two
// boundary lines and the buttons that apply, confirm, undo or cancel it.
class AnalysisSettingForm : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisSettingForm(QWidget* parent = nullptr);

signals:
    void sigApply();
    void sigConfirm();
    void sigUndo();
    void sigCancel();

public slots:
    void slotRecvLineXCoord(int which, double x);

private:
    void buildLayout();
    QPushButton* createButton(const QString& text, const QString& objectName);

    QDoubleSpinBox* _leftBoundSpinBox;
    QDoubleSpinBox* _rightBoundSpinBox;
    QLineEdit* _thresholdLineEdit;
    QPushButton* _applyButton;
    QPushButton* _confirmButton;
    QPushButton* _undoButton;
    QPushButton* _cancelButton;
};

#endif // ANALYSISSETTINGFORM_H
