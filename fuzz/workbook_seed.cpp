// Writes a small workbook of ours (two stages, a few points, two analyses)
// for the workbook fuzz target's seeds: workbook_seed OUT.xlsx
#include "global.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    Global::_experimentInfo = {"PE", "5.2", "2025-03-04", "李工", 0,
                               {PhaseInfoData{1, 200.0f, 10.0f, 5, 1}, PhaseInfoData{1, 25.0f, 0.1f, 0, 2}}};
    for (int s = 0; s < 2; ++s) {
        Global::CurveExperimentData record;
        for (int j = 0; j < 4; ++j)
            record.data.append({0.1f * (j + 1), 0.0f, 30.0f + 1.25f * j, -1.5f + 0.3f * j});
        Global::_experimentDataVtr.append(record);
    }
    Global::_analysisOperationVtr = {{"experiment", 4, 30.0, 33.0}, {"experiment", 1, 31.5, 31.5}};
    return XlsxHandler::writeExperimentFile(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
