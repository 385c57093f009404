#include "coefficientselectionform.h"
#include "enthalpydatacorrectionform.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QtTest>

// The main window builds both dialogs once, as fixed-size application-modal
// dialogs of their designed size, and its tools menu opens them.
class TestEnthalpyDialogsInWindow : public QObject
{
    Q_OBJECT

private slots:
    void actionsOpenFixedModalDialogs_data();
    void actionsOpenFixedModalDialogs();
};

void TestEnthalpyDialogsInWindow::actionsOpenFixedModalDialogs_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("dialogClass");
    QTest::addColumn<QSize>("designedSize");
    QTest::newRow("热焓校正系数编辑") << "actionEnthalpyCorrectionEdit" << "EnthalpyDataCorrectionForm"
                                  << QSize(514, 626);
    QTest::newRow("热焓校正系数选择") << "actionEnthalpyCorrectionSelection" << "CoefficientSelectionForm"
                                  << QSize(543, 351);
}

void TestEnthalpyDialogsInWindow::actionsOpenFixedModalDialogs()
{
    QFETCH(QString, action);
    QFETCH(QString, dialogClass);
    QFETCH(QSize, designedSize);
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
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QCOMPARE(dialog->windowType(), Qt::Dialog);
    QCOMPARE(dialog->minimumSize(), designedSize);
    QCOMPARE(dialog->maximumSize(), designedSize);

    window.findChild<QAction*>(action)->trigger();
    QVERIFY(dialog->isVisible());
}

QTEST_MAIN(TestEnthalpyDialogsInWindow)
#include "tst_enthalpydialogsinwindow.moc"
