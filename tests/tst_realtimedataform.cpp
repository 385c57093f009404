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
};

void TestRealTimeDataForm::showsRecord_data()
{
    QTest::addColumn<QVector<int>>("codes"); // fault, status, stage, atmosphere
    QTest::addColumn<QVector<double>>("values"); // temperature, DSC signal
    QTest::addColumn<QStringList>("expected"); // fault, status, stage, temp, dsc, atmosphere
    QTest::newRow("normal heating N2") << QVector<int>{0, 1, 1, 1} << QVector<double>{25.0, 1.5}
                                       << QStringList{"正常", "加热运行", "1", "25.000", "1.500", "N2"};
    QTest::newRow("codes beyond tables") << QVector<int>{7, 9, 0, 5} << QVector<double>{0.0, -0.25}
                                         << QStringList{"未知故障(7)", "空闲状态", "0", "0.000", "-0.250", "NC"};
    QTest::newRow("first unknown fault") << QVector<int>{6, 0, 1, 1} << QVector<double>{25.0, 0.0}
                                         << QStringList{"未知故障(6)", "空闲状态", "1", "25.000", "0.000", "N2"};
    QTest::newRow("heating module fault, cooling, O2")
        << QVector<int>{5, 3, 12, 2} << QVector<double>{156.6004, -12.3456}
        << QStringList{"加热模块错误", "冷却中", "12", "156.600", "-12.346", "O2"};
    QTest::newRow("DSC fault, self-tuning, NC") << QVector<int>{4, 4, 255, 0} << QVector<double>{-40.0, 0.0}
                                                << QStringList{"DSC错误", "升温速率自整定", "255", "-40.000", "0.000", "NC"};
}

// Filled while hidden: the last record is what shows.
void TestRealTimeDataForm::showsRecord()
{
    QFETCH(QVector<int>, codes);
    QFETCH(QVector<double>, values);
    QFETCH(QStringList, expected);
    RealTimeDataForm form;
    CommonData data;
    form.recvCommonData(data);
    data.errorCode = quint8(codes.at(0));
    data.runStatus = quint8(codes.at(1));
    data.stage = quint8(codes.at(2));
    data.atmosphere = quint8(codes.at(3));
    data.runTime = 12.5f;
    data.constantTempTime = 0.125f;
    data.sampleTemp = values.at(0);
    data.dsc = values.at(1);
    form.recvCommonData(data);
    form.show();
    const QStringList fields{"abnormalLineEdit", "runStatusLineEdit", "currentStageLineEdit", "tempLineEdit",
                             "dSCMwLineEdit", "currentAtmosphereLineEdit", "addruntimeLineEdit",
                             "constantTempTimeLineEdit", "weightLineEdit", "oxyTimeLineEdit", "scanRateLineEdit"};
    const QStringList want = expected + QStringList{"12.500", "0.125", "--", "--", "--"};
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(form.findChild<QLineEdit*>(fields.at(i))->text(), want.at(i));
}

QTEST_MAIN(TestRealTimeDataForm)
#include "tst_realtimedataform.moc"
