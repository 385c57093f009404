#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QtTest>

// The main window builds each dialog once, hidden, and its menus open them.
class TestEnthalpyDialogsInWindow : public QObject
{
    Q_OBJECT

private slots:
    void actionsOpenDialogs_data();
    void actionsOpenDialogs();
};

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

QTEST_MAIN(TestEnthalpyDialogsInWindow)
#include "tst_enthalpydialogsinwindow.moc"
