#include "aboutform.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestAboutForm : public QObject
{
    Q_OBJECT

private slots:
    void aboutShowsVersionAndBuildTime();
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

QTEST_MAIN(TestAboutForm)
#include "tst_aboutform.moc"
