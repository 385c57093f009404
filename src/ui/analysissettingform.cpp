#include "analysissettingform.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* createBoundSpinBox(QWidget* parent, const QString& objectName)
{
    auto* spinBox = new QDoubleSpinBox(parent);
    spinBox->setObjectName(objectName);
    spinBox->setRange(0.0, 10000.0);
    return spinBox;
}

} // namespace

AnalysisSettingForm::AnalysisSettingForm(QWidget* parent)
    : QWidget(parent)
    , _leftBoundSpinBox(createBoundSpinBox(this, QStringLiteral("leftBoundSpinBox")))
    , _rightBoundSpinBox(createBoundSpinBox(this, QStringLiteral("rightBoundSpinBox")))
    , _thresholdLineEdit(new QLineEdit(this))
    , _applyButton(createButton(QStringLiteral("应用"), QStringLiteral("pushButtonApply")))
    , _confirmButton(createButton(QStringLiteral("确定"), QStringLiteral("pushButtonConfirm")))
    , _undoButton(createButton(QStringLiteral("撤销"), QStringLiteral("pushButtonUndo")))
    , _cancelButton(createButton(QStringLiteral("取消"), QStringLiteral("pushButtonCancel")))
{
    _thresholdLineEdit->setObjectName(QStringLiteral("thresholdLineEdit"));
    buildLayout();

    connect(_applyButton, &QPushButton::clicked, this, &AnalysisSettingForm::sigApply);
    connect(_confirmButton, &QPushButton::clicked, this, &AnalysisSettingForm::sigConfirm);
    connect(_undoButton, &QPushButton::clicked, this, &AnalysisSettingForm::sigUndo);
    connect(_cancelButton, &QPushButton::clicked, this, &AnalysisSettingForm::sigCancel);
}

QPushButton* AnalysisSettingForm::createButton(const QString& text, const QString& objectName)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(objectName);
    return button;
}

void AnalysisSettingForm::buildLayout()
{
    auto* bounds = new QFormLayout;
    bounds->addRow(QStringLiteral("左边界:"), _leftBoundSpinBox);
    bounds->addRow(QStringLiteral("右边界:"), _rightBoundSpinBox);
    bounds->addRow(QStringLiteral("阈值:"), _thresholdLineEdit);

    auto* buttons = new QGridLayout;
    buttons->addWidget(_applyButton, 0, 0);
    buttons->addWidget(_undoButton, 0, 1);
    buttons->addWidget(_confirmButton, 1, 0);
    buttons->addWidget(_cancelButton, 1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bounds);
    layout->addSpacing(20);
    layout->addLayout(buttons);
    layout->addStretch();
}

// The spin boxes clamp to their range, so a line dragged past either end
// shows the nearest bound.
void AnalysisSettingForm::slotRecvLineXCoord(int which, double x)
{
    if (which == 1)
        _leftBoundSpinBox->setValue(x);
    else
        _rightBoundSpinBox->setValue(x);
}
