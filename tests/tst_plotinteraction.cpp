#include "centralwidget.h"
#include "eventhandler.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "resultlabel.h"

#include <qcustomplot.h>

#include <QtTest>

class TestPlotInteraction : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lineReach_data();
    void lineReach();
    void lineDragFollowsWholePixels();
    void labelDragByWholePixels();
    void deleteFromMenuRemovesCurve();
    void resultLabelActsAsTextItem_data();
    void resultLabelActsAsTextItem();

private:
    void send(QEvent::Type type, const QPoint& pos, Qt::MouseButton button = Qt::LeftButton);
    int linePixel(QCPItemStraightLine* line) const;
    QCPItemText* addLabel(const QPointF& pixel, const QString& curveName);
    QCPCurve* addCurve(const QString& name);
    template<class Plottable> static void select(Plottable* plottable)
    {
        plottable->setSelection(QCPDataSelection(plottable->data()->dataRange()));
    }

    CentralWidget* _widget = nullptr;
    LocalCustomPlot* _plot = nullptr;
};

void TestPlotInteraction::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    _widget = new CentralWidget;
    _widget->resize(800, 600);
    _widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(_widget));
    _plot = _widget->plot();
    _plot->xAxis->setRange(0.0, 300.0);
    _widget->setAnalysisMode(CentralWidget::PeakSynthesisAnalysis);
    _plot->replot();
}

void TestPlotInteraction::cleanup()
{
    const QList<QMenu*> menus = _plot->findChildren<QMenu*>();
    for (QMenu* menu : menus)
        menu->hide();
    delete _widget;
    _widget = nullptr;
}

// Sent, not posted, so the plot's event filter sees it exactly as a user's.
void TestPlotInteraction::send(QEvent::Type type, const QPoint& pos, Qt::MouseButton button)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, pos, _plot->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(_plot, &event);
}

int TestPlotInteraction::linePixel(QCPItemStraightLine* line) const
{
    return static_cast<int>(_plot->xAxis->coordToPixel(line->point1->key()));
}

QCPItemText* TestPlotInteraction::addLabel(const QPointF& pixel, const QString& curveName)
{
    auto* label = new QCPItemText(_plot);
    label->position->setType(QCPItemPosition::ptAbsolute);
    label->position->setCoords(pixel);
    label->setText(QStringLiteral("外推起始点：\n156.600℃"));
    label->setFont(QFont(QStringLiteral("Arial"), 10));
    PlotItemRegistry::addText(label, curveName);
    auto* arrow = new QCPItemLine(_plot);
    arrow->start->setParentAnchor(label->left);
    arrow->end->setCoords(100.0, 5.0);
    PlotItemRegistry::addArrow(arrow, curveName);
    _plot->replot();
    return label;
}

QCPCurve* TestPlotInteraction::addCurve(const QString& name)
{
    auto* curve = new QCPCurve(_plot->xAxis, _plot->yAxis);
    curve->setObjectName(name);
    curve->addData(0.0, 50.0, 2.0);
    curve->addData(1.0, 60.0, 3.0);
    return curve;
}

// A boundary line is within reach up to 4 px either side, and only when shown.
void TestPlotInteraction::lineReach_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("grabbed");
    QTest::newRow("on the line") << 0 << true << true;
    QTest::newRow("4 px right") << 4 << true << true;
    QTest::newRow("5 px right") << 5 << true << false;
    QTest::newRow("on a hidden line") << 0 << false << false;
}

void TestPlotInteraction::lineReach()
{
    QFETCH(int, offset);
    QFETCH(bool, visible);
    QFETCH(bool, grabbed);

    const int y = _plot->height() / 2;
    for (QCPItemStraightLine* line : {_widget->line1(), _widget->line2()}) {
        _widget->line1()->setVisible(visible);
        _widget->line2()->setVisible(visible);
        send(QEvent::MouseMove, QPoint(linePixel(line) + offset, 10));
        QCOMPARE(_plot->cursor().shape(), grabbed ? Qt::SplitHCursor : Qt::ArrowCursor);
        if (!visible)
            continue;
        const double keyBefore = line->point1->key();
        QSignalSpy spy(_widget, &CentralWidget::sigSendLineXCoord);
        send(QEvent::MouseButtonPress, QPoint(linePixel(line) + offset, y));
        send(QEvent::MouseMove, QPoint(linePixel(line) + offset + 20, y));
        send(QEvent::MouseButtonRelease, QPoint(linePixel(line) + offset + 20, y));
        QCOMPARE(spy.count(), grabbed ? 1 : 0);
        if (grabbed)
            QCOMPARE(spy.first().at(0).toInt(), line == _widget->line1() ? 1 : 2);
        else
            QCOMPARE(line->point1->key(), keyBefore);
    }
}

void TestPlotInteraction::lineDragFollowsWholePixels()
{
    QCPItemStraightLine* line = _widget->line1();
    // Both lines within reach: the left one is taken.
    _widget->line2()->point1->setCoords(_plot->xAxis->pixelToCoord(linePixel(line) + 3), 0.0);
    const int start = linePixel(line);
    const int y = _plot->height() / 2;
    QSignalSpy spy(_widget, &CentralWidget::sigSendLineXCoord);

    send(QEvent::MouseButtonPress, QPoint(start + 2, y));
    send(QEvent::MouseMove, QPoint(start + 40, y));
    send(QEvent::MouseMove, QPoint(start + 57, y));
    send(QEvent::MouseButtonRelease, QPoint(start + 57, y));

    QCOMPARE(spy.count(), 2);
    const double expected = _plot->xAxis->pixelToCoord(start + 57);
    QCOMPARE(spy.last().at(0).toInt(), 1);
    QCOMPARE(spy.last().at(1).toDouble(), expected);
    QCOMPARE(line->point1->key(), expected);
    QCOMPARE(line->point2->key(), expected);
    QCOMPARE(qRound(_plot->xAxis->coordToPixel(line->point1->key())), start + 57);
}

void TestPlotInteraction::labelDragByWholePixels()
{
    QCPItemText* label = addLabel(QPointF(200.0, 150.0), QStringLiteral("a.xlsx"));
    auto* arrow = qobject_cast<QCPItemLine*>(_plot->item(_plot->itemCount() - 1));
    QVERIFY(arrow);

    send(QEvent::MouseButtonPress, QPoint(203, 152));
    QVERIFY(label->selected());
    QVERIFY(!_widget->line1()->selected());
    send(QEvent::MouseMove, QPoint(216, 159));
    send(QEvent::MouseMove, QPoint(211, 170));
    send(QEvent::MouseButtonRelease, QPoint(211, 170));
    // Released: further moves leave it alone.
    send(QEvent::MouseMove, QPoint(260, 220));

    QCOMPARE(label->position->pixelPosition(), QPointF(208.0, 168.0));
    // The arrow's end (100, 5) lies right of the label now: the arrow leaves
    // the label's right edge, not across its text from the left one.
    QVERIFY(arrow->end->pixelPosition().x() > label->right->pixelPosition().x());
    QCOMPARE(arrow->start->pixelPosition(), label->right->pixelPosition());
}

void TestPlotInteraction::deleteFromMenuRemovesCurve()
{
    QCPCurve* keep = addCurve(QStringLiteral("data.xlsx"));
    QCPCurve* doomed = addCurve(QStringLiteral("a.xlsx"));
    Global::_analysisOperationVtr.append(AnalysisOperation{"a.xlsx", CentralWidget::StartPoint, 1.0, 2.0});
    Global::_analysisOperationVtr.append(AnalysisOperation{"data.xlsx", CentralWidget::StartPoint, 1.0, 2.0});
    select(doomed);
    _widget->slotSelectionChangedByUser();

    _widget->eventHandler()->contextMenu()->actions().first()->trigger();

    QCOMPARE(_plot->plottableCount(), 1);
    QCOMPARE(_plot->plottable(0), keep);
    QCOMPARE(_widget->currentCurve(), nullptr);
    QCOMPARE(Global::_analysisOperationVtr.size(), 1);
    QCOMPARE(Global::_analysisOperationVtr.first().name, QStringLiteral("data.xlsx"));
}

void TestPlotInteraction::resultLabelActsAsTextItem_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("boxed");
    QTest::addColumn<bool>("measured");
    QTest::newRow("as drawn") << false << false << false;
    QTest::newRow("selected") << true << false << false;
    QTest::newRow("framed and turned") << false << true << false;
    QTest::newRow("measured before it was made") << false << false << true;
}

// A result label lays its text out once; drawn, anchored and hit, it is the
// QCPItemText it stands for, pixel for pixel, whatever fonts are installed.
void TestPlotInteraction::resultLabelActsAsTextItem()
{
    QFETCH(bool, selected);
    QFETCH(bool, boxed);
    QFETCH(bool, measured);
    const QString text = QStringLiteral("峰的综合信息：\n焓值：1.234 J/g \n峰值：156.600℃");
    const QFont font(QStringLiteral("Arial"), 10);
    QImage pictures[2];
    QList<QPointF> anchors[2];
    QList<double> hits[2];
    for (int k = 0; k < 2; ++k) {
        QCustomPlot plot;
        plot.resize(400, 300);
        QCPItemText* label = k == 0 ? new QCPItemText(&plot) : new ResultLabel(&plot);
        label->setFont(font);
        if (k == 1 && measured)
            static_cast<ResultLabel*>(label)->setMeasuredText(text, ResultLabel::screenTextRect(text, font));
        else
            label->setText(text);
        label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        label->position->setCoords(4.3, 5.7);
        label->setSelected(selected);
        if (boxed) {
            label->setPadding(QMargins(3, 4, 5, 6));
            label->setPen(QPen(Qt::black));
            label->setRotation(17.0);
        }
        plot.replot();
        pictures[k] = plot.toPixmap(400, 300).toImage();
        for (QCPItemAnchor* anchor : label->anchors())
            anchors[k] << anchor->pixelPosition();
        for (const QPointF& probe : {QPointF(100, 100), QPointF(150, 140), QPointF(210, 160)})
            hits[k] << label->selectTest(probe, false);
    }
    QCOMPARE(anchors[1], anchors[0]);
    QCOMPARE(hits[1], hits[0]);
    QVERIFY(pictures[1] == pictures[0]);
}

QTEST_MAIN(TestPlotInteraction)
#include "tst_plotinteraction.moc"
