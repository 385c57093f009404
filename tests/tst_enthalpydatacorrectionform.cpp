#include "enthalpydatacorrectionform.h"
#include "filesizelimit.h"
#include "windowtesthelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Expected files are written out in Qt's indented JSON form (four spaces a
// level, members sorted by key). The ratios are Python's shortest round-trip
// text of the same double quotients: repr(11.47/11.0) and so on.
class TestEnthalpyDataCorrectionForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesTable_data();
    void writesTable();
    void unusableEnthalpyRefused_data();
    void unusableEnthalpyRefused();
    void secondSaveHoldsOnlyCheckedRows();
    void cancelledOrUnwritableSaveWritesNothing();

private:
    void check(const char* box, bool on = true) { _form->findChild<QCheckBox*>(box)->setChecked(on); }
    void type(const char* edit, const QString& text) { _form->findChild<QLineEdit*>(edit)->setText(text); }
    void save() { _form->findChild<QPushButton*>("pushButtonSave")->click(); }
    static QByteArray readAll(const QString& path);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<EnthalpyDataCorrectionForm> _form;
};

QByteArray TestEnthalpyDataCorrectionForm::readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestEnthalpyDataCorrectionForm::init()
{
    _dialogs = std::make_unique<DialogAnswers>();
    _form = std::make_unique<EnthalpyDataCorrectionForm>();
    _form->show();
}

void TestEnthalpyDataCorrectionForm::cleanup()
{
    _form.reset();
    _dialogs.reset();
    for (const QString& name : QDir().entryList({"*.json*", "*.JSON*"}, QDir::Files)) {
        QFile::remove(name);
    }
}

// The file Qt writes for the table: indented JSON, four spaces a level,
// members sorted by key; rows are rate, temperature text pairs.
static QByteArray tableFile(const char* atmosphere, const char* heatingRate, const QStringList& rows)
{
    QByteArray text = QByteArray("{\n    \"atomsphereData\": {\n        \"atmosphere\": ") + atmosphere
                      + ",\n        \"heatingRate\": " + heatingRate + "\n    },\n    \"sampleData\": [\n";
    for (int i = 0; i + 1 < rows.size(); i += 2) {
        text += "        {\n            \"rate\": " + rows.at(i).toLatin1() + ",\n            \"temperature\": "
                + rows.at(i + 1).toLatin1() + "\n        }" + (i + 2 < rows.size() ? ",\n" : "\n");
    }
    return text + "    ]\n}\n";
}

void TestEnthalpyDataCorrectionForm::writesTable_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QStringList>("measured"); // edit name, text pairs
    QTest::addColumn<QString>("atmosphere");
    QTest::addColumn<QString>("heatingRate");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no row checked, empty fields read as 0") << QStringList() << QStringList() << "" << ""
                                                            << tableFile("0", "0", {});
    // Sn checked before Hg on purpose: the file follows the table, not the clicks.
    QTest::newRow("Hg, In, Sn with the presets")
        << QStringList{"checkBoxSn", "checkBoxHg", "checkBoxIn"}
        << QStringList{"lineEditMeasHg", "11.0", "lineEditMeasIn", "28.0", "lineEditMeasSn", "60.0",
                       "lineEditMeasPb", "23.0"}
        << "1" << "10.5"
        << tableFile("1", "10.5", {"1.0427272727272727", "-38.8", "1.0150000000000001", "156.6",
                                   "1.0036666666666667", "231.9"});
    // Row 7's measured edit is named with one and zero; theory typed by hand.
    QTest::newRow("row 7 and a typed theory")
        << QStringList{"checkBoxKC1O3"} << QStringList{"lineEditTheoryKC1O3", "12", "lineEditMeasKC103", "8"}
        << "abc" << "-5" << tableFile("0", "-5", {"1.5", "299.5"});
}

void TestEnthalpyDataCorrectionForm::writesTable()
{
    QFETCH(QStringList, checked);
    QFETCH(QStringList, measured);
    QFETCH(QString, atmosphere);
    QFETCH(QString, heatingRate);
    QFETCH(QByteArray, expected);
    for (const QString& box : checked) {
        check(box.toLatin1().constData());
    }
    for (int i = 0; i + 1 < measured.size(); i += 2) {
        type(measured.at(i).toLatin1().constData(), measured.at(i + 1));
    }
    type("lineEditAtomsphere", atmosphere);
    type("lineEditHeatingRate", heatingRate);
    _dialogs->fileNames = QStringList{QDir::current().filePath("table.json")};
    save();

    QCOMPARE(readAll("table.json"), expected);
}

// A checked substance needs a theoretical and a measured enthalpy above 0:
// any other ratio (0, inf, nan, negative) would be fitted as a correction.
// C6H12 has no preset theoretical enthalpy. Indium, checked and valid beside
// it, is not written either: nothing is written.
void TestEnthalpyDataCorrectionForm::unusableEnthalpyRefused_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("fields"); // edit name, text pairs
    QTest::newRow("C6H12 without theoretical enthalpy")
        << "checkBoxC6H12" << QStringList{"lineEditMeasC6H12", "50"};
    QTest::newRow("theoretical 0") << "checkBoxHg" << QStringList{"lineEditTheoryHg", "0", "lineEditMeasHg", "11"};
    QTest::newRow("theoretical negative")
        << "checkBoxHg" << QStringList{"lineEditTheoryHg", "-11.47", "lineEditMeasHg", "11"};
    QTest::newRow("theoretical not a number")
        << "checkBoxHg" << QStringList{"lineEditTheoryHg", "abc", "lineEditMeasHg", "11"};
    QTest::newRow("measured empty") << "checkBoxHg" << QStringList{"lineEditMeasHg", ""};
    QTest::newRow("measured 0") << "checkBoxHg" << QStringList{"lineEditMeasHg", "0"};
    QTest::newRow("measured negative") << "checkBoxHg" << QStringList{"lineEditMeasHg", "-11"};
}

void TestEnthalpyDataCorrectionForm::unusableEnthalpyRefused()
{
    QFETCH(QString, box);
    QFETCH(QStringList, fields);
    check("checkBoxIn");
    type("lineEditMeasIn", "28.42");
    check(box.toLatin1().constData());
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        type(fields.at(i).toLatin1().constData(), fields.at(i + 1));
    }
    _dialogs->fileNames = QStringList{QDir::current().filePath("table.json")};
    save();

    QVERIFY(_dialogs->saveRequests.isEmpty());
    QVERIFY(!QFile::exists("table.json"));
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
}

// ".json" is added unless the chosen name already ends in it (in lower case).
void TestEnthalpyDataCorrectionForm::secondSaveHoldsOnlyCheckedRows()
{
    check("checkBoxIn");
    check("checkBoxZn");
    type("lineEditMeasIn", "28.42");
    type("lineEditMeasZn", "107.38");
    _dialogs->fileNames = QStringList{"first", "second.JSON", "third.json"};
    save();
    save();
    QCOMPARE(readAll("second.JSON.json"), readAll("first.json"));
    QCOMPARE(readAll("first.json").count("\"temperature\""), 2);

    check("checkBoxIn", false);
    save();
    const QByteArray third = readAll("third.json");
    QCOMPARE(third.count("\"temperature\""), 1);
    QVERIFY(third.contains("419.5"));
    QVERIFY(!third.contains("156.6"));
    QCOMPARE(QDir().entryList({"*.json*", "*.JSON*"}, QDir::Files),
             (QStringList{"first.json", "second.JSON.json", "third.json"}));
}

// A cancelled dialog writes nothing and says nothing. A file that cannot be
// written (no such folder, or a disk that takes one byte only) is reported
// with a box, and an earlier table of that name stays whole.
void TestEnthalpyDataCorrectionForm::cancelledOrUnwritableSaveWritesNothing()
{
    check("checkBoxIn");
    type("lineEditMeasIn", "28.0");
    _dialogs->fileNames = QStringList{QString(), "no-such-folder/table.json"};
    save();
    QVERIFY(_dialogs->boxes.isEmpty());
    save();
    QCOMPARE(_dialogs->saveRequests.size(), 2);
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QVERIFY(QDir().entryList(QDir::Files).filter(".json").isEmpty());
    QVERIFY(!QDir("no-such-folder").exists());

    const QByteArray earlier = "{\"atomsphereData\": {}, \"sampleData\": []}\n";
    QFile file("table.json");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();
    _dialogs->fileNames = QStringList{"table.json"};
    {
        FileSizeLimit fullDisk(1);
        save();
    }
    QCOMPARE(_dialogs->boxTitles(), (QStringList{"warnning", "warnning"}));
    QCOMPARE(readAll("table.json"), earlier);
}

QTEST_MAIN(TestEnthalpyDataCorrectionForm)
#include "tst_enthalpydatacorrectionform.moc"
