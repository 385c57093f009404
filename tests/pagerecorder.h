#ifndef PAGERECORDER_H
#define PAGERECORDER_H

#include <QMap>
#include <QPaintEngine>
#include <QPrinter>
#include <QStringList>
#include <QTransform>

#include <algorithm>

// A printer that keeps the texts painted on it instead of printing them: the
// page layout and metrics are those of an A4 PDF printer, the paint engine
// records each run of text where it lands. Reading a written PDF back would
// depend on the fonts: a text extractor drops the glyphs it cannot map back
// to characters (Latin letters and digits drawn with a CJK font).
class PageRecorder : public QPrinter
{
public:
    PageRecorder()
        : QPrinter(QPrinter::HighResolution)
    {
        _pdf.setOutputFormat(QPrinter::PdfFormat);
        _pdf.setPageSize(QPageSize(QPageSize::A4));
        setEngines(_pdf.printEngine(), &_engine);
    }

    // The page's lines from top to bottom: the runs that share a baseline,
    // left to right, a blank wherever they do not touch, blanks collapsed.
    QStringList lines() const
    {
        QMap<int, QList<Run>> byBaseline;
        for (const Run& run : _engine.runs)
            byBaseline[qRound(run.at.y())].append(run);
        QStringList lines;
        for (QList<Run> runs : byBaseline) {
            std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.at.x() < b.at.x(); });
            QString line = runs.first().text;
            for (int i = 1; i < runs.size(); ++i) {
                const Run& before = runs.at(i - 1);
                if (runs.at(i).at.x() > before.at.x() + before.width + 0.5)
                    line += QLatin1Char(' ');
                line += runs.at(i).text;
            }
            if (!line.simplified().isEmpty())
                lines << line.simplified();
        }
        return lines;
    }

private:
    struct Run
    {
        QPointF at;
        qreal width;
        QString text;
    };

    struct Engine : QPaintEngine
    {
        Engine()
            : QPaintEngine(AllFeatures)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & DirtyTransform)
                transform = state.transform();
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override
        {
            runs.append({transform.map(at), item.width() * transform.m11(), item.text()});
        }
        Type type() const override { return User; }

        QTransform transform;
        QList<Run> runs;
    };

    QPrinter _pdf{QPrinter::HighResolution};
    Engine _engine;
};

#endif
