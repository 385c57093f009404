#include "xlsxhandler.h"

#include "workbook.h"

QString XlsxHandler::_currentFilePath;

bool XlsxHandler::writeExperimentFile(QString) { return false; }
bool XlsxHandler::writeSmoothnessFile(QString) { return false; }
bool XlsxHandler::appendAnalysisOperation(QString) { return false; }
std::unique_ptr<Workbook> XlsxHandler::openXlsxFile(const QString&) { return nullptr; }
void XlsxHandler::writeAnalysisOperation(Workbook*, int) {}
int XlsxHandler::readFile(QString, Global::CurveFileData&) { return 1; }
void XlsxHandler::readPhaseData(Workbook*, int&, Global::PhaseTotalInfo&) {}
void XlsxHandler::readAnalysisOperation(Workbook*, int&, Global::CurveFileData&) {}
