#ifndef WORKBOOK_H
#define WORKBOOK_H

#include <QString>
#include <QVariant>

#include <memory>

// One-sheet spreadsheet held in memory: read from an .xlsx package
// (liborcus) and written as one (libxlsxwriter). Rows and columns count from 1.
// A cell holds text or a number; a cell never written is "missing", which
// cellAt reports as an invalid QVariant (an empty text cell is a valid, empty
// QString).
class Workbook
{
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Replaces the content with the active worksheet of the package at path.
    // False (content empty, errorString set) when the file cannot be read, is
    // not a workbook package or its active sheet is not a worksheet.
    bool load(const QString& path);

    bool hasCell(int row, int column) const;
    // QString for text, double for a number, invalid QVariant when missing.
    QVariant cellAt(int row, int column) const;

    void write(int row, int column, const QString& value);
    void write(int row, int column, int value);
    // Stored as the float widened to double, so it reads back as the same float.
    void write(int row, int column, float value);
    void write(int row, int column, double value);

    // Last row holding a cell; 0 for an empty sheet.
    int lastRow() const;
    // Last column holding a cell; 0 for an empty sheet.
    int lastColumn() const;

    // Writes the sheet "Sheet1" to a temporary file beside path and renames it
    // into place, so a failed save leaves any file already at path untouched.
    // A number that is not finite has no form in the file and is left out.
    bool saveAs(const QString& path) const;

    QString errorString() const;

private:
    struct Data;
    std::unique_ptr<Data> _d;
};

#endif // WORKBOOK_H
