#include "enthalpydatacorrectionform.h"

#include "atomicfile.h"
#include "filedialog.h"
#include "global.h"
#include "messagebox.h"
#include "numerichelpers.h"
#include "pointcalculate.h"
#include "ui_enthalpydatacorrectionform.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <limits>

EnthalpyDataCorrectionForm::EnthalpyDataCorrectionForm(QWidget* parent)
    : QWidget(parent)
    , _atmosphere(0.0)
    , _heatingRate(0.0)
    , _ui(new Ui_EnthalpyDataCorrectionForm)
{
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("热焓校正参数编辑"));
    const QVector<SubstanceRow> rows = substanceRows();
    _measuredWith.fill(std::numeric_limits<float>::quiet_NaN(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        connect(rows.at(i).measured, &QLineEdit::textEdited, this,
                [this, i, row = rows.at(i)]() { _measuredWith[i] = coefficientInForce(row); });
    }
}

EnthalpyDataCorrectionForm::~EnthalpyDataCorrectionForm()
{
    delete _ui;
}

// Table order: row 1 (C6H12) first, as the file lists the substances.
QVector<EnthalpyDataCorrectionForm::SubstanceRow> EnthalpyDataCorrectionForm::substanceRows() const
{
    const Ui_EnthalpyDataCorrectionForm& u = *_ui;
    return {
        {u.checkBoxC6H12, u.label_3, u.labelTempC6H12, u.lineEditTheoryC6H12, u.lineEditMeasC6H12},
        {u.checkBoxHg, u.label_25, u.labelTempHg, u.lineEditTheoryHg, u.lineEditMeasHg},
        {u.checkBoxC6H5COOH, u.label_8, u.labelTempC6H5COOH, u.lineEditTheoryC6H5COOH, u.lineEditMeasC6H5COOH},
        {u.checkBoxIn, u.label_10, u.labelTempIn, u.lineEditTheoryIn, u.lineEditMeasIn},
        {u.checkBoxSn, u.label_11, u.labelTempSn, u.lineEditTheorySn, u.lineEditMeasSn},
        {u.checkBoxBi, u.label_12, u.labelTempBi, u.lineEditTheoryBi, u.lineEditMeasBi},
        {u.checkBoxKC1O3, u.label_13, u.labelTempKC1O3, u.lineEditTheoryKC1O3, u.lineEditMeasKC103},
        {u.checkBoxPb, u.label_14, u.labelTempPb, u.lineEditTheoryPb, u.lineEditMeasPb},
        {u.checkBoxKNO3, u.label_15, u.labelTempKNO3, u.lineEditTheoryKNO3, u.lineEditMeasKNO3},
        {u.checkBoxZn, u.label_19, u.labelTempZn, u.lineEditTheoryZn, u.lineEditMeasZn},
        {u.checkBoxAg2SO4, u.label_18, u.labelTempAg2SO4, u.lineEditTheoryAg2SO4, u.lineEditMeasAg2SO4},
        {u.checkBoxCsCl, u.label_17, u.labelTempCsC1, u.lineEditTheoryCsC1, u.lineEditMeasCsCl},
        {u.checkBoxSiO2, u.label_16, u.labelTempSiO2, u.lineEditTheorySiO2, u.lineEditMeasSiO2},
        {u.checkBoxK2SO4, u.label_20, u.labelTempK2SO4, u.lineEditTheoryK2SO4, u.lineEditMeasK2SO4},
        {u.checkBoxK2CrO4, u.label_22, u.labelTempK2CrO4, u.lineEditTheoryK2CrO4, u.lineEditMeasK2CrO4},
        {u.checkBoxBaCO3, u.label_21, u.labelTempBaCO3, u.lineEditTheoryBaCO3, u.lineEditMeasBaCO3},
        {u.checkBoxAg, u.label_23, u.labelTempAg, u.lineEditTheoryAg, u.lineEditMeasAg},
        {u.checkBoxCu, u.label_24, u.labelTempCu, u.lineEditTheoryCu, u.lineEditMeasCu},
    };
}

void EnthalpyDataCorrectionForm::on_pushButtonSave_clicked()
{
    _atmosphere = _ui->lineEditAtomsphere->text().toDouble();
    _heatingRate = _ui->lineEditHeatingRate->text().toDouble();
    const QString refusal = collectCheckedRows();
    if (!refusal.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("warnning"), refusal);
        return;
    }
    writeJsonFile();
}

void EnthalpyDataCorrectionForm::on_pushButtonExit_clicked()
{
    hide();
}

// The coefficient a peak at the substance's temperature is scaled by now.
float EnthalpyDataCorrectionForm::coefficientInForce(const SubstanceRow& row)
{
    return PointCalculate::coefficientAt(Global::toFloat(row.temperature->text().toDouble()));
}

// The vector is rebuilt on every save, so a file holds exactly the rows
// checked at that moment. A checked substance without a usable theoretical
// or measured enthalpy (empty, 0, negative, not a number) has no ratio; a
// table carrying it would later be fitted as a ratio of 0, inf or below 0 and
// bend every corrected enthalpy, so the first such row is named instead.
//
// The fitted table replaces the instrument coefficient, so a row's ratio is
// the coefficient under which its measured enthalpy reads the theoretical
// one: the coefficient its measured enthalpy was shown with (in force when it
// was typed, or now when it was not typed) × theoretical / measured. One
// shown while no usable coefficient was in force counts as unscaled.
QString EnthalpyDataCorrectionForm::collectCheckedRows()
{
    _standardSampleDataVtr.clear();
    const QVector<SubstanceRow> rows = substanceRows();
    for (int i = 0; i < rows.size(); ++i) {
        const SubstanceRow& row = rows.at(i);
        if (!row.check->isChecked()) {
            continue;
        }
        const double theory = row.theory->text().toDouble();
        const double measured = row.measured->text().toDouble();
        if (!usableEnthalpy(theory)) {
            return QStringLiteral("%1的理论焓值为空、为0或为负, 无法计算校正比例!").arg(row.name->text());
        }
        if (!usableEnthalpy(measured)) {
            return QStringLiteral("%1的实测焓值为空、为0或为负, 无法计算校正比例!").arg(row.name->text());
        }
        const float measuredWith = std::isnan(_measuredWith.at(i)) ? coefficientInForce(row) : _measuredWith.at(i);
        const double base = std::isfinite(measuredWith) && measuredWith > 0.0f ? measuredWith : 1.0;
        _standardSampleDataVtr.append(
            {row.name->text(), row.temperature->text().toDouble(), base * theory / measured});
    }
    return QString();
}

bool EnthalpyDataCorrectionForm::usableEnthalpy(double value)
{
    return std::isfinite(value) && value > 0.0;
}

// QJsonObject keeps its members sorted by key, which gives the file its order:
// "atmosphere" before "heatingRate", "rate" before "temperature".
QJsonDocument EnthalpyDataCorrectionForm::buildDocument() const
{
    QJsonObject atmosphereData;
    atmosphereData.insert(Global::AtmosphereKey, _atmosphere);
    atmosphereData.insert(Global::HeatingRateKey, _heatingRate);

    QJsonArray sampleData;
    for (const StandardSampleData& sample : _standardSampleDataVtr) {
        QJsonObject row;
        row.insert(Global::TemperatureKey, sample.temperature);
        row.insert(Global::RateKey, sample.rate);
        sampleData.append(row);
    }

    QJsonObject root;
    root.insert(Global::AtmosphereDataKey, atmosphereData);
    root.insert(Global::SampleDataKey, sampleData);
    return QJsonDocument(root);
}

void EnthalpyDataCorrectionForm::writeJsonFile()
{
    const QByteArray text = buildDocument().toJson(QJsonDocument::Indented);
    QString fileName = FileDialog::getSaveFileName(nullptr, QStringLiteral("保存 JSON 文件"),
                                                   QStringLiteral("new.json"), QStringLiteral("JSON Files (*.json)"));
    if (fileName.isEmpty()) {
        qDebug() << "用户取消了操作";
        return;
    }
    if (!fileName.endsWith(QStringLiteral(".json"))) {
        fileName += QStringLiteral(".json");
    }
    // Written beside and renamed over the old table, so a failed write (a full
    // disk) leaves the earlier file whole instead of a truncated one.
    QString error;
    if (!writeFileAtomically(fileName, text, &error)) {
        qDebug() << "无法打开文件进行写入:" << error;
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("无法写入文件 %1: %2").arg(fileName, error));
    }
}
