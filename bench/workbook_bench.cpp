// Writes and reads a run of 100,000 points in 3 stages: once through
// XlsxHandler; once as a bare libxlsxwriter loop writing the same cells (the
// floor for our writer); and the read floor: the parts our reader reads,
// unzipped in the same chunks by minizip and put through libxml2's SAX
// parser with callbacks that do nothing. Prints "name milliseconds" lines,
// each the median of the rounds.
#include "global.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <libxml/parser.h>
#include <unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

static const int Stages = 3;
static const int Points = 100000;

static void makeRun()
{
    Global::_experimentInfo.sampleName = "bench";
    Global::_experimentInfo.phases.clear();
    Global::_experimentDataVtr.clear();
    for (int s = 0; s < Stages; ++s) {
        Global::_experimentInfo.phases.append({1, 100.0f + s, 10.0f, quint16(s), 1});
        Global::CurveExperimentData record;
        const int n = Points / Stages + (s < Points % Stages ? 1 : 0);
        for (int j = 0; j < n; ++j)
            record.data.append({0.01f * (j + 1), 0.0f, 25.0f + 0.003f * j, 0.5f - 0.0001f * j});
        Global::_experimentDataVtr.append(record);
    }
}

static void bareString(lxw_worksheet* ws, int row, int col, const char* text)
{
    worksheet_write_string(ws, lxw_row_t(row - 1), lxw_col_t(col - 1), text, nullptr);
}

static void bareNumber(lxw_worksheet* ws, int row, int col, double value)
{
    worksheet_write_number(ws, lxw_row_t(row - 1), lxw_col_t(col - 1), value, nullptr);
}

static void bareWrite(const char* path)
{
    lxw_workbook* book = workbook_new(path);
    lxw_worksheet* ws = workbook_add_worksheet(book, "Sheet1");
    const char* labels[] = {"文件数据信息", "样品名称：", "样品质量：", "坩埚质量：", "实验人员：", "实验日期：", "测量类型：", "阶段数量："};
    const char* values[] = {nullptr, "bench", "1", nullptr, "experimentor", "20250101", "样品", nullptr};
    for (int r = 1; r <= 8; ++r) {
        bareString(ws, r, 1, labels[r - 1]);
        if (values[r - 1])
            bareString(ws, r, 2, values[r - 1]);
    }
    bareString(ws, 3, 3, "mg");
    bareNumber(ws, 4, 2, 0);
    bareString(ws, 4, 3, "mg");
    bareNumber(ws, 8, 2, Stages);
    int row = 9;
    for (int s = 0; s < Stages; ++s) {
        const PhaseInfoData& p = Global::_experimentInfo.phases.at(s);
        const QVector<Global::ExperimentData>& data = Global::_experimentDataVtr.at(s).data;
        const char* head[] = {"#", "Time/min", "Temp/℃", "Voltage/mW", "Time/min"};
        for (int c = 1; c <= 5; ++c)
            bareString(ws, row, c, head[c - 1]);
        bareString(ws, row + 1, 1, "阶段索引："), bareNumber(ws, row + 1, 2, s + 1);
        bareString(ws, row + 2, 1, "截止温度："), bareNumber(ws, row + 2, 2, p.cutoffTemp), bareString(ws, row + 2, 3, "℃");
        bareString(ws, row + 3, 1, "升温速率："), bareNumber(ws, row + 3, 2, p.scanRate), bareString(ws, row + 3, 3, "℃/min");
        bareString(ws, row + 4, 1, "恒温时间："), bareNumber(ws, row + 4, 2, p.constantTempTime), bareString(ws, row + 4, 3, "min");
        bareString(ws, row + 5, 1, "气氛："), bareString(ws, row + 5, 2, "N2");
        bareString(ws, row + 6, 1, "数据个数："), bareNumber(ws, row + 6, 2, data.size());
        row += 7;
        for (int j = 0; j < data.size(); ++j, ++row) {
            bareNumber(ws, row, 1, j);
            bareNumber(ws, row, 2, data.at(j).runTime);
            bareNumber(ws, row, 3, data.at(j).temperature);
            bareNumber(ws, row, 4, data.at(j).dsc);
            bareNumber(ws, row, 5, data.at(j).constantTempTime);
        }
    }
    workbook_close(book);
}

static void noStart(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                    const xmlChar**)
{
}
static void noEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
static void noCharacters(void*, const xmlChar*, int) {}

static bool floorRead(const char* path)
{
    unzFile zip = unzOpen64(path);
    if (!zip)
        return false;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = noStart;
    sax.endElementNs = noEnd;
    sax.characters = noCharacters;
    std::vector<char> chunk(64 * 1024);
    bool ok = true;
    for (const char* part : {"_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml",
                             "xl/worksheets/sheet1.xml"}) {
        if (unzLocateFile(zip, part, 1) != UNZ_OK)
            continue; // no shared strings: our writer stores its few texts inline
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            ok = false;
            break;
        }
        xmlParserCtxtPtr parser = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
        xmlCtxtUseOptions(parser, XML_PARSE_NONET);
        int read = 0;
        while ((read = unzReadCurrentFile(zip, chunk.data(), unsigned(chunk.size()))) > 0)
            xmlParseChunk(parser, chunk.data(), read, 0);
        xmlParseChunk(parser, nullptr, 0, 1);
        ok = ok && read == 0 && parser->wellFormed && unzCloseCurrentFile(zip) == UNZ_OK;
        xmlFreeParserCtxt(parser);
    }
    unzClose(zip);
    return ok;
}

static double median(std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    return double(times[times.size() / 2]);
}

int main(int argc, char** argv)
{
    const QString dir = argc > 1 ? argv[1] : QDir::tempPath();
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    makeRun();
    const QByteArray ours = QFile::encodeName(dir + "/ours.xlsx");
    std::vector<qint64> write, read, floor, bare;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!XlsxHandler::writeExperimentFile(dir + "/ours.xlsx"))
            return 1;
        write.push_back(t.nsecsElapsed());
        t.restart();
        Global::CurveFileData data;
        if (XlsxHandler::readFile(dir + "/ours.xlsx", data) != 0 || data.phases.size() != Stages)
            return 1;
        read.push_back(t.nsecsElapsed());
        t.restart();
        if (!floorRead(ours.constData()))
            return 1;
        floor.push_back(t.nsecsElapsed());
        t.restart();
        bareWrite(QFile::encodeName(dir + "/bare.xlsx").constData());
        bare.push_back(t.nsecsElapsed());
    }
    std::printf("ours_write %.1f\nours_read %.1f\nread_floor %.1f\nbare_write %.1f\n", median(write) / 1e6,
                median(read) / 1e6, median(floor) / 1e6, median(bare) / 1e6);
    return 0;
}
