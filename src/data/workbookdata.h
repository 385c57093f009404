#ifndef WORKBOOKDATA_H
#define WORKBOOKDATA_H

// The cells of a Workbook, shared by its store and writer (workbook.cpp)
// and its package reader (workbookreader.cpp); nothing else includes it.
#include "workbook.h"

#include <xlsxwriter.h>

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace WorkbookStore {

inline constexpr int MaxRows = Workbook::MaxRows;
inline constexpr int MaxColumns = Workbook::MaxColumns;

// The most cells one load keeps (16 bytes each): over 1.6 million rows of
// our five columns, 128 MB at most, whatever the package claims.
inline constexpr size_t MaxCells = size_t(1) << 23;
// Text of all cells and shared strings together.
inline constexpr size_t MaxTextBytes = size_t(64) << 20;

struct Cell
{
    enum Kind : quint8 { Number, Text };
    quint32 row;
    quint16 column;
    Kind kind;
    union {
        double number;
        quint32 text; // index into Data::spans
    };
};

inline quint64 keyOf(quint32 row, int column)
{
    return (quint64(row) << 16) | quint64(column);
}

inline quint64 keyOf(const Cell& cell)
{
    return keyOf(cell.row, cell.column);
}

// The powers of ten a double holds exactly.
inline constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool inSheet(int row, int column)
{
    return row >= 1 && row <= MaxRows && column >= 1 && column <= MaxColumns;
}

// Text of a cell: bytes of Data::arena, which keeps a NUL after each text
// so libxlsxwriter can take it as it is.
struct Span
{
    quint32 offset;
    quint32 length;
};

} // namespace WorkbookStore

struct Workbook::Data
{
    using Cell = WorkbookStore::Cell;
    using Span = WorkbookStore::Span;

    // Ordered by row, then column, one cell per position; only the cells
    // that exist take room, so a far-away cell costs nothing in between.
    std::vector<Cell> cells;
    // rowStart[r] is the first cell of row r or later; built after a load
    // and dropped by any write (lookups then search the ordered cells).
    std::vector<quint32> rowStart;
    std::string arena;
    std::vector<Span> spans;
    int lastRow = 0;
    int lastColumn = 0;
    bool ordered = true; // false while a load appends cells out of order
    int sheetCount = 0;
    std::string sheetName; // UTF-8; empty for a sheet not loaded
    bool formulas = false;
    int extras = 0; // Workbook::Extra flags
    // A write fell outside the sheet; saving would lose it.
    bool outside = false;
    QString error;

    const Cell* find(int row, int column) const;
    Cell* place(int row, int column);
    quint32 addText(std::string_view text);
    bool takeCell(quint32 row, int column, Cell::Kind kind, double number, quint32 text);
    void finishLoad();
    void clear();
    std::string_view textOf(const Cell& cell) const { return spanText(cell.text); }
    std::string_view spanText(quint32 span) const
    {
        const Span& s = spans[span];
        return std::string_view(arena.data() + s.offset, s.length);
    }
    lxw_error writeCells(lxw_worksheet* sheet) const;
};


#endif // WORKBOOKDATA_H
