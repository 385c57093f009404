#include "axissettingform.h"
#include "centralwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The axis dialog as the main window wires it: filled from the plot, applied back to it.
class TestAxisSettingForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shownFromPlot_data();
    void shownFromPlot();
    void applied_data();
    void applied();
    void tinyRangeAppliedUnchanged();

private:
    QLineEdit* edit(const char* name) const { return _form->findChild<QLineEdit*>(QLatin1String(name)); }
    QCustomPlot* plot() const { return _window->findChild<CentralWidget*>()->plot(); }
    void open() { _window->findChild<QAction*>(QStringLiteral("actionAxisSetting"))->trigger(); }
    void type(const QStringList& texts);
    void apply() { QTest::mouseClick(_form->findChild<QPushButton*>(QStringLiteral("pushButtonConfirm")), Qt::LeftButton); }
    QStringList editTexts() const;

    std::unique_ptr<MainWindow> _window;
    std::unique_ptr<DialogAnswers> _dialogs;
    AxisSettingForm* _form = nullptr;
};

const char* const EditNames[] = {"lineEditXMin",     "lineEditXMax",      "lineEditYLeftMin",
                                 "lineEditYLeftMax", "lineEditYRightMin", "lineEditYRightMax"};

void TestAxisSettingForm::init()
{
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _form = _window->findChild<AxisSettingForm*>();
    QVERIFY(_form);
}

void TestAxisSettingForm::cleanup()
{
    _window.reset();
    _dialogs.reset();
}

void TestAxisSettingForm::type(const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        edit(EditNames[i])->setText(texts.at(i));
    }
}

QStringList TestAxisSettingForm::editTexts() const
{
    QStringList texts;
    for (const char* name : EditNames) {
        texts << edit(name)->text();
    }
    return texts;
}

void TestAxisSettingForm::shownFromPlot_data()
{
    QTest::addColumn<QVector<double>>("ranges"); // x, left y, right y
    QTest::addColumn<bool>("rightVisible");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("right axis hidden: empty, disabled")
        << QVector<double>{0, 100, 0, 20, 0, 1} << false
        << QStringList{"0.000", "100.000", "0.000", "20.000", "", ""};
    QTest::newRow("three decimals, rounded")
        << QVector<double>{-12.3456, 250.5, -0.0004, 7.1236, 1, 2} << true
        << QStringList{"-12.346", "250.500", "-0.000", "7.124", "1.000", "2.000"};
    QTest::newRow("tiny range shows as zero")
        << QVector<double>{0.0001, 0.0004, 0, 20, -3, 3} << true
        << QStringList{"0.000", "0.000", "0.000", "20.000", "-3.000", "3.000"};
}

void TestAxisSettingForm::shownFromPlot()
{
    QFETCH(QVector<double>, ranges);
    QFETCH(bool, rightVisible);
    QFETCH(QStringList, shown);
    plot()->xAxis->setRange(ranges[0], ranges[1]);
    plot()->yAxis->setRange(ranges[2], ranges[3]);
    plot()->yAxis2->setRange(ranges[4], ranges[5]);
    plot()->yAxis2->setVisible(rightVisible);

    open();
    QCOMPARE(editTexts(), shown);
    QCOMPARE(edit("lineEditYRightMin")->isEnabled(), rightVisible);
    // Cancelled: nothing applied, and reopening shows the plot, not the typed text.
    edit("lineEditXMin")->setText("17");
    QTest::mouseClick(_form->findChild<QPushButton*>(QStringLiteral("pushButtonCancel")), Qt::LeftButton);
    QCOMPARE(plot()->xAxis->range(), QCPRange(ranges[0], ranges[1]));
    open();
    QCOMPARE(editTexts(), shown);
}

// Every axis starts at x 1..2, left y 3..4, right y 5..6. A refused entry
// reaches nothing and the warning names its axis; the typed text stays.
void TestAxisSettingForm::applied_data()
{
    QTest::addColumn<bool>("rightVisible");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("refusedAxis"); // null: accepted
    QTest::addColumn<QVector<double>>("sent");
    QTest::addColumn<QVector<double>>("plotted"); // x, left y, right y
    const QVector<double> unchanged{1, 2, 3, 4, 5, 6};

    QTest::newRow("right hidden keeps its range")
        << false << QStringList{"10", "200.5", "-5", "5", "", ""} << QString()
        << QVector<double>{10, 200.5, -5, 5, 0, 0} << QVector<double>{10, 200.5, -5, 5, 5, 6};
    QTest::newRow("right visible, blanks around numbers")
        << true << QStringList{" -40 ", "600", "-0.25", "0.75", "1e1", "30"} << QString()
        << QVector<double>{-40, 600, -0.25, 0.75, 10, 30} << QVector<double>{-40, 600, -0.25, 0.75, 10, 30};
    QTest::newRow("letters") << false << QStringList{"abc", "100", "0", "20", "", ""} << "X" << QVector<double>{}
                             << unchanged;
    QTest::newRow("empty") << false << QStringList{"0", "100", "0", "", "", ""} << "Y 左侧" << QVector<double>{}
                           << unchanged;
    QTest::newRow("comma as decimal point") << false << QStringList{"0", "100,5", "0", "20", "", ""} << "X"
                                            << QVector<double>{} << unchanged;
    QTest::newRow("lower above upper") << false << QStringList{"0", "100", "30", "20", "", ""} << "Y 左侧"
                                       << QVector<double>{} << unchanged;
    QTest::newRow("infinite") << false << QStringList{"-inf", "100", "0", "20", "", ""} << "X" << QVector<double>{}
                              << unchanged;
    QTest::newRow("visible right pair") << true << QStringList{"0", "100", "0", "20", "9", "x"} << "Y 右侧"
                                        << QVector<double>{} << unchanged;
}

void TestAxisSettingForm::applied()
{
    QFETCH(bool, rightVisible);
    QFETCH(QStringList, typed);
    QFETCH(QString, refusedAxis);
    QFETCH(QVector<double>, sent);
    QFETCH(QVector<double>, plotted);
    plot()->xAxis->setRange(1, 2);
    plot()->yAxis->setRange(3, 4);
    plot()->yAxis2->setRange(5, 6);
    plot()->yAxis2->setVisible(rightVisible);
    open();
    type(typed);
    QSignalSpy spy(_form, &AxisSettingForm::sigSetAxisSettings);

    apply();

    if (refusedAxis.isNull()) {
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QVector<double>>(), sent);
        QVERIFY(_dialogs->boxes.isEmpty());
    } else {
        QCOMPARE(spy.count(), 0);
        QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
        QVERIFY(_dialogs->boxes.first().text.contains(refusedAxis));
        QCOMPARE(editTexts(), typed);
    }
    QCOMPARE(plot()->xAxis->range(), QCPRange(plotted[0], plotted[1]));
    QCOMPARE(plot()->yAxis->range(), QCPRange(plotted[2], plotted[3]));
    QCOMPARE(plot()->yAxis2->range(), QCPRange(plotted[4], plotted[5]));
}

// 0.0001 to 0.0004 reads back as 0.000 twice; applied unedited it sends 0, 0
// without a complaint, x keeps its range and the edited left y still applies.
void TestAxisSettingForm::tinyRangeAppliedUnchanged()
{
    plot()->xAxis->setRange(0.0001, 0.0004);
    plot()->yAxis2->setVisible(false);
    open();
    edit("lineEditYLeftMax")->setText("50");
    QSignalSpy spy(_form, &AxisSettingForm::sigSetAxisSettings);

    apply();

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QVector<double>>(), (QVector<double>{0, 0, 0, 50, 0, 0}));
    QVERIFY(_dialogs->boxes.isEmpty());
    QCOMPARE(plot()->xAxis->range(), QCPRange(0.0001, 0.0004));
    QCOMPARE(plot()->yAxis->range().upper, 50.0);
}

QTEST_MAIN(TestAxisSettingForm)
#include "tst_axissettingform.moc"
