#include "leftwidget.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

// An entry ending in "/" is a sub-folder.
void createEntries(const QString& dir, const QStringList& entries)
{
    QVERIFY(QDir().mkpath(dir));
    for (const QString& entry : entries) {
        if (entry.endsWith('/'))
            QVERIFY(QDir(dir).mkpath(entry));
        else
            QVERIFY(QFile(dir + "/" + entry).open(QIODevice::WriteOnly));
    }
}

QTreeWidgetItem* topLevel(LeftWidget& tree, const QString& text)
{
    return tree.findChild<QTreeWidget*>()->findItems(text, Qt::MatchExactly).value(0);
}

QStringList entriesUnder(LeftWidget& tree, const QString& text)
{
    QStringList names;
    const QTreeWidgetItem* item = topLevel(tree, text);
    for (int i = 0; i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    return names;
}

} // namespace

class TestFileTree : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Global::_globalMode = Global::Analysis;
        QDir(Global::ExperimentDataFolderPath).removeRecursively();
    }
    void listing_data();
    void listing();
    void doubleClick();
    void mainWindowRefreshesAfterSave_data();
    void mainWindowRefreshesAfterSave();
};

void TestFileTree::listing_data()
{
    QTest::addColumn<int>("folder");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("name order ignoring case, any suffix")
        << 0 << QStringList{"b.xlsx", "A.xlsx", "c.txt"} << QStringList{"A.xlsx", "b.xlsx", "c.txt"};
    QTest::newRow("sub-folders and hidden files left out")
        << 1 << QStringList{"Z.json", "sub/", ".hidden", "a.XLSX"} << QStringList{"a.XLSX", "Z.json"};
    QTest::newRow("missing folders") << -1 << QStringList{} << QStringList{};
}

void TestFileTree::listing()
{
    QFETCH(int, folder);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    const QStringList folders{Global::SampleDataFolderPath, Global::BaseLineFolderPath, Global::AnalysisStateFolderPath};
    if (folder >= 0)
        createEntries(folders.at(folder), entries);
    LeftWidget tree;
    const QStringList tops{"样品数据", "基线", "分析状态"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(entriesUnder(tree, tops.at(i)), i == folder ? expected : QStringList());
}

// Files give their full path, top-level entries nothing, nor anything while a run goes on.
void TestFileTree::doubleClick()
{
    createEntries(Global::SampleDataFolderPath, {"notes.txt"});
    createEntries(Global::BaseLineFolderPath, {"base.xlsx"});
    LeftWidget tree;
    QSignalSpy spy(&tree, &LeftWidget::sigSendAnalysisFileName);
    const auto pick = [&tree](const QString& top, bool file) {
        QTreeWidgetItem* item = file ? topLevel(tree, top)->child(0) : topLevel(tree, top);
        emit tree.findChild<QTreeWidget*>()->itemDoubleClicked(item, 0);
    };
    pick("基线", true);
    pick("样品数据", true);
    pick("基线", false);
    Global::_globalMode = Global::Experiment;
    pick("基线", true);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).first().toString(), Global::BaseLineFolderPath + "/base.xlsx");
    QCOMPARE(spy.at(1).first().toString(), Global::SampleDataFolderPath + "/notes.txt");
}

void TestFileTree::mainWindowRefreshesAfterSave_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("stop, written") << "stop" << true << true;
    QTest::newRow("stop, cancelled") << "stop" << false << false;
    QTest::newRow("end of run, Yes, cancelled") << "endOfRun" << false << true;
}

// A file put on disk behind the tree's back shows only after a refresh.
void TestFileTree::mainWindowRefreshesAfterSave()
{
    QFETCH(QString, command);
    QFETCH(bool, written);
    QFETCH(bool, refreshed);
    createEntries(Global::SampleDataFolderPath, {});
    DialogAnswers dialogs;
    MainWindow window;
    createEntries(Global::BaseLineFolderPath, {"later.txt"});
    dialogs.fileNames << (written ? Global::SampleDataFolderPath + "/run.xlsx" : QString());
    dialogs.answers << QMessageBox::Yes;
    Global::_globalMode = command == "stop" ? Global::Experiment : Global::Analysis;
    if (command == "stop")
        window.findChild<QAction*>("actionStop")->trigger();
    else
        window.slotSaveExperimentalDataMsgBox();
    auto& tree = *window.findChild<LeftWidget*>();
    QCOMPARE(dialogs.saveRequests.size(), 1);
    QCOMPARE(entriesUnder(tree, "基线"), refreshed ? QStringList{"later.txt"} : QStringList());
    QCOMPARE(entriesUnder(tree, "样品数据"), refreshed && written ? QStringList{"run.xlsx"} : QStringList());
}

QTEST_MAIN(TestFileTree)
#include "tst_filetree.moc"
