#include "aboutform.h"
#include "mainwindow.h"
#include "printereditform.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The About box and the printer edit form, which nothing else opens.
class TestAboutForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aboutShowsVersionLogoAndBuildTime();
    void aboutActionShowsModalBox();
    void printerEditFormBuilds_data();
    void printerEditFormBuilds();
    void printerEditFormCombos();
};

// The program sets its version at start-up from the build's product version.
void TestAboutForm::initTestCase()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
}

void TestAboutForm::aboutShowsVersionLogoAndBuildTime()
{
    AboutForm about;
    auto* content = about.findChild<QLabel*>(QStringLiteral("labelContent"));
    auto* logo = about.findChild<QLabel*>(QStringLiteral("labelLogo"));
    auto* close = about.findChild<QPushButton*>(QStringLiteral("pushButtonClose"));

    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QVERIFY(content->text().startsWith(QStringLiteral("<p>软件版本：1.0.4.0</p>")));
    QVERIFY(content->openExternalLinks());
    QCOMPARE(content->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(about.findChild<QLabel*>(QStringLiteral("labelTitle"))->text().contains(QStringLiteral("关于Quarnel")));
    const QPixmap picture = logo->pixmap(Qt::ReturnByValue);
    QVERIFY(!picture.isNull());
    QCOMPARE(logo->size(), picture.size());
    QCOMPARE(logo->pos(), QPoint(20, 80));
    // The build date and time ("Jun 11 2025 14:22:36") only as the tool tip.
    const QRegularExpression buildTime(QStringLiteral("^[A-Z][a-z]{2} [ \\d]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY2(buildTime.match(close->toolTip()).hasMatch(), qPrintable(close->toolTip()));
    QVERIFY(!content->text().contains(close->toolTip().left(6)));
    QCOMPARE(about.size(), QSize(498, 290));
}

void TestAboutForm::aboutActionShowsModalBox()
{
    MainWindow window;
    auto* about = window.findChild<AboutForm*>();
    QVERIFY(about);

    window.findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();

    QVERIFY(about->isVisible());
    QCOMPARE(about->windowModality(), Qt::ApplicationModal);
    QCOMPARE(about->minimumSize(), QSize(498, 290));
    QCOMPARE(about->maximumSize(), QSize(498, 290));
    QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("pushButtonClose")), Qt::LeftButton);
    QVERIFY(!about->isVisible());
}

void TestAboutForm::printerEditFormBuilds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("sample name label") << "Label" << "样品名称：";
    QTest::newRow("Y label") << "Label_6" << "Y:";
    QTest::newRow("stage column") << "label_2" << "阶段";
    QTest::newRow("initial atmosphere") << "label_7" << "初始气氛:";
    QTest::newRow("sixth stage") << "checkBox_phase_6" << "6";
    QTest::newRow("not OIT") << "radioButton_OIT_not" << "非OIT";
    QTest::newRow("confirm") << "pushButtonConfirm" << "确定";
}

void TestAboutForm::printerEditFormBuilds()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    PrinterEditForm form;
    QCOMPARE(form.size(), QSize(790, 366));
    QCOMPARE(form.windowTitle(), QStringLiteral("Form"));
    auto* widget = form.findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->property("text").toString(), text);
}

void TestAboutForm::printerEditFormCombos()
{
    PrinterEditForm form;
    const QList<QComboBox*> combos = form.findChildren<QComboBox*>();
    QCOMPARE(combos.size(), 7);
    for (QComboBox* combo : combos) {
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0) + combo->itemText(1) + combo->itemText(2), QStringLiteral("NCN2O2"));
    }
    QCOMPARE(form.findChildren<QLineEdit*>().size(), 4 + 2 + 18);
    for (QGroupBox* group : form.findChildren<QGroupBox*>()) {
        QCOMPARE(group->title(), QStringLiteral("GroupBox"));
    }
    QVERIFY(form.findChild<QLineEdit*>(QStringLiteral("phase_6_constant_temp")));
}

QTEST_MAIN(TestAboutForm)
#include "tst_aboutform.moc"
