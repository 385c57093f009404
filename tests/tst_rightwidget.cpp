#include "analysissettingform.h"
#include "rightwidget.h"

#include <QtTest>

class TestRightWidget : public QObject
{
    Q_OBJECT

private slots:
    void holdsAnalysisSettingForm();
};

// The dock shows the one panel it owns.
void TestRightWidget::holdsAnalysisSettingForm()
{
    RightWidget dock;
    auto* form = qobject_cast<AnalysisSettingForm*>(dock.widget());
    QVERIFY(form);
    QCOMPARE(dock.findChildren<AnalysisSettingForm*>(), QList<AnalysisSettingForm*>{form});
    dock.show();
    QVERIFY(form->isVisible());
}

QTEST_MAIN(TestRightWidget)
#include "tst_rightwidget.moc"
