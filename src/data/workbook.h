#ifndef WORKBOOK_H
#define WORKBOOK_H

#include <QString>
#include <QVariant>

#include <atomic>
#include <memory>

// One-sheet spreadsheet held in memory: read from the active worksheet of an
// .xlsx package (streamed, see WorkbookPackage) and written as one
// (libxlsxwriter). Rows and columns count from 1.
// A cell holds text or a number; a cell never written is "missing", which
// cellAt reports as an invalid QVariant (an empty text cell is a valid, empty
// QString).
class Workbook
{
public:
    // The largest sheet a spreadsheet program can hold (Excel 2007 and later).
    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;
    // Characters (code points) of the longest text a cell holds; saveAs
    // fails on a longer one.
    static constexpr int MaxTextLength = 32767;

    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Replaces the content with the active worksheet of the package at path.
    // False (content empty, errorString set) when the file cannot be read, is
    // not a workbook package, is damaged or too large, or its active sheet is
    // not a worksheet. With stop given, a load still under way when *stop
    // turns true (from another thread) ends soon after, as failed.
    bool load(const QString& path, const std::atomic<bool>* stop = nullptr);

    bool hasCell(int row, int column) const;
    // QString for text, double for a number, invalid QVariant when missing.
    QVariant cellAt(int row, int column) const;
    // cellAt(row, column).toDouble() without the QVariant: 0 when missing,
    // a text's number (0 when it holds none).
    double numberAt(int row, int column) const;

    void write(int row, int column, const QString& value);
    void write(int row, int column, int value);
    // Stored as the double nearest the shortest decimal that reads back as
    // value (25.012, not 25.011999130249), whenever the file's 16-digit print
    // of some double reads back as exactly that double: a reader then holds
    // the double every program shows as that decimal (0.6666667 is printed
    // 0.6666666999999999, which reads back as the double nearest 0.6666667).
    // Where none does, as the float's own double. Either way it reads back as
    // the same float.
    void write(int row, int column, float value);
    void write(int row, int column, double value);

    // Empties the cells from firstColumn to lastColumn of the rows from
    // firstRow to lastRow.
    void remove(int firstRow, int lastRow, int firstColumn, int lastColumn);

    // What a load found beside the active sheet's values, which this
    // one-sheet store of values cannot keep: the number of sheets the
    // package lists, and whether any cell of the active sheet holds a
    // formula (only its last result is kept).
    int sheetCount() const;
    bool hasFormulas() const;
    // The rest of what it found there, as flags: cell formatting (a style
    // other than the default, rich text, set widths or heights, hidden or
    // merged cells, conditional formats, a tab colour), notes, other objects
    // (drawings, pictures, tables, hyperlinks, data validation, filters,
    // protection, sparklines), cells holding TRUE/FALSE or an error value,
    // texts longer than saveAs can write into a cell (MaxTextLength), names
    // the workbook defines (a print area) and numbers that saveAs would
    // round (it stores 16 significant digits).
    enum Extra { Formatting = 1, Notes = 2, Objects = 4, OtherValues = 8, LongTexts = 16, Names = 32,
                 PreciseNumbers = 64 };
    int extras() const;

    // Last row holding a cell; 0 for an empty sheet.
    int lastRow() const;
    // Last column holding a cell; 0 for an empty sheet.
    int lastColumn() const;

    // Writes the sheet, under the name it was loaded with ("Sheet1" for a new
    // one), to a temporary file in a private folder beside
    // path and renames it into place, so a failed save leaves any file
    // already at path untouched. A target whose permission bits forbid us to
    // write it is not replaced. When path is a symbolic link, the file it
    // leads to is replaced and the link kept; a link leading nowhere is
    // refused. So is a workbook that was given a cell past the sheet's last
    // row or column: it would be saved short. A number that is not finite has
    // no form in the file and is left out. Numbers are written with a decimal
    // point whatever the locale of the process or of the calling thread.
    // Temporary folders that earlier saves into the same folder left behind
    // (the program was killed mid-save) are removed first.
    bool saveAs(const QString& path) const;

    QString errorString() const;

    struct Data; // filled by the package reader's handlers

private:
    std::unique_ptr<Data> _d;
};

#endif // WORKBOOK_H
