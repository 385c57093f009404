#include "commondata.h"
#include "realtimedataform.h"

#include <QLineEdit>
#include <QtTest>

class TestRealTimeDataForm : public QObject
{
    Q_OBJECT

private slots:
    void showsRecord_data();
    void showsRecord();
    void keepsLastRecordWhileHidden();

private:
    static QString field(RealTimeDataForm& form, const char* name)
    {
        return form.findChild<QLineEdit*>(QLatin1String(name))->text();
    }
};

void TestRealTimeDataForm::showsRecord_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("stage");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("dsc");
    QTest::addColumn<int>("atmosphere");
    QTest::addColumn<QStringList>("expected"); // fault, status, stage, temp, dsc, atmosphere

    QTest::newRow("normal heating N2") << 0 << 1 << 1 << 25.0 << 1.5 << 1
                                       << QStringList{"正常", "加热运行", "1", "25.000", "1.500", "N2"};
    QTest::newRow("codes beyond tables") << 7 << 9 << 0 << 0.0 << -0.25 << 5
                                         << QStringList{"正常", "空闲状态", "0", "0.000", "-0.250", "NC"};
    QTest::newRow("heating module fault, cooling, O2")
        << 5 << 3 << 12 << 156.6004 << -12.3456 << 2
        << QStringList{"加热模块错误", "冷却中", "12", "156.600", "-12.346", "O2"};
    QTest::newRow("DSC fault, self-tuning, NC") << 4 << 4 << 255 << -40.0 << 0.0 << 0
                                                << QStringList{"DSC错误", "升温速率自整定", "255", "-40.000", "0.000", "NC"};
}

void TestRealTimeDataForm::showsRecord()
{
    QFETCH(int, fault);
    QFETCH(int, status);
    QFETCH(int, stage);
    QFETCH(double, temperature);
    QFETCH(double, dsc);
    QFETCH(int, atmosphere);
    QFETCH(QStringList, expected);

    RealTimeDataForm form;
    CommonData data;
    data.errorCode = static_cast<quint8>(fault);
    data.runStatus = static_cast<quint8>(status);
    data.stage = static_cast<quint8>(stage);
    data.runTime = 12.5f;
    data.constantTempTime = 0.125f;
    data.sampleTemp = temperature;
    data.dsc = dsc;
    data.atmosphere = static_cast<quint8>(atmosphere);
    form.recvCommonData(data);

    QCOMPARE(field(form, "abnormalLineEdit"), expected.at(0));
    QCOMPARE(field(form, "runStatusLineEdit"), expected.at(1));
    QCOMPARE(field(form, "currentStageLineEdit"), expected.at(2));
    QCOMPARE(field(form, "tempLineEdit"), expected.at(3));
    QCOMPARE(field(form, "dSCMwLineEdit"), expected.at(4));
    QCOMPARE(field(form, "currentAtmosphereLineEdit"), expected.at(5));
    QCOMPARE(field(form, "addruntimeLineEdit"), QString("12.500"));
    QCOMPARE(field(form, "constantTempTimeLineEdit"), QString("0.125"));
    QCOMPARE(field(form, "weightLineEdit"), QString("--"));
    QCOMPARE(field(form, "oxyTimeLineEdit"), QString("--"));
    QCOMPARE(field(form, "scanRateLineEdit"), QString("--"));
}

void TestRealTimeDataForm::keepsLastRecordWhileHidden()
{
    RealTimeDataForm form;
    QVERIFY(field(form, "tempLineEdit").isEmpty());
    CommonData data;
    data.sampleTemp = 100.0;
    form.recvCommonData(data);
    data.sampleTemp = 101.0;
    form.recvCommonData(data);
    form.show();
    QCOMPARE(field(form, "tempLineEdit"), QString("101.000"));
    QCOMPARE(form.windowTitle(), QString("Form"));
    QCOMPARE(form.size(), QSize(307, 380));
}

QTEST_MAIN(TestRealTimeDataForm)
#include "tst_realtimedataform.moc"
