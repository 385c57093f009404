// Writes and reads a run of 100,000 points in 3 stages: once through
// XlsxHandler, once as a bare libxlsxwriter loop writing the same cells (the
// floor for our writer). Prints "name milliseconds" lines.
#include "global.h"
#include "xlsxhandler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cstdio>

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

int main(int argc, char** argv)
{
    const QString dir = argc > 1 ? argv[1] : QDir::tempPath();
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    makeRun();
    qint64 write = 0, read = 0, bare = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!XlsxHandler::writeExperimentFile(dir + "/ours.xlsx"))
            return 1;
        write += t.restart();
        Global::CurveFileData data;
        if (XlsxHandler::readFile(dir + "/ours.xlsx", data) != 0 || data.phases.size() != Stages)
            return 1;
        read += t.restart();
        bareWrite(QFile::encodeName(dir + "/bare.xlsx").constData());
        bare += t.restart();
    }
    std::printf("ours_write %.1f\nours_read %.1f\nbare_write %.1f\n", double(write) / rounds,
                double(read) / rounds, double(bare) / rounds);
    return 0;
}
