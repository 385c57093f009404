#include "confighandler.h"
#include "degreeofcrystallinityform.h"
#include "degreeofcureform.h"
#include "global.h"
#include "instrumentcoefficientform.h"
#include "specificheatcomparisonmethodform.h"
#include "windowtesthelpers.h"

#include <qcustomplot.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>

namespace {

QLineEdit* field(QWidget* form, const char* name)
{
    auto* edit = form->findChild<QLineEdit*>(QLatin1String(name));
    if (!edit)
        qFatal("no field %s", name);
    return edit;
}

void setField(QWidget* form, const char* name, const QString& text)
{
    field(form, name)->setText(text);
}

void click(QWidget* form, const char* name)
{
    form->findChild<QPushButton*>(QLatin1String(name))->click();
}

// A stage heated from 50 to 150 ℃ in 1 ℃ steps with a constant signal.
QVector<Global::ExperimentData> flatStage(float dsc)
{
    QVector<Global::ExperimentData> data;
    for (int t = 50; t <= 150; ++t)
        data.append({t / 10.0f, 0.0f, static_cast<float>(t), dsc});
    return data;
}

Global::CurveFileData workbook(const QString& name, QCPCurve* curve, float dsc)
{
    Global::CurveFileData file;
    file.fileName = name;
    Global::PhaseTotalInfo phase;
    phase.phaseIndex = 1;
    phase.data = flatStage(dsc);
    phase.curve = curve;
    file.phases.append(phase);
    return file;
}

QJsonObject readConfig()
{
    QFile file(Global::ConfigFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class TestCalcDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calculators_data();
    void calculators();
    void specificHeatFromThreeCurves();
    void specificHeatRefused_data();
    void specificHeatRefused();

private:
    void setUpCurves(float baseLine, float standard, float sample);
    void fillSpecificHeatFields(QWidget* form, const QString& temperature);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<QCustomPlot> _plot;
    QVector<QCPCurve*> _curves;
};

void TestCalcDialogs::init()
{
    _dialogs = std::make_unique<DialogAnswers>();
    _plot = std::make_unique<QCustomPlot>();
    Global::_curveFileDataVtr.clear();
    Global::_configMap = Global::_defaultConfigMap;
    QFile::remove(Global::ConfigFilePath);
}

void TestCalcDialogs::cleanup()
{
    Global::_curveFileDataVtr.clear();
    _curves.clear();
    _plot.reset();
    _dialogs.reset();
}

void TestCalcDialogs::setUpCurves(float baseLine, float standard, float sample)
{
    _curves.clear();
    const float signal[] = {baseLine, standard, sample};
    const char* names[] = {"base.xlsx", "sapphire.xlsx", "sample.xlsx"};
    for (int role = 0; role < 3; ++role) {
        auto* curve = new QCPCurve(_plot->xAxis, _plot->yAxis);
        curve->setObjectName(names[role]);
        _curves.append(curve);
        Global::_curveFileDataVtr.append(workbook(names[role], curve, signal[role]));
    }
}

void TestCalcDialogs::fillSpecificHeatFields(QWidget* form, const QString& temperature)
{
    setField(form, "LineEditTemperature", temperature);
    setField(form, "LineEditCorrectionCoefficient", "1.000");
    setField(form, "LineEditSampleWeight", "17.92");
    setField(form, "LineEditStandardSampleWeight", "13.92");
}

// Expected figures by hand, in float32 where the dialog computes in float
// (Python: struct round trips through 'f'): crystallinity (a - b) / c x 100,
// cure (before - after) / before x 100 as the dialog's formula draws it,
// K = theory / measured. A refusal warns once, stores no K and leaves no
// earlier result in the field: crystallinity and cure empty it, the
// coefficient dialog keeps showing the stored K.
void TestCalcDialogs::calculators_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<double>("storedK");
    QTest::newRow("crystallinity (50 - 10) / 140") << "crystallinity" << QStringList{"50", "10", "140"} << "28.571"
                                                   << false << 1.0;
    QTest::newRow("crystallinity, theoretical 0") << "crystallinity" << QStringList{"50", "10", "0"} << ""
                                                  << true << 1.0;
    QTest::newRow("crystallinity, all empty") << "crystallinity" << QStringList{"", "", ""} << "" << true << 1.0;
    QTest::newRow("cure 120 / 30") << "cure" << QStringList{"120", "30"} << "75.000" << false << 1.0;
    // 72.6 / 85.3 x 100 = 85.11137 in float32.
    QTest::newRow("cure 85.3 / 12.7") << "cure" << QStringList{"85.3", "12.7"} << "85.111" << false << 1.0;
    QTest::newRow("cure, no change") << "cure" << QStringList{"120", "120"} << "0.000" << false << 1.0;
    QTest::newRow("cure, after 0: full cure") << "cure" << QStringList{"30", "0"} << "100.000" << false << 1.0;
    QTest::newRow("cure, before 0") << "cure" << QStringList{"0", "30"} << "" << true << 1.0;
    QTest::newRow("cure, both empty") << "cure" << QStringList{"", ""} << "" << true << 1.0;
    // 28.42 / 25 = 1.1368, held as a float.
    QTest::newRow("coefficient 28.42 / 25") << "coefficient" << QStringList{"28.42", "25.0"} << "1.137" << false
                                            << 1.1368;
    QTest::newRow("coefficient, measured 0") << "coefficient" << QStringList{"28.42", "0"} << "1.000" << true
                                             << 1.0;
    QTest::newRow("coefficient, theory empty") << "coefficient" << QStringList{"", "25"} << "1.000" << true << 1.0;
    QTest::newRow("coefficient, decimal comma") << "coefficient" << QStringList{"28,42", "25"} << "1.000" << true
                                                << 1.0;
}

void TestCalcDialogs::calculators()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, inputs);
    QFETCH(QString, result);
    QFETCH(bool, refused);
    QFETCH(double, storedK);
    std::unique_ptr<QWidget> form;
    QVector<const char*> names;
    if (dialog == "crystallinity") {
        form = std::make_unique<DegreeOfCrystallinityForm>();
        names = {"LineEditEnthalpyOfCrystallization", "LineEditEnthalpyOfColdCrystallization",
                 "LineEditTheoreticalEnthalpy", "xcLineEditDegreedOfCrystallinity"};
    } else if (dialog == "cure") {
        form = std::make_unique<DegreeOfCureForm>();
        names = {"LineEditPrecure", "jGLineEditAfterCuring", "LineEditDegreeOfCure"};
    } else {
        form = std::make_unique<InstrumentCoefficientForm>();
        names = {"LineEditTheory", "LineEditActualMeasurement", "LineEditCoefficient"};
    }
    for (int i = 0; i < inputs.size(); ++i)
        setField(form.get(), names.at(i), inputs.at(i));
    if (dialog != "coefficient")
        setField(form.get(), names.last(), "12.345"); // a result of earlier inputs
    QSignalSpy drawn(form.get(), SIGNAL(sigDrawCustomText(QString)));
    click(form.get(), "pushButtonCalculate");

    QCOMPARE(field(form.get(), names.last())->text(), result);
    QCOMPARE(_dialogs->boxTitles(), refused ? QStringList{"warnning"} : QStringList());
    QVERIFY(std::fabs(Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble() - storedK) < 1e-6);
    QCOMPARE(QFile::exists(Global::ConfigFilePath), storedK != 1.0);
    QVERIFY(std::fabs(readConfig().value(Global::InstrumentCoefficientKey).toDouble(1.0) - storedK) < 1e-6);
    if (dialog == "crystallinity") {
        QCOMPARE(drawn.count(), refused ? 0 : 1);
        if (!refused)
            QCOMPARE(drawn.at(0).at(0).toString(), "结晶度Xc(%)= " + result + "%");
        // Quitting empties the fields, so no stale degree is shown on reopening.
        click(form.get(), "pushButtonQuit");
        QVERIFY(field(form.get(), names.last())->text().isEmpty());
        QVERIFY(field(form.get(), names.first())->text().isEmpty());
    }
}

void TestCalcDialogs::specificHeatFromThreeCurves()
{
    setUpCurves(1.0f, 3.0f, 4.0f);
    SpecificHeatComparisonMethodForm form;
    QSignalSpy texts(&form, &SpecificHeatComparisonMethodForm::sigDrawCustomText);
    for (int role = 0; role < 3; ++role)
        form.slotSetCurve(role, _curves.at(role));
    form.show();
    fillSpecificHeatFields(&form, "100");
    click(&form, "pushButtonCalculate");
    // (4 - 1) x 13.92 x 0.90647 x 1 / ((3 - 1) x 17.92) = 1.0562
    QCOMPARE(field(&form, "LineEditStandardSampleSpecificHeat")->text(), QString("0.906"));
    QCOMPARE(field(&form, "LineEditSampleSpecificHeat")->text(), QString("1.056"));
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), QString("100.000℃比热容= 1.056J/(g*℃)"));
}

// Without three distinct, loaded curves the button computes nothing and says
// which is missing; a temperature outside the curves or a zero denominator
// warns once too. Either way no earlier result stays beside the new inputs.
void TestCalcDialogs::specificHeatRefused_data()
{
    QTest::addColumn<QString>("sampleRole");
    QTest::addColumn<float>("standardSignal");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("sampleMass");
    QTest::addColumn<QString>("warning");
    const QString missing = QStringLiteral("缺少样品曲线，请在曲线右键菜单“比热项”中选择。");
    const QString outside = QStringLiteral("The temperature lies outside the temperature range of a selected curve.");
    const QString noRatio = QStringLiteral("The standard's signal must differ from the baseline's and the sample mass "
                                           "must not be 0.");
    QTest::newRow("sample never chosen") << "unchosen" << 3.0f << "100" << "17.92" << missing;
    QTest::newRow("chosen curve deleted from the plot") << "deleted" << 3.0f << "100" << "17.92" << missing;
    QTest::newRow("curve of no loaded workbook") << "live curve" << 3.0f << "100" << "17.92" << missing;
    QTest::newRow("temperature below the curves") << "sample" << 3.0f << "20" << "17.92" << outside;
    QTest::newRow("sample mass 0") << "sample" << 3.0f << "100" << "0" << noRatio;
    QTest::newRow("standard equals baseline") << "sample" << 1.0f << "100" << "17.92" << noRatio;
}

void TestCalcDialogs::specificHeatRefused()
{
    QFETCH(QString, sampleRole);
    QFETCH(float, standardSignal);
    QFETCH(QString, temperature);
    QFETCH(QString, sampleMass);
    QFETCH(QString, warning);
    setUpCurves(1.0f, standardSignal, 4.0f);
    SpecificHeatComparisonMethodForm form;
    form.slotSetCurve(0, _curves.at(0));
    form.slotSetCurve(1, _curves.at(1));
    if (sampleRole == "sample") {
        form.slotSetCurve(2, _curves.at(2));
    } else if (sampleRole == "deleted") {
        form.slotSetCurve(2, _curves.at(2));
        // The stage keeps its now dangling pointer, as after a deletion.
        _plot->removePlottable(_curves.at(2));
    } else if (sampleRole == "live curve") {
        form.slotSetCurve(2, new QCPCurve(_plot->xAxis, _plot->yAxis));
    }
    form.slotSetCurve(7, _curves.at(2));
    QSignalSpy texts(&form, &SpecificHeatComparisonMethodForm::sigDrawCustomText);
    form.show();
    fillSpecificHeatFields(&form, temperature);
    setField(&form, "LineEditSampleWeight", sampleMass);
    setField(&form, "LineEditStandardSampleSpecificHeat", "earlier");
    setField(&form, "LineEditSampleSpecificHeat", "earlier");
    click(&form, "pushButtonCalculate");
    QCOMPARE(texts.count(), 0);
    QVERIFY(field(&form, "LineEditStandardSampleSpecificHeat")->text().isEmpty());
    QVERIFY(field(&form, "LineEditSampleSpecificHeat")->text().isEmpty());
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QCOMPARE(_dialogs->boxes.first().text, warning);
}

QTEST_MAIN(TestCalcDialogs)
#include "tst_calcdialogs.moc"
