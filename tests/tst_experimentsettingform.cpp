#include "experimentsettingform.h"
#include "serialport.h"
#include "windowtesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray withCrc(const QByteArray& frame)
{
    const quint16 crc = SerialPort::crc16(reinterpret_cast<const quint8*>(frame.constData()) + 3,
                                          quint16(frame.size() - 3));
    return frame + char(crc & 0xFF) + char(crc >> 8);
}

// The instrument's stage-table reply: six stages and two option bytes, or the
// first tableSize bytes of them.
QByteArray tableReply(QVector<PhaseInfoData> phases, const QByteArray& options, int tableSize = 74)
{
    phases.resize(6);
    const QByteArray table = SerialPort::buildPhaseWriteFrame(phases, options).mid(6, tableSize);
    return withCrc(QByteArray::fromHex("A55A") + char(table.size() + 5) + QByteArray::fromHex("835000") + table);
}

} // namespace

class TestExperimentSettingForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void stageSwitches_data();
    void stageSwitches();
    void checks_data();
    void checks();
    void deliveryFrame();
    void replyFillsRows();
    void shortReplyKeepsOptions();

private:
    template<class T> T* child(const QString& name) { return _form->findChild<T*>(name); }
    QCheckBox* box(int n) { return child<QCheckBox>(QString("checkBox_phase_%1").arg(n)); }
    QLineEdit* edit(int n, const char* what) { return child<QLineEdit>(QString("phase_%1_%2").arg(n).arg(what)); }
    QComboBox* atmosphere(int n) { return child<QComboBox>(QString("comboBox_phase_%1_atmosphere").arg(n)); }
    QComboBox* initialAtmosphere() { return child<QComboBox>("comboBox_initial_atmosphere"); }
    void setStage(int n, const QString& cutoff, const QString& rate, const QString& hold)
    {
        edit(n, "cutoff_temp")->setText(cutoff);
        edit(n, "scan_rate")->setText(rate);
        edit(n, "constant_temp")->setText(hold);
    }
    // The one frame "下发数据" sends, empty when refused.
    QByteArray deliver()
    {
        QSignalSpy delivered(_form.get(), &ExperimentSettingForm::sigDeliverData);
        _form->on_pushButton_deliverData_clicked();
        return delivered.size() == 1 ? delivered.first().first().toByteArray() : QByteArray();
    }

    std::unique_ptr<ExperimentSettingForm> _form;
};

void TestExperimentSettingForm::init()
{
    Global::_experimentInfo = Global::ExperimentInfo();
    _form = std::make_unique<ExperimentSettingForm>();
}

void TestExperimentSettingForm::stageSwitches_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QString>("checked"); // stages 2..6; their fields are enabled alike
    QTest::newRow("stage 3 before 2 refused") << QList<int>{3} << "00000";
    QTest::newRow("2 3 4 in order") << QList<int>{2, 3, 4} << "11100";
    QTest::newRow("uncheck 3 while 4 checked refused") << QList<int>{2, 3, 4, 3} << "11100";
    QTest::newRow("all six then last off") << QList<int>{2, 3, 4, 5, 6, 6} << "11110";
}

void TestExperimentSettingForm::stageSwitches()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QString, checked);
    for (int n : clicks)
        box(n)->click();
    QVERIFY(box(1)->isChecked() && !box(1)->isEnabled());
    for (int n = 1; n <= 6; ++n) {
        const bool on = n == 1 || checked.at(n - 2) == '1';
        QCOMPARE(box(n)->isChecked(), on);
        for (const char* what : {"cutoff_temp", "scan_rate", "constant_temp"})
            QCOMPARE(edit(n, what)->isEnabled(), on);
        QCOMPARE(atmosphere(n)->isEnabled(), on);
    }
}

void TestExperimentSettingForm::checks_data()
{
    QTest::addColumn<int>("stages");
    QTest::addColumn<QStringList>("values"); // cutoff, rate, hold per stage
    QTest::addColumn<QString>("refusal"); // empty: the frame goes out
    QTest::addColumn<QString>("text");
    const QString lower = "阶段%1截止温度不能小于上一阶段截止温度!  ";
    const QString rate = "阶段%1扫描速率必须大于0!  ";
    QTest::newRow("fresh dialog, rate 0") << 0 << QStringList{} << "阶段1扫描速率错误" << rate.arg(1);
    QTest::newRow("cut-offs 100 200 150") << 3 << QStringList{"100", "10", "0", "200", "10", "0", "150", "10", "0"}
                                          << "阶段3截止温度错误" << lower.arg(3);
    QTest::newRow("cut-offs 100 200 200 equal allowed")
        << 3 << QStringList{"100", "10", "0", "200", "10", "0", "200", "10", "0"} << "" << "";
    QTest::newRow("stage 2 off is not checked") << 1 << QStringList{"100", "10", "5"} << "" << "";
    QTest::newRow("hold time 65536") << 1 << QStringList{"100", "10", "65536"} << "阶段1恒温时间错误" << "";
    QTest::newRow("hold time 65535") << 1 << QStringList{"100", "10", "65535"} << "" << "";
    QTest::newRow("hold time 3.7 would go out as 0") << 1 << QStringList{"100", "10", "3.7"} << "阶段1恒温时间错误" << "";
    QTest::newRow("hold time -1") << 2 << QStringList{"100", "10", "0", "150", "10", "-1"} << "阶段2恒温时间错误" << "";
    QTest::newRow("cut-off infinite") << 1 << QStringList{"inf", "10", "0"} << "阶段1截止温度错误" << "";
    QTest::newRow("rate nan") << 2 << QStringList{"100", "10", "0", "150", "nan", "0"} << "阶段2扫描速率错误" << "";
}

void TestExperimentSettingForm::checks()
{
    QFETCH(int, stages);
    QFETCH(QStringList, values);
    QFETCH(QString, refusal);
    QFETCH(QString, text);
    if (stages == 1)
        setStage(2, "0", "0", "0"); // values of a disabled stage go unchecked
    for (int n = 2; n <= stages; ++n)
        box(n)->click();
    for (int n = 1; n <= stages; ++n)
        setStage(n, values.at(3 * n - 3), values.at(3 * n - 2), values.at(3 * n - 1));
    DialogAnswers dialogs;
    QCOMPARE(deliver().isEmpty(), !refusal.isEmpty());
    if (refusal.isEmpty())
        return;
    QCOMPARE(dialogs.boxTitles(), QStringList{refusal});
    QCOMPARE(dialogs.boxes.first().kind, QString("question"));
    if (!text.isEmpty())
        QCOMPARE(dialogs.boxes.first().text, text);
}

// No port is wired here, so the delivery also meets a closed port.
void TestExperimentSettingForm::deliveryFrame()
{
    _form->show();
    box(2)->click();
    setStage(1, "150", "10", "3");
    setStage(2, "200.5", "5", "0");
    atmosphere(1)->setCurrentIndex(2); // O2
    atmosphere(2)->setCurrentIndex(1); // N2
    child<QRadioButton>("radioButton_OIT")->setChecked(true);
    initialAtmosphere()->setCurrentIndex(2);
    DialogAnswers dialogs;
    const QByteArray frame = deliver();
    // 150.0f = 0x43160000, 10.0f = 0x41200000, 200.5f = 0x43488000, 5.0f = 0x40A00000; OIT 0, initial O2.
    const QByteArray expected = QByteArray::fromHex("A55A4F825000" "010000164300002041030002" "010080484300 00A040000001")
        + QByteArray(48, '\0') + QByteArray::fromHex("0002");
    QCOMPARE(frame.toHex(' '), withCrc(expected).toHex(' '));
    QCOMPARE(dialogs.boxes.value(0).text, QString("Serial Port open failed."));
    QVERIFY(_form->isVisible() && edit(2, "cutoff_temp")->text() == "200.5");
}

// An initial atmosphere code the box does not have shows as NC rather than
// leaving the box without a selection, which would go back out as 0xFF.
void TestExperimentSettingForm::replyFillsRows()
{
    for (int n : {2, 3, 4})
        box(n)->click();
    setStage(4, "999", "9", "9");
    initialAtmosphere()->setCurrentIndex(2);
    _form->slotRecvPhaseInfo(tableReply({{1, 150.0f, 10.0f, 2, 1}, {1, 200.0f, 5.5f, 0, 5}, {1, 250.0f, 20.0f, 65535, 2},
                                         {0, 300.0f, 1.0f, 0, 1}, {1, 400.0f, 1.0f, 0, 1}},
                                        QByteArray::fromHex("0005")));
    const auto& phases = Global::_experimentInfo.phases;
    QCOMPARE(phases.size(), 6);
    QVERIFY(phases.at(1).atmosphere == 0 && phases.at(2).constantTempTime == 65535 && phases.at(4).enabled == 1);
    QVERIFY(edit(1, "cutoff_temp")->text() == "150.000" && edit(2, "scan_rate")->text() == "5.500"
            && edit(3, "constant_temp")->text() == "65535" && edit(4, "cutoff_temp")->text() == "0");
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(edit(n, "scan_rate")->isEnabled(), n <= 3);
        QCOMPARE(atmosphere(n)->isEnabled(), n <= 3);
    }
    QCOMPARE(atmosphere(2)->currentIndex(), 0);
    QVERIFY(box(4)->isChecked() && !box(5)->isChecked()); // check boxes keep their state
    QVERIFY(child<QRadioButton>("radioButton_OIT")->isChecked());
    QCOMPARE(initialAtmosphere()->currentIndex(), 0);
}

void TestExperimentSettingForm::shortReplyKeepsOptions()
{
    initialAtmosphere()->setCurrentIndex(2);
    _form->slotRecvPhaseInfo(tableReply({{1, 120.0f, 10.0f, 0, 1}, {1, 130.0f, 10.0f, 0, 1}}, {}, 24));
    QCOMPARE(Global::_experimentInfo.phases.size(), 2);
    QCOMPARE(edit(2, "cutoff_temp")->text(), QString("130.000"));
    QCOMPARE(initialAtmosphere()->currentIndex(), 2);
    QVERIFY(child<QRadioButton>("radioButton_OIT_not")->isChecked());
}

QTEST_MAIN(TestExperimentSettingForm)
#include "tst_experimentsettingform.moc"
