#include "global.h"
#include "leftwidget.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

// Each case builds exactly the data folders and files it needs.
class TestFileTree : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listing_data();
    void listing();
    void doubleClick_data();
    void doubleClick();
    void refreshPicksUpNewFiles();
    void mainWindowRefreshesAfterSave_data();
    void mainWindowRefreshesAfterSave();

private:
    static QString folder(int index);
    static void createEntries(const QString& dir, const QStringList& entries);
    static QStringList children(const QTreeWidgetItem* item);
    static QTreeWidgetItem* topLevel(LeftWidget& tree, const QString& text);
};

QString TestFileTree::folder(int index)
{
    const QStringList folders{Global::SampleDataFolderPath, Global::BaseLineFolderPath,
                              Global::AnalysisStateFolderPath};
    return folders.at(index);
}

// An entry ending in "/" is a sub-folder.
void TestFileTree::createEntries(const QString& dir, const QStringList& entries)
{
    QVERIFY(QDir().mkpath(dir));
    for (const QString& entry : entries) {
        if (entry.endsWith('/')) {
            QVERIFY(QDir(dir).mkpath(entry));
            continue;
        }
        QFile file(dir + "/" + entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

QStringList TestFileTree::children(const QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    return names;
}

QTreeWidgetItem* TestFileTree::topLevel(LeftWidget& tree, const QString& text)
{
    const auto found = tree.findChild<QTreeWidget*>()->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void TestFileTree::init()
{
    Global::_globalMode = Global::Analysis;
    QDir(Global::ExperimentDataFolderPath).removeRecursively();
}

void TestFileTree::cleanup()
{
    QDir(Global::ExperimentDataFolderPath).removeRecursively();
}

void TestFileTree::listing_data()
{
    QTest::addColumn<int>("folderIndex");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("name order ignoring case, any suffix")
        << 0 << QStringList{"b.xlsx", "A.xlsx", "c.txt"} << QStringList{"A.xlsx", "b.xlsx", "c.txt"};
    QTest::newRow("sub-folders and hidden files left out")
        << 1 << QStringList{"Z.json", "sub/", ".hidden", "a.XLSX"} << QStringList{"a.XLSX", "Z.json"};
    QTest::newRow("empty folder") << 2 << QStringList{} << QStringList{};
    QTest::newRow("missing folders") << -1 << QStringList{} << QStringList{};
}

void TestFileTree::listing()
{
    QFETCH(int, folderIndex);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    if (folderIndex >= 0)
        createEntries(folder(folderIndex), entries);

    LeftWidget tree;
    const QStringList tops{"样品数据", "基线", "分析状态"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(children(topLevel(tree, tops.at(i))), i == folderIndex ? expected : QStringList());
}

void TestFileTree::doubleClick_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("parentText");
    QTest::addColumn<QString>("childText");
    QTest::addColumn<QString>("expected");

    QTest::newRow("analysis state file") << int(Global::Analysis) << "分析状态" << "A.xlsx"
                                         << Global::AnalysisStateFolderPath + "/A.xlsx";
    QTest::newRow("baseline file") << int(Global::Analysis) << "基线" << "base.xlsx"
                                   << Global::BaseLineFolderPath + "/base.xlsx";
    QTest::newRow("sample file, other suffix")
        << int(Global::Analysis) << "样品数据" << "notes.txt" << Global::SampleDataFolderPath + "/notes.txt";
    QTest::newRow("run in progress") << int(Global::Experiment) << "分析状态" << "A.xlsx" << QString();
    QTest::newRow("top-level entry") << int(Global::Analysis) << "基线" << QString() << QString();
}

// A real double-click on the item's row, so the tree's own signal is used.
void TestFileTree::doubleClick()
{
    QFETCH(int, mode);
    QFETCH(QString, parentText);
    QFETCH(QString, childText);
    QFETCH(QString, expected);
    createEntries(Global::SampleDataFolderPath, {"notes.txt"});
    createEntries(Global::BaseLineFolderPath, {"base.xlsx"});
    createEntries(Global::AnalysisStateFolderPath, {"A.xlsx"});

    LeftWidget tree;
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    Global::_globalMode = static_cast<Global::Mode>(mode);
    QSignalSpy spy(&tree, &LeftWidget::sigSendAnalysisFileName);

    auto* widget = qobject_cast<QTreeWidget*>(tree.widget());
    QTreeWidgetItem* item = topLevel(tree, parentText);
    QVERIFY(item);
    if (!childText.isEmpty())
        item = item->child(children(item).indexOf(childText));
    QVERIFY(item);
    const QPoint centre = widget->visualItemRect(item).center();
    // An item view takes a double-click only on the item its press went to.
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, centre);

    QCOMPARE(spy.size(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty())
        QCOMPARE(spy.first().first().toString(), expected);
}

void TestFileTree::refreshPicksUpNewFiles()
{
    createEntries(Global::SampleDataFolderPath, {"c.xlsx", "a.xlsx"});
    createEntries(Global::AnalysisStateFolderPath, {"gone.xlsx"});
    LeftWidget tree;

    createEntries(Global::SampleDataFolderPath, {"B.xlsx"});
    createEntries(Global::BaseLineFolderPath, {"base.xlsx"});
    QVERIFY(QFile::remove(Global::AnalysisStateFolderPath + "/gone.xlsx"));
    QCOMPARE(children(topLevel(tree, "样品数据")), (QStringList{"a.xlsx", "c.xlsx"}));

    tree.refreshTree();
    QCOMPARE(children(topLevel(tree, "样品数据")), (QStringList{"a.xlsx", "B.xlsx", "c.xlsx"}));
    QCOMPARE(children(topLevel(tree, "基线")), QStringList{"base.xlsx"});
    QCOMPARE(children(topLevel(tree, "分析状态")), QStringList());
}

void TestFileTree::mainWindowRefreshesAfterSave_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("savedAs");
    QTest::addColumn<bool>("refreshed");

    QTest::newRow("save data, written") << "save" << "run.xlsx" << true;
    QTest::newRow("save data, cancelled") << "save" << QString() << true;
    QTest::newRow("stop, written") << "stop" << "run.xlsx" << true;
    QTest::newRow("stop, cancelled") << "stop" << QString() << false;
    QTest::newRow("end of run, Yes, cancelled") << "endOfRun" << QString() << true;
}

// A file put on disk behind the tree's back shows only after a refresh.
void TestFileTree::mainWindowRefreshesAfterSave()
{
    QFETCH(QString, command);
    QFETCH(QString, savedAs);
    QFETCH(bool, refreshed);
    createEntries(Global::SampleDataFolderPath, {});
    createEntries(Global::AnalysisStateFolderPath, {});
    DialogAnswers dialogs;
    MainWindow window;
    auto* tree = window.findChild<LeftWidget*>();
    QVERIFY(tree);
    createEntries(Global::BaseLineFolderPath, {"later.txt"});

    const QString folder = command == "save" ? Global::AnalysisStateFolderPath : Global::SampleDataFolderPath;
    dialogs.fileNames << (savedAs.isEmpty() ? QString() : folder + "/" + savedAs);
    if (command == "save") {
        window.findChild<QAction*>("actionSaveData")->trigger();
    } else if (command == "stop") {
        Global::_globalMode = Global::Experiment;
        window.findChild<QAction*>("actionStop")->trigger();
    } else {
        dialogs.answers << QMessageBox::Yes;
        window.slotSaveExperimentalDataMsgBox();
    }

    QCOMPARE(dialogs.saveRequests.size(), 1);
    QCOMPARE(children(topLevel(*tree, "基线")), refreshed ? QStringList{"later.txt"} : QStringList());
    const QString entry = command == "save" ? "分析状态" : "样品数据";
    QCOMPARE(children(topLevel(*tree, entry)), refreshed && !savedAs.isEmpty() ? QStringList{savedAs} : QStringList());
    dialogs.answers = {QMessageBox::Yes};
}

QTEST_MAIN(TestFileTree)
#include "tst_filetree.moc"
