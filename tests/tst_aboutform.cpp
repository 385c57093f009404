#include "aboutform.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestAboutForm : public QObject
{
    Q_OBJECT

private slots:
    void aboutShowsVersionAndBuildTime();
    void contentFitsTheBox_data();
    void contentFitsTheBox();
};

// The program sets its version at start-up from the build's product version;
// the build date and time ("Jun 11 2025 14:22:36") appear only as a tool tip.
void TestAboutForm::aboutShowsVersionAndBuildTime()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    AboutForm about;
    auto* content = about.findChild<QLabel*>(QStringLiteral("labelContent"));
    auto* close = about.findChild<QPushButton*>(QStringLiteral("pushButtonClose"));
    QVERIFY(content->text().startsWith(QStringLiteral("<p>软件版本：1.0.4.0</p>")));
    QVERIFY(!about.findChild<QLabel*>(QStringLiteral("labelLogo"))->pixmap(Qt::ReturnByValue).isNull());
    const QRegularExpression buildTime(QStringLiteral("^[A-Z][a-z]{2} [ \\d]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY2(buildTime.match(close->toolTip()).hasMatch(), qPrintable(close->toolTip()));
    QVERIFY(!content->text().contains(close->toolTip().left(6)));
}

// The designed box is 498 x 290 with the logo's place at (20, 80), 131 x 101
// and the notice's at (150, 60), 331 x 171: the 256 px logo must shrink into
// its place and the notice must wrap within its own, with nothing cut off,
// in whatever font the desktop gives, a large one included.
void TestAboutForm::contentFitsTheBox_data()
{
    QTest::addColumn<double>("pointSize");
    QTest::newRow("the desktop's font") << 0.0;
    QTest::newRow("a 16 pt font") << 16.0;
}

void TestAboutForm::contentFitsTheBox()
{
    QFETCH(double, pointSize);
    const QFont desktopFont = QApplication::font();
    QFont font = desktopFont;
    if (pointSize > 0.0)
        font.setPointSizeF(pointSize);
    QApplication::setFont(font);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    AboutForm about;
    QApplication::setFont(desktopFont);
    about.show();
    QCOMPARE(about.size(), QSize(498, 290));
    auto* logo = about.findChild<QLabel*>(QStringLiteral("labelLogo"));
    QCOMPARE(logo->geometry(), QRect(20, 80, 131, 101));
    // The square logo, scaled to keep its shape, is as tall as its place.
    QCOMPARE(logo->pixmap(Qt::ReturnByValue).size(), QSize(101, 101));
    auto* content = about.findChild<QLabel*>(QStringLiteral("labelContent"));
    QCOMPARE(content->geometry(), QRect(150, 60, 331, 171));
    QVERIFY(content->wordWrap());
    QVERIFY2(content->heightForWidth(331) <= 171, qPrintable(QString::number(content->heightForWidth(331))));
}

QTEST_MAIN(TestAboutForm)
#include "tst_aboutform.moc"
