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
    static QString field(RealTimeDataForm& form, const QString& name)
    {
        return form.findChild<QLineEdit*>(name)->text();
    }
};

void TestRealTimeDataForm::showsRecord_data()
{
    QTest::addColumn<QVector<int>>("codes"); // fault, status, stage, atmosphere
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("dsc");
    QTest::addColumn<QStringList>("expected"); // fault, status, stage, temp, dsc, atmosphere

    QTest::newRow("normal heating N2") << QVector<int>{0, 1, 1, 1} << 25.0 << 1.5
                                       << QStringList{"正常", "加热运行", "1", "25.000", "1.500", "N2"};
    QTest::newRow("codes beyond tables") << QVector<int>{7, 9, 0, 5} << 0.0 << -0.25
                                         << QStringList{"正常", "空闲状态", "0", "0.000", "-0.250", "NC"};
    QTest::newRow("heating module fault, cooling, O2")
        << QVector<int>{5, 3, 12, 2} << 156.6004 << -12.3456
        << QStringList{"加热模块错误", "冷却中", "12", "156.600", "-12.346", "O2"};
    QTest::newRow("DSC fault, self-tuning, NC") << QVector<int>{4, 4, 255, 0} << -40.0 << 0.0
                                                << QStringList{"DSC错误", "升温速率自整定", "255", "-40.000", "0.000", "NC"};
}

void TestRealTimeDataForm::showsRecord()
{
    QFETCH(QVector<int>, codes);
    QFETCH(double, temperature);
    QFETCH(double, dsc);
    QFETCH(QStringList, expected);

    RealTimeDataForm form;
    CommonData data;
    data.errorCode = static_cast<quint8>(codes.at(0));
    data.runStatus = static_cast<quint8>(codes.at(1));
    data.stage = static_cast<quint8>(codes.at(2));
    data.atmosphere = static_cast<quint8>(codes.at(3));
    data.runTime = 12.5f;
    data.constantTempTime = 0.125f;
    data.sampleTemp = temperature;
    data.dsc = dsc;
    form.recvCommonData(data);

    const QStringList fields{"abnormalLineEdit", "runStatusLineEdit", "currentStageLineEdit", "tempLineEdit",
                             "dSCMwLineEdit", "currentAtmosphereLineEdit", "addruntimeLineEdit",
                             "constantTempTimeLineEdit", "weightLineEdit", "oxyTimeLineEdit", "scanRateLineEdit"};
    const QStringList want = expected + QStringList{"12.500", "0.125", "--", "--", "--"};
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(field(form, fields.at(i)), want.at(i));
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
}

QTEST_MAIN(TestRealTimeDataForm)
#include "tst_realtimedataform.moc"
