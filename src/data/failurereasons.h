#ifndef FAILUREREASONS_H
#define FAILUREREASONS_H

#include <QString>

// Why a workbook could not be read or saved, in words a lab user
// understands. The workbook layer reports its failures in English for the
// log; these turn them into the informative text of the warning box.
namespace FailureReasons {

// A refused read of path: readWorkbook's result (1 missing, 2 suffix, 3 not
// readable) and the workbook's errorString.
QString ofRead(int status, const QString& path, const QString& error);

// A failed save at path, from the workbook's errorString.
QString ofSave(const QString& path, const QString& error);

} // namespace FailureReasons

#endif // FAILUREREASONS_H
