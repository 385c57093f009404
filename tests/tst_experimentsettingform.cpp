#include "experimentsettingform.h"
#include "global.h"
#include "windowtesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

namespace {

// CRC-16/MODBUS reference (check value of "123456789" is 0x4B37).
quint16 referenceCrc(const QByteArray& bytes)
{
    quint16 crc = 0xFFFF;
    for (char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = referenceCrc(frame.mid(3));
    return frame.append(static_cast<char>(crc & 0xFF)).append(static_cast<char>(crc >> 8));
}

QByteArray wireStage(quint8 enabled, float cutoff = 0, float rate = 0, quint16 hold = 0, quint8 atmosphere = 0)
{
    QByteArray stage(12, '\0');
    stage[0] = static_cast<char>(enabled);
    qToLittleEndian(cutoff, stage.data() + 1);
    qToLittleEndian(rate, stage.data() + 5);
    qToLittleEndian(hold, stage.data() + 9);
    stage[11] = static_cast<char>(atmosphere);
    return stage;
}

QByteArray tableReply(const QByteArray& table)
{
    QByteArray frame("\xA5\x5A", 2);
    frame.append(static_cast<char>(table.size() + 5));
    frame.append('\x83').append('\x50').append('\0').append(table);
    return withCrc(frame);
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
    void deliveryWithPortClosedKeepsDialog();
    void replyFillsRows();
    void shortReplyKeepsOptions();
    void unknownInitialAtmosphereShowsNC();
    void showRefreshesDate();

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
    // The frames "下发数据" sends (none when refused).
    QList<QByteArray> deliver();

    std::unique_ptr<ExperimentSettingForm> _form;
};

void TestExperimentSettingForm::init()
{
    Global::_experimentInfo = Global::ExperimentInfo();
    _form = std::make_unique<ExperimentSettingForm>();
}

QList<QByteArray> TestExperimentSettingForm::deliver()
{
    QSignalSpy delivered(_form.get(), &ExperimentSettingForm::sigDeliverData);
    _form->on_pushButton_deliverData_clicked();
    QList<QByteArray> frames;
    for (const QList<QVariant>& arguments : delivered)
        frames << arguments.first().toByteArray();
    return frames;
}

void TestExperimentSettingForm::stageSwitches_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QString>("checked"); // stages 2..6; their fields are enabled alike

    QTest::newRow("fresh") << QList<int>{} << "00000";
    QTest::newRow("stage 3 before 2 refused") << QList<int>{3} << "00000";
    QTest::newRow("2 3 4 in order") << QList<int>{2, 3, 4} << "11100";
    QTest::newRow("uncheck 3 while 4 checked") << QList<int>{2, 3, 4, 3} << "11100";
    QTest::newRow("uncheck 2 while 3 checked") << QList<int>{2, 3, 2} << "11000";
    QTest::newRow("all six then 6 off") << QList<int>{2, 3, 4, 5, 6, 6} << "11110";
    QTest::newRow("6 before 5 refused") << QList<int>{2, 3, 4, 6} << "11100";
}

void TestExperimentSettingForm::stageSwitches()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QString, checked);
    for (int n : clicks)
        box(n)->click();
    QVERIFY(box(1)->isChecked());
    QVERIFY(!box(1)->isEnabled());
    QVERIFY(edit(1, "scan_rate")->isEnabled());
    for (int n = 2; n <= 6; ++n) {
        const bool on = checked.at(n - 2) == '1';
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

    QTest::newRow("fresh dialog, rate 0") << 0 << QStringList{} << "阶段1扫描速率错误";
    QTest::newRow("cut-offs 100 200 150") << 3 << QStringList{"100", "10", "0", "200", "10", "0", "150", "10", "0"}
                                          << "阶段3截止温度错误";
    QTest::newRow("cut-offs 100 200 200 equal allowed")
        << 3 << QStringList{"100", "10", "0", "200", "10", "0", "200", "10", "0"} << "";
    QTest::newRow("stage 2 rate 0") << 2 << QStringList{"100", "10", "0", "200", "0", "0"} << "阶段2扫描速率错误";
    QTest::newRow("stage 2 off is not checked") << 1 << QStringList{"100", "10", "5"} << "";
    QTest::newRow("non-numeric rate") << 1 << QStringList{"100", "abc", "0"} << "阶段1扫描速率错误";
    QTest::newRow("hold time 65536") << 1 << QStringList{"100", "10", "65536"} << "阶段1恒温时间错误";
    QTest::newRow("hold time 65535") << 1 << QStringList{"100", "10", "65535"} << "";
    QTest::newRow("hold time 3.7 would go out as 0") << 1 << QStringList{"100", "10", "3.7"} << "阶段1恒温时间错误";
    QTest::newRow("hold time -1") << 2 << QStringList{"100", "10", "0", "150", "10", "-1"} << "阶段2恒温时间错误";
    QTest::newRow("cut-off infinite") << 1 << QStringList{"inf", "10", "0"} << "阶段1截止温度错误";
    QTest::newRow("rate nan") << 2 << QStringList{"100", "10", "0", "150", "nan", "0"} << "阶段2扫描速率错误";
}

void TestExperimentSettingForm::checks()
{
    QFETCH(int, stages);
    QFETCH(QStringList, values);
    QFETCH(QString, refusal);
    if (stages == 1)
        setStage(2, "0", "0", "0"); // values of a disabled stage go unchecked
    for (int n = 2; n <= stages; ++n)
        box(n)->click();
    for (int n = 1; n <= stages; ++n)
        setStage(n, values.at(3 * n - 3), values.at(3 * n - 2), values.at(3 * n - 1));
    DialogAnswers dialogs;
    const QList<QByteArray> frames = deliver();

    QCOMPARE(frames.size(), refusal.isEmpty() ? 1 : 0);
    if (refusal.isEmpty())
        return;
    QCOMPARE(dialogs.boxTitles(), QStringList{refusal});
    QCOMPARE(dialogs.boxes.first().kind, QString("question"));
    // The two refusals the instrument's rules call for, word for word.
    const QString stage = refusal.mid(2, 1);
    if (refusal.endsWith("截止温度错误") && !values.contains("inf"))
        QCOMPARE(dialogs.boxes.first().text, QString("阶段%1截止温度不能小于上一阶段截止温度!  ").arg(stage));
    if (refusal.endsWith("扫描速率错误"))
        QCOMPARE(dialogs.boxes.first().text, QString("阶段%1扫描速率必须大于0!  ").arg(stage));
}

void TestExperimentSettingForm::deliveryFrame()
{
    box(2)->click();
    setStage(1, "150", "10", "3");
    setStage(2, "200.5", "5", "0");
    atmosphere(1)->setCurrentIndex(2); // O2
    atmosphere(2)->setCurrentIndex(1); // N2
    child<QRadioButton>("radioButton_OIT")->setChecked(true);
    initialAtmosphere()->setCurrentIndex(2);
    child<QLineEdit>("sampleNameLineEdit")->setText("indium");
    child<QLineEdit>("sampleWeightLineEdit")->setText("5.0");
    child<QLineEdit>("userLineEdit")->setText("lab");
    Global::_experimentInfo.phases = {PhaseInfoData{}};

    DialogAnswers dialogs;
    const QList<QByteArray> frames = deliver();
    QCOMPARE(frames.size(), 1);
    QByteArray expected = QByteArray::fromHex("a55a4f825000");
    expected += wireStage(1, 150.0f, 10.0f, 3, 2) + wireStage(1, 200.5f, 5.0f, 0, 1);
    for (int n = 3; n <= 6; ++n)
        expected += wireStage(0);
    expected.append('\0').append('\x02'); // OIT, initial atmosphere O2
    QCOMPARE(frames.first().toHex(' '), withCrc(expected).toHex(' '));

    QCOMPARE(Global::_experimentInfo.sampleName, QString("indium"));
    QCOMPARE(Global::_experimentInfo.sampleWeight, QString("5.0"));
    QCOMPARE(Global::_experimentInfo.user, QString("lab"));
    QCOMPARE(Global::_experimentInfo.phases.size(), 1); // only the instrument's reply changes it
}

void TestExperimentSettingForm::deliveryWithPortClosedKeepsDialog()
{
    setStage(1, "150", "10", "0");
    _form->show();
    DialogAnswers dialogs;
    _form->on_pushButton_deliverData_clicked();
    QCOMPARE(dialogs.boxTitles(), QStringList{"warnning"});
    QCOMPARE(dialogs.boxes.first().text, QString("Serial Port open failed."));
    QVERIFY(_form->isVisible());
    QCOMPARE(edit(1, "cutoff_temp")->text(), QString("150"));
}

void TestExperimentSettingForm::replyFillsRows()
{
    for (int n : {2, 3, 4})
        box(n)->click();
    setStage(4, "999", "9", "9");
    QByteArray table = wireStage(1, 150.0f, 10.0f, 2, 1) + wireStage(1, 200.0f, 5.5f, 0, 5)
        + wireStage(1, 250.0f, 20.0f, 65535, 2) + wireStage(0, 300.0f, 1.0f, 0, 1)
        + wireStage(1, 400.0f, 1.0f, 0, 1) + wireStage(0);
    table.append('\0').append('\x01');
    _form->slotRecvPhaseInfo(tableReply(table));

    const auto& phases = Global::_experimentInfo.phases;
    QCOMPARE(phases.size(), 6);
    QVERIFY(phases.at(1).atmosphere == 0 && phases.at(2).constantTempTime == 65535 && phases.at(4).enabled == 1);
    QCOMPARE(edit(1, "cutoff_temp")->text(), QString("150.000"));
    QCOMPARE(edit(2, "scan_rate")->text(), QString("5.500"));
    QCOMPARE(edit(3, "constant_temp")->text(), QString("65535"));
    const int atmospheres[] = {1, 0, 2};
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(atmosphere(n)->currentIndex(), atmospheres[n - 1]);
        QVERIFY(box(n)->isChecked());
        QVERIFY(edit(n, "scan_rate")->isEnabled());
    }
    for (int n = 4; n <= 6; ++n) {
        QCOMPARE(edit(n, "cutoff_temp")->text(), QString("0"));
        QVERIFY(!edit(n, "cutoff_temp")->isEnabled());
        QVERIFY(!atmosphere(n)->isEnabled());
    }
    QVERIFY(box(4)->isChecked()); // check boxes keep their state
    QVERIFY(!box(5)->isChecked());
    QVERIFY(child<QRadioButton>("radioButton_OIT")->isChecked());
    QCOMPARE(initialAtmosphere()->currentIndex(), 1);
}

void TestExperimentSettingForm::shortReplyKeepsOptions()
{
    initialAtmosphere()->setCurrentIndex(2);
    _form->slotRecvPhaseInfo(tableReply(wireStage(1, 120.0f, 10.0f, 0, 1) + wireStage(1, 130.0f, 10.0f, 0, 1)));
    QCOMPARE(Global::_experimentInfo.phases.size(), 2);
    QCOMPARE(edit(2, "cutoff_temp")->text(), QString("130.000"));
    QCOMPARE(initialAtmosphere()->currentIndex(), 2);
    QVERIFY(child<QRadioButton>("radioButton_OIT_not")->isChecked());
}

// A code the box does not have would leave it without a selection and go back
// to the instrument as 0xFF with the next delivery.
void TestExperimentSettingForm::unknownInitialAtmosphereShowsNC()
{
    initialAtmosphere()->setCurrentIndex(2);
    QByteArray table = wireStage(1, 120.0f, 10.0f, 0, 1);
    for (int n = 2; n <= 6; ++n)
        table += wireStage(0);
    table.append('\x01').append('\x05');
    _form->slotRecvPhaseInfo(tableReply(table));
    QCOMPARE(initialAtmosphere()->currentIndex(), 0);

    DialogAnswers dialogs;
    const QList<QByteArray> frames = deliver();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(int(quint8(frames.first().at(78))), 1);
    QCOMPARE(int(quint8(frames.first().at(79))), 0);
}

void TestExperimentSettingForm::showRefreshesDate()
{
    auto* date = child<QLineEdit>("dateTimeLineEdit");
    date->setText("old");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    _form->show();
    const QDateTime shown = QDateTime::fromString(date->text(), "yyyy/MM/dd hh:mm:ss");
    QVERIFY2(shown >= before && shown <= QDateTime::currentDateTime(), qPrintable(date->text()));
}

QTEST_MAIN(TestExperimentSettingForm)
#include "tst_experimentsettingform.moc"
