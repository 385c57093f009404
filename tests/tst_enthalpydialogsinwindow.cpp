#include "analysistesthelpers.h"
#include "coefficientselectionform.h"
#include "confighandler.h"
#include "enthalpydatacorrectionform.h"
#include "filesizelimit.h"
#include "global.h"
#include "instrumentcoefficientform.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// float(28.42) / float(25), held as a float and widened to double (Python:
// struct round trips through 'f'), as config.json then holds it.
const double IndiumK = 1.1368000507354736;

QByteArray readConfig()
{
    QFile file(Global::ConfigFilePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeConfig(const QByteArray& bytes)
{
    QFile file(Global::ConfigFilePath);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

template <typename Form>
Form* openDialog(MainWindow& window, const char* action)
{
    window.findChild<QAction*>(action)->trigger();
    return window.findChild<Form*>();
}

void type(QWidget* form, const char* edit, const QString& text)
{
    form->findChild<QLineEdit*>(edit)->setText(text);
}

void click(QWidget* form, const char* button)
{
    form->findChild<QPushButton*>(button)->click();
}

// 峰综合分析 of samples/indium.xlsx between 140 and 170 ℃, confirmed.
void analyseIndiumPeak(MainWindow& window)
{
    auto* workspace = window.findChild<CentralWidget*>();
    QVERIFY(loadWorkbook(workspace, QStringLiteral(QUARNEL_SOURCE_DIR "/samples/indium.xlsx")));
    window.findChild<QAction*>("actionPeakSynthesisAnalysis")->trigger();
    AnalysisTest::setLineKey(workspace->line1(), 140.0);
    AnalysisTest::setLineKey(workspace->line2(), 170.0);
    click(&window, "pushButtonApply");
    click(&window, "pushButtonConfirm");
}

} // namespace

// The main window builds each dialog once, hidden, and its menus open them.
// The coefficient dialogs share K through the configuration and config.json.
class TestEnthalpyDialogsInWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void actionsOpenDialogs_data();
    void actionsOpenDialogs();
    void selectionStoresTheCurrentK();
    void calibrationsScaleTheCoefficientInForce_data();
    void calibrationsScaleTheCoefficientInForce();
    void unusableStoredKWarnsAtStartUp_data();
    void unusableStoredKWarnsAtStartUp();
    void unwritableConfigKeepsTheOldK_data();
    void unwritableConfigKeepsTheOldK();
};

void TestEnthalpyDialogsInWindow::init()
{
    QFile::remove(Global::ConfigFilePath);
    QDir().rmdir(Global::ConfigFilePath);
    Global::_configMap = Global::_defaultConfigMap;
    Global::_enthalpyCoefficientEnableFlag = false;
    Global::_enthalpyCoefficientVtr.clear();
}

void TestEnthalpyDialogsInWindow::cleanup()
{
    init();
}

void TestEnthalpyDialogsInWindow::actionsOpenDialogs_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("dialogClass");
    QTest::newRow("热焓校正系数编辑") << "actionEnthalpyCorrectionEdit" << "EnthalpyDataCorrectionForm";
    QTest::newRow("热焓校正系数选择") << "actionEnthalpyCorrectionSelection" << "CoefficientSelectionForm";
    QTest::newRow("关于") << "actionAbout" << "AboutForm";
    QTest::newRow("比热比较法") << "actionSpecificHeatCompMethod" << "SpecificHeatComparisonMethodForm";
    QTest::newRow("结晶度") << "actionDegreeOfCrystallinity" << "DegreeOfCrystallinityForm";
    QTest::newRow("固化度") << "actionDegreeOfCuring" << "DegreeOfCureForm";
    QTest::newRow("仪器系数") << "actionInstrumentParameter" << "InstrumentCoefficientForm";
    QTest::newRow("OIT参数") << "actionOITAutoAnalysisParam" << "OITAutoAnalysisParamForm";
    QTest::newRow("坐标轴设置") << "actionAxisSetting" << "AxisSettingForm";
}

void TestEnthalpyDialogsInWindow::actionsOpenDialogs()
{
    QFETCH(QString, action);
    QFETCH(QString, dialogClass);
    DialogAnswers dialogs;
    dialogs.answers = {QMessageBox::Yes};
    MainWindow window;
    window.show();

    QWidget* dialog = nullptr;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (dialogClass == QLatin1String(child->metaObject()->className())) {
            QVERIFY2(!dialog, "built more than once");
            dialog = child;
        }
    }
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());
    window.findChild<QAction*>(action)->trigger();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
}

// Both dialogs are built with K = 1; "仪器系数" then stores 28.42 / 25. The
// selection dialog must show that K when opened and store it, not its own 1.
void TestEnthalpyDialogsInWindow::selectionStoresTheCurrentK()
{
    DialogAnswers dialogs;
    MainWindow window;
    window.show();
    auto* instrument = openDialog<InstrumentCoefficientForm>(window, "actionInstrumentParameter");
    type(instrument, "LineEditTheory", "28.42");
    type(instrument, "LineEditActualMeasurement", "25");
    click(instrument, "pushButtonCalculate");
    click(instrument, "pushButtonCancel");

    auto* selection = openDialog<CoefficientSelectionForm>(window, "actionEnthalpyCorrectionSelection");
    QCOMPARE(selection->findChild<QLineEdit*>("LineEditCoefficient")->text(), QString("1.137"));
    click(selection, "pushButtonConfirm");
    QVERIFY(!selection->isVisible());
    QCOMPARE(QJsonDocument::fromJson(readConfig()).object().value("InstrumentCoefficient").toDouble(), IndiumK);
    QVERIFY(dialogs.boxes.isEmpty());
}

// K = 0.731 in force, or the correction 0.005 T (0.783 at indium's 156.6 ℃
// in float32); indium's 28.42 J/g read as 28.45. "单点系数" gives float32
// 0.731 × 28.42 / 28.45; a row of the correction table holds that product
// in double, from the coefficient in force at the row's temperature (Python).
// With the correction a constant 2, indium's peak reads 77.868 J/g: its
// factor was 2, not K, so float32 2 × 28.42 / 77.868 (numpy).
void TestEnthalpyDialogsInWindow::calibrationsScaleTheCoefficientInForce_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QVector<double>>("correction");
    QTest::addColumn<QString>("measured");
    QTest::addColumn<double>("expected");
    const QVector<double> off;
    QTest::newRow("单点系数") << "单点系数" << off << "28.45" << 0.7302291989326477;
    QTest::newRow("table, K") << "table" << off << "28.45" << 0.7302291801818017;
    QTest::newRow("table, correction") << "table" << QVector<double>{0.0, 0.005, 0.0} << "28.45" << 0.782174333327684;
    QTest::newRow("单点系数, correction on") << "单点系数" << QVector<double>{0.0, 0.0, 2.0} << "77.868"
                                             << 0.7299532890319824;
}

void TestEnthalpyDialogsInWindow::calibrationsScaleTheCoefficientInForce()
{
    QFETCH(QString, dialog);
    QFETCH(QVector<double>, correction);
    QFETCH(QString, measured);
    QFETCH(double, expected);
    DialogAnswers dialogs;
    MainWindow window;
    window.show();
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 0.731f);
    Global::_enthalpyCoefficientEnableFlag = !correction.isEmpty();
    Global::_enthalpyCoefficientVtr = correction;
    if (dialog == "单点系数") {
        if (!correction.isEmpty())
            analyseIndiumPeak(window);
        auto* form = openDialog<CoefficientSelectionForm>(window, "actionEnthalpyCorrectionSelection");
        QCOMPARE(form->findChild<QLineEdit*>("LineEditCoefficient")->text(), QString("0.731"));
        QTest::keyClicks(form->findChild<QLineEdit*>("LineEditTheory"), "28.42");
        QTest::keyClicks(form->findChild<QLineEdit*>("LineEditActualMeasurement"), measured);
        click(form, "pushButtonCalculate");
        QCOMPARE(form->findChild<QLineEdit*>("LineEditCoefficient")->text(), QString("0.730"));
        click(form, "pushButtonConfirm");
        QCOMPARE(QJsonDocument::fromJson(readConfig()).object().value("InstrumentCoefficient").toDouble(), expected);
    } else {
        auto* form = openDialog<EnthalpyDataCorrectionForm>(window, "actionEnthalpyCorrectionEdit");
        form->findChild<QCheckBox*>("checkBoxIn")->setChecked(true);
        QTest::keyClicks(form->findChild<QLineEdit*>("lineEditMeasIn"), "28.45");
        const QString table = QDir::current().filePath("table.json");
        dialogs.fileNames = QStringList{table};
        click(form, "pushButtonSave");
        QFile file(table);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject row = QJsonDocument::fromJson(file.readAll()).object().value("sampleData").toArray().at(0).toObject();
        file.remove();
        QCOMPARE(row.value("temperature").toDouble(), 156.6);
        QCOMPARE(row.value("rate").toDouble(), expected);
    }
    QVERIFY(dialogs.boxes.isEmpty());
}

// Start-up reads config.json, then asks about its K once the window stands.
// The file is only read: its content stays as it was.
void TestEnthalpyDialogsInWindow::unusableStoredKWarnsAtStartUp_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("warns");
    QTest::newRow("1.137") << QByteArray(R"({"InstrumentCoefficient": 1.137})") << false;
    QTest::newRow("member missing") << QByteArray(R"({"Other": 1.137})") << true;
    QTest::newRow("not a number") << QByteArray(R"({"InstrumentCoefficient": "1.137"})") << true;
    QTest::newRow("zero") << QByteArray(R"({"InstrumentCoefficient": 0})") << true;
    QTest::newRow("negative") << QByteArray(R"({"InstrumentCoefficient": -2})") << true;
    QTest::newRow("beyond the double range") << QByteArray(R"({"InstrumentCoefficient": 1e400})") << true;
    QTest::newRow("not JSON") << QByteArray("InstrumentCoefficient = 1.137") << true;
}

void TestEnthalpyDialogsInWindow::unusableStoredKWarnsAtStartUp()
{
    QFETCH(QByteArray, config);
    QFETCH(bool, warns);
    writeConfig(config);
    Global::_configMap.clear();
    ConfigHandler::reader();
    DialogAnswers dialogs;
    MainWindow window;
    window.show();
    InstrumentCoefficientForm::warnIfStoredCoefficientUnusable(&window);

    QCOMPARE(dialogs.boxTitles(), warns ? QStringList{"warnning"} : QStringList());
    if (warns) {
        QVERIFY(dialogs.boxes.at(0).text.contains("config.json"));
        QVERIFY(dialogs.boxes.at(0).text.contains("\"仪器系数\""));
    }
    QCOMPARE(readConfig(), config);
}

// config.json holds K = 1.5 and cannot be replaced: a folder stands in its
// place, or the disk takes one byte only. Neither dialog may report the new K
// as saved; the old file and the old K stay, and the dialog stays open.
void TestEnthalpyDialogsInWindow::unwritableConfigKeepsTheOldK_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("failure");
    for (const char* dialog : {"仪器系数", "单点系数"}) {
        for (const char* failure : {"folder in its place", "disk full after one byte"}) {
            QTest::addRow("%s, %s", dialog, failure) << dialog << failure;
        }
    }
}

void TestEnthalpyDialogsInWindow::unwritableConfigKeepsTheOldK()
{
    QFETCH(QString, dialog);
    QFETCH(QString, failure);
    const bool folder = failure == "folder in its place";
    const QByteArray oldConfig = R"({"InstrumentCoefficient": 1.5})";
    if (folder)
        QVERIFY(QDir().mkpath(Global::ConfigFilePath));
    else
        writeConfig(oldConfig);
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 1.5);
    DialogAnswers dialogs;
    MainWindow window;
    window.show();
    QWidget* form = dialog == "仪器系数"
                        ? static_cast<QWidget*>(openDialog<InstrumentCoefficientForm>(window, "actionInstrumentParameter"))
                        : openDialog<CoefficientSelectionForm>(window, "actionEnthalpyCorrectionSelection");
    type(form, "LineEditTheory", "28.42");
    type(form, "LineEditActualMeasurement", "25");
    {
        std::unique_ptr<FileSizeLimit> fullDisk(folder ? nullptr : new FileSizeLimit(1));
        click(form, "pushButtonCalculate");
        if (dialog == "单点系数")
            click(form, "pushButtonConfirm");
    }

    QCOMPARE(dialogs.boxTitles(), QStringList{"warnning"});
    QVERIFY(form->isVisible());
    QCOMPARE(Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble(), 1.5);
    if (folder)
        QVERIFY(QFileInfo(Global::ConfigFilePath).isDir());
    else
        QCOMPARE(readConfig(), oldConfig);
    if (dialog == "仪器系数")
        QCOMPARE(form->findChild<QLineEdit*>("LineEditCoefficient")->text(), QString("1.500"));
}

QTEST_MAIN(TestEnthalpyDialogsInWindow)
#include "tst_enthalpydialogsinwindow.moc"
