// libFuzzer target for workbook loading: arbitrary bytes as an .xlsx file
// through XlsxHandler::readFile (package, relationships, shared strings,
// sheet cells, then the experiment record). Built with
// FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION, so a mutated part is not turned
// away by its checksum before the parser and the record see it.
#include "global.h"
#include "xlsxhandler.h"

#include <easylogging++.h>

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&)
{
}

QString scratchFile()
{
    const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return folder + QStringLiteral("/quarnel-fuzz-%1.xlsx").arg(::getpid());
}

bool finite(const Global::ExperimentData& p)
{
    return std::isfinite(p.runTime) && std::isfinite(p.constantTempTime) && std::isfinite(p.temperature)
           && std::isfinite(p.dsc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = (qInstallMessageHandler(&quiet),
                                 el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false"),
                                 scratchFile());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    Global::CurveFileData record;
    const int result = XlsxHandler::readFile(path, record);
    // 3 and 4 are clean refusals: unreadable, or more analyses than the
    // reader draws.
    const bool refused = result == 3 || result == 4;
    if (result != 0 && !refused)
        std::abort();
    // A failed load leaves the record as it was; a loaded one holds only
    // finite points (numbers past the float range saturate).
    if (refused && (!record.fileName.isEmpty() || !record.phases.isEmpty()))
        std::abort();
    for (const Global::PhaseTotalInfo& stage : record.phases) {
        if (!std::isfinite(stage.phase.cutoffTemp) || !std::isfinite(stage.phase.scanRate))
            std::abort();
        for (const Global::ExperimentData& point : stage.data)
            if (!finite(point))
                std::abort();
    }
    return 0;
}
