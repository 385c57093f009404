#include "workbook.h"

#include "workbookpackage.h"

#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The largest sheet a spreadsheet program can hold (Excel 2007 and later).
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;

// The most cells one load keeps (16 bytes each): over 1.6 million rows of
// our five columns, 128 MB at most, whatever the package claims.
constexpr size_t MaxCells = size_t(1) << 23;
// Text of all cells and shared strings together.
constexpr size_t MaxTextBytes = size_t(64) << 20;
// Sheets a workbook may list, and the length of a relationship id.
constexpr size_t MaxSheets = 4096;
constexpr size_t MaxIdBytes = 255;

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

quint64 keyOf(quint32 row, int column)
{
    return (quint64(row) << 16) | quint64(column);
}

quint64 keyOf(const Cell& cell)
{
    return keyOf(cell.row, cell.column);
}

// The powers of ten a double holds exactly.
constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool inSheet(int row, int column)
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

} // namespace

struct Workbook::Data
{
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
    QString error;

    const Cell* find(int row, int column) const;
    Cell* place(int row, int column);
    quint32 addText(std::string_view text);
    bool takeCell(quint32 row, int column, Cell::Kind kind, double number, quint32 text);
    void finishLoad();
    void clear();
    std::string_view textOf(const Cell& cell) const
    {
        const Span& s = spans[cell.text];
        return std::string_view(arena.data() + s.offset, s.length);
    }
    lxw_error writeCells(lxw_worksheet* sheet) const;
};

const Cell* Workbook::Data::find(int row, int column) const
{
    if (row < 1 || row > lastRow || column < 1 || column > lastColumn)
        return nullptr;
    if (!rowStart.empty()) {
        for (quint32 i = rowStart[size_t(row)]; i < rowStart[size_t(row) + 1]; ++i) {
            if (cells[i].column >= column)
                return cells[i].column == column ? &cells[i] : nullptr;
        }
        return nullptr;
    }
    const quint64 key = keyOf(quint32(row), column);
    const auto it = std::lower_bound(cells.begin(), cells.end(), key,
                                     [](const Cell& c, quint64 k) { return keyOf(c) < k; });
    return it != cells.end() && keyOf(*it) == key ? &*it : nullptr;
}

Cell* Workbook::Data::place(int row, int column)
{
    if (!inSheet(row, column))
        return nullptr;
    rowStart.clear();
    lastRow = std::max(lastRow, row);
    lastColumn = std::max(lastColumn, column);
    const quint64 key = keyOf(quint32(row), column);
    if (cells.empty() || keyOf(cells.back()) < key) {
        cells.push_back(Cell{quint32(row), quint16(column), Cell::Number, {0.0}});
        return &cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), key,
                               [](const Cell& c, quint64 k) { return keyOf(c) < k; });
    if (it == cells.end() || keyOf(*it) != key)
        it = cells.insert(it, Cell{quint32(row), quint16(column), Cell::Number, {0.0}});
    return &*it;
}

quint32 Workbook::Data::addText(std::string_view text)
{
    spans.push_back(Span{quint32(arena.size()), quint32(text.size())});
    arena.append(text);
    arena.push_back('\0');
    return quint32(spans.size() - 1);
}

// A cell as a load finds it, in file order; false when the sheet holds
// more cells than a load keeps.
bool Workbook::Data::takeCell(quint32 row, int column, Cell::Kind kind, double number, quint32 text)
{
    if (cells.size() >= MaxCells)
        return false;
    Cell cell{row, quint16(column), kind, {number}};
    if (kind == Cell::Text)
        cell.text = text;
    if (!cells.empty() && keyOf(cells.back()) >= keyOf(cell))
        ordered = false;
    cells.push_back(cell);
    lastRow = std::max(lastRow, int(row));
    lastColumn = std::max(lastColumn, column);
    return true;
}

void Workbook::Data::finishLoad()
{
    if (!ordered) {
        // Spreadsheet programs keep the last of two cells at one position.
        std::stable_sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return keyOf(a) < keyOf(b); });
        size_t kept = 0;
        for (size_t i = 0; i < cells.size(); ++i) {
            if (kept > 0 && keyOf(cells[kept - 1]) == keyOf(cells[i]))
                --kept;
            cells[kept++] = cells[i];
        }
        cells.resize(kept);
        ordered = true;
    }
    rowStart.assign(size_t(lastRow) + 2, quint32(cells.size()));
    for (size_t i = cells.size(); i-- > 0;)
        rowStart[cells[i].row] = quint32(i);
    for (size_t r = size_t(lastRow) + 1; r-- > 0;)
        rowStart[r] = std::min(rowStart[r], rowStart[r + 1]);
}

void Workbook::Data::clear()
{
    cells.clear();
    rowStart.clear();
    arena.clear();
    spans.clear();
    lastRow = 0;
    lastColumn = 0;
    ordered = true;
}

namespace {

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

template<typename T>
bool parseInteger(std::string_view text, T& value)
{
    text = trimmed(text);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Decimals of at most 19 digits, without exponent, whose digits fit in a
// double's 53 bits and whose scale is an exact power of ten (up to 1e22):
// one correctly rounded division then gives the correctly rounded value
// (Clinger's fast path). Most cells of a sheet are such; false otherwise.
bool parsePlainDecimal(std::string_view text, double& value)
{
    const char* c = text.data();
    const char* const end = c + text.size();
    const bool negative = c != end && *c == '-';
    c += negative ? 1 : 0;
    const char* const first = c;
    quint64 digits = 0;
    for (; c != end && unsigned(*c - '0') < 10; ++c)
        digits = digits * 10 + quint64(*c - '0');
    const char* const point = c;
    if (c != end && *c == '.') {
        for (++c; c != end && unsigned(*c - '0') < 10; ++c)
            digits = digits * 10 + quint64(*c - '0');
    }
    const int decimals = point == c ? 0 : int(c - point) - 1;
    const int count = int(c - first) - (point == c ? 0 : 1);
    if (c != end || count == 0 || count > 19 || digits > (quint64(1) << 53) || decimals > 22)
        return false;
    value = double(digits) / PowersOfTen[decimals];
    value = negative ? -value : value;
    return true;
}

// A number cell's text, correctly rounded and independent of the locale.
// A magnitude past the double range saturates; text that is no number
// gives NaN, which the experiment reader counts as an empty value.
double parseNumber(std::string_view text)
{
    double value = std::numeric_limits<double>::quiet_NaN();
    if (parsePlainDecimal(text, value))
        return value;
    text = trimmed(text);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size() || text.empty())
        return std::numeric_limits<double>::quiet_NaN();
    if (ec == std::errc::result_out_of_range) {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        const std::string copy(text);
        value = strtod_l(copy.c_str(), nullptr, cLocale);
        return std::max(-std::numeric_limits<double>::max(), std::min(std::numeric_limits<double>::max(), value));
    }
    return ec == std::errc() ? value : std::numeric_limits<double>::quiet_NaN();
}

// "B16" as row 16, column 2; false for anything else or beyond XFD1048576.
bool parseReference(std::string_view ref, int& row, int& column)
{
    size_t i = 0;
    column = 0;
    for (; i < ref.size() && i < 4 && ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
        column = column * 26 + (ref[i] - 'A' + 1);
    const size_t letters = i;
    row = 0;
    for (; i < ref.size() && i < letters + 8 && ref[i] >= '0' && ref[i] <= '9'; ++i)
        row = row * 10 + (ref[i] - '0');
    return letters > 0 && i > letters && i == ref.size() && inSheet(row, column);
}

// Finds relationships of one part: the one with an id, or the first of a type.
class Relationships : public XmlPartHandler
{
public:
    Relationships(std::string_view id, std::string_view typeSuffix) : _id(id), _typeSuffix(typeSuffix) {}

    std::string idTarget, idType, typeTarget;
    bool idFound = false, typeFound = false;

    void startElement(const char* name, const XmlAttributes& a) override
    {
        if (!isNamed(name, "Relationship") || a.value("TargetMode") == "External")
            return;
        if (!idFound && !_id.empty() && a.value("Id") == _id) {
            idFound = true;
            idTarget = a.value("Target");
            idType = a.value("Type");
        }
        if (!typeFound && !_typeSuffix.empty() && endsWith(a.value("Type"), _typeSuffix)) {
            typeFound = true;
            typeTarget = a.value("Target");
        }
    }
    void endElement(const char*) override {}
    void characters(std::string_view) override {}

private:
    std::string _id;
    std::string _typeSuffix;
};

// The sheets a workbook lists, and which one it opens on: activeTab of its
// first view (0 when absent), counting chart sheets too.
class WorkbookSheets : public XmlPartHandler
{
public:
    std::vector<std::string> ids;
    size_t activeTab = 0;

    void startElement(const char* name, const XmlAttributes& a) override
    {
        if (isNamed(name, "workbookView") && !_viewSeen) {
            _viewSeen = true;
            bool found = false;
            const std::string_view tab = a.value("activeTab", &found);
            if (found && !parseInteger(tab, activeTab))
                fail("the active tab is no number");
        } else if (isNamed(name, "sheet")) {
            std::string_view id;
            for (int i = 0; i < a.count(); ++i) {
                if (isNamed(a.name(i), "id") && a.qualified(i))
                    id = a.value(i);
            }
            if (ids.size() >= MaxSheets || id.size() > MaxIdBytes)
                fail("the workbook lists too many sheets");
            else
                ids.emplace_back(id);
        }
    }
    void endElement(const char*) override {}
    void characters(std::string_view) override {}

private:
    bool _viewSeen = false;
};

// A string item (<si>, <is>) is all its <t> text, rich-text runs joined and
// phonetic runs (<rPh>) left out.
struct StringItem
{
    int phonetic = 0;
    bool inText = false;

    void start(const char* name, bool inItem)
    {
        if (isNamed(name, "rPh"))
            ++phonetic;
        else if (isNamed(name, "t") && inItem && phonetic == 0)
            inText = true;
    }
    void end(const char* name)
    {
        if (isNamed(name, "t"))
            inText = false;
        else if (isNamed(name, "rPh"))
            --phonetic;
    }
};

class SharedStrings : public XmlPartHandler
{
public:
    explicit SharedStrings(Workbook::Data& d) : _d(d) {}

    void startElement(const char* name, const XmlAttributes&) override
    {
        if (isNamed(name, "si")) {
            _inItem = true;
            _start = _d.arena.size();
        } else {
            _item.start(name, _inItem);
        }
    }
    void endElement(const char* name) override
    {
        if (!isNamed(name, "si") || !_inItem) {
            _item.end(name);
        } else {
            _inItem = false;
            if (_d.spans.size() >= MaxCells)
                return fail("too many shared strings");
            _d.spans.push_back(Span{quint32(_start), quint32(_d.arena.size() - _start)});
            _d.arena.push_back('\0');
        }
    }
    void characters(std::string_view text) override
    {
        if (!_item.inText)
            return;
        if (_d.arena.size() + text.size() > MaxTextBytes)
            return fail("the shared strings are too long");
        _d.arena.append(text);
    }

private:
    Workbook::Data& _d;
    StringItem _item;
    size_t _start = 0;
    bool _inItem = false;
};

// Text of one cell, gathered from the parser's pieces: a number's few
// characters stay in place, longer texts go to the heap.
class CellText
{
public:
    void clear()
    {
        _size = 0;
        _long.clear();
    }
    size_t size() const { return _long.empty() ? _size : _long.size(); }
    void append(std::string_view text)
    {
        if (_long.empty() && _size + text.size() <= sizeof _short) {
            std::memcpy(_short + _size, text.data(), text.size());
            _size += text.size();
            return;
        }
        if (_long.empty())
            _long.assign(_short, _size);
        _long.append(text);
    }
    operator std::string_view() const { return _long.empty() ? std::string_view(_short, _size) : _long; }

private:
    char _short[64];
    size_t _size = 0;
    std::string _long;
};

// The cells of a worksheet's <sheetData>.
class SheetCells : public XmlPartHandler
{
public:
    SheetCells(Workbook::Data& d, quint32 sharedCount) : _d(d), _sharedCount(sharedCount) {}

    void startElement(const char* name, const XmlAttributes& a) override
    {
        if (!_inSheetData) {
            _inSheetData = isNamed(name, "sheetData");
            if (isNamed(name, "dimension"))
                reserve(a.value("ref"));
        } else if (isNamed(name, "c")) {
            startCell(a);
        } else if (isNamed(name, "v") && _inCell) {
            _inValue = _hasValue = true;
            _text.clear();
        } else if (isNamed(name, "row")) {
            startRow(a);
        } else if (isNamed(name, "is") && _inCell) {
            _inInline = _hasInline = true;
            _text.clear();
        } else {
            _item.start(name, _inInline);
        }
    }
    void endElement(const char* name) override
    {
        if (isNamed(name, "v")) {
            _inValue = false;
        } else if (isNamed(name, "c") && _inCell) {
            _inCell = false;
            finishCell();
        } else if (isNamed(name, "is")) {
            _inInline = false;
        } else if (isNamed(name, "sheetData")) {
            _inSheetData = false;
        } else {
            _item.end(name);
        }
    }
    void characters(std::string_view text) override
    {
        if (!_inValue && !_item.inText)
            return;
        if (_text.size() + text.size() > MaxTextBytes)
            return fail("a cell text is too long");
        _text.append(text);
    }

private:
    enum class Type { Number, Shared, Inline, Text, Boolean, None };

    // Room for the cells the sheet's used range ("A1:E100016") spans; only
    // a hint, bounded like the cells themselves.
    void reserve(std::string_view range)
    {
        int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
        const size_t colon = range.find(':');
        if (colon == std::string_view::npos || !parseReference(range.substr(0, colon), firstRow, firstColumn)
            || !parseReference(range.substr(colon + 1), lastRow, lastColumn))
            return;
        const qint64 cells = qint64(std::abs(lastRow - firstRow) + 1) * (std::abs(lastColumn - firstColumn) + 1);
        _d.cells.reserve(size_t(std::min<qint64>(cells, MaxCells)));
    }

    void startRow(const XmlAttributes& a)
    {
        bool found = false;
        const std::string_view r = a.value("r", &found);
        int row = _rowOfRow + 1;
        if (found && !parseInteger(r, row))
            return fail("a row number is no number");
        if (row < 1 || row > MaxRows)
            return fail("a row lies beyond the sheet");
        _rowOfRow = _row = row;
        _column = 0;
    }

    void startCell(const XmlAttributes& a)
    {
        bool found = false;
        std::string_view ref, type;
        for (int i = 0; i < a.count(); ++i) {
            if (isNamed(a.name(i), "r")) {
                found = true;
                ref = a.value(i);
            } else if (isNamed(a.name(i), "t")) {
                type = a.value(i);
            }
        }
        if (found) {
            if (!parseReference(ref, _row, _column))
                return fail("a cell reference is malformed or beyond XFD1048576");
        } else if (++_column > MaxColumns || _row < 1) {
            return fail("a cell lies beyond the sheet");
        }
        _type = typeOf(type);
        _inCell = true;
        _hasValue = _hasInline = false;
        _text.clear();
    }

    static Type typeOf(std::string_view t)
    {
        if (t.empty() || t == "n")
            return Type::Number;
        if (t == "s")
            return Type::Shared;
        if (t == "inlineStr")
            return Type::Inline;
        if (t == "str" || t == "d") // a formula's cached text; an ISO date
            return Type::Text;
        if (t == "b")
            return Type::Boolean;
        return Type::None; // "e": an error value reads as no cell
    }

    void finishCell()
    {
        const quint32 row = quint32(_row);
        bool kept = true;
        switch (_type) {
        case Type::Number:
        case Type::Boolean:
            if (_hasValue)
                kept = _d.takeCell(row, _column, Cell::Number, parseNumber(_text), 0);
            break;
        case Type::Shared: {
            quint32 index = 0;
            if (!_hasValue)
                break;
            if (!parseInteger(_text, index) || index >= _sharedCount)
                return fail("a cell names a shared string that does not exist");
            kept = _d.takeCell(row, _column, Cell::Text, 0.0, index);
            break;
        }
        case Type::Inline:
        case Type::Text:
            if ((_type == Type::Inline ? _hasInline : _hasValue)) {
                if (_d.arena.size() + _text.size() > MaxTextBytes || _d.spans.size() >= MaxCells)
                    return fail("the cell texts are too long");
                kept = _d.takeCell(row, _column, Cell::Text, 0.0, _d.addText(_text));
            }
            break;
        case Type::None:
            break;
        }
        if (!kept)
            fail("the sheet holds too many cells");
    }

    Workbook::Data& _d;
    const quint32 _sharedCount;
    CellText _text;
    Type _type = Type::None;
    int _rowOfRow = 0;
    int _row = 0;
    int _column = 0;
    StringItem _item;
    bool _inSheetData = false, _inCell = false, _inValue = false, _inInline = false;
    bool _hasValue = false, _hasInline = false;
};

const char* const OfficeDocumentType = "/officeDocument";
const char* const WorksheetType = "/worksheet";
const char* const SharedStringsType = "/sharedStrings";

// Follows _rels/.rels to the workbook part, the workbook to its active
// sheet and that sheet's relationship to the worksheet part; fills the
// shared strings part too when the workbook has one. Empty on failure.
std::string activeWorksheet(WorkbookPackage& package, std::string& sharedStrings, QString& error)
{
    Relationships root("", OfficeDocumentType);
    if (!package.parse("_rels/.rels", root))
        return std::string();
    if (!root.typeFound) {
        error = QStringLiteral("the package names no workbook");
        return std::string();
    }
    const std::string book = WorkbookPackage::resolve(std::string(), root.typeTarget);
    WorkbookSheets sheets;
    if (!package.parse(book, sheets))
        return std::string();
    if (sheets.activeTab >= sheets.ids.size()) {
        error = QStringLiteral("the active sheet does not exist");
        return std::string();
    }
    Relationships rels(sheets.ids[sheets.activeTab], SharedStringsType);
    if (!package.parse(WorkbookPackage::relationshipsOf(book), rels))
        return std::string();
    if (!rels.idFound || !endsWith(rels.idType, WorksheetType)) {
        error = QStringLiteral("the active sheet is not a worksheet");
        return std::string();
    }
    if (rels.typeFound)
        sharedStrings = WorkbookPackage::resolve(book, rels.typeTarget);
    return WorkbookPackage::resolve(book, rels.idTarget);
}

} // namespace

Workbook::Workbook() : _d(new Data) {}

Workbook::~Workbook() = default;

bool Workbook::load(const QString& path)
{
    _d->clear();
    _d->error.clear();
    WorkbookPackage package(path);
    bool loaded = package.isOpen();
    std::string sharedStrings;
    const std::string sheet = loaded ? activeWorksheet(package, sharedStrings, _d->error) : std::string();
    loaded = !sheet.empty();
    if (loaded && !sharedStrings.empty() && package.contains(sharedStrings)) {
        SharedStrings strings(*_d);
        loaded = package.parse(sharedStrings, strings);
    }
    if (loaded) {
        SheetCells cells(*_d, quint32(_d->spans.size()));
        loaded = package.parse(sheet, cells);
    }
    if (loaded) {
        _d->finishLoad();
        return true;
    }
    if (_d->error.isEmpty())
        _d->error = package.errorString();
    _d->clear();
    return false;
}

bool Workbook::hasCell(int row, int column) const
{
    return _d->find(row, column) != nullptr;
}

QVariant Workbook::cellAt(int row, int column) const
{
    const Cell* cell = _d->find(row, column);
    if (!cell)
        return QVariant();
    if (cell->kind == Cell::Number)
        return QVariant(cell->number);
    const std::string_view text = _d->textOf(*cell);
    return QVariant(QString::fromUtf8(text.data(), int(text.size())));
}

double Workbook::numberAt(int row, int column) const
{
    const Cell* cell = _d->find(row, column);
    if (!cell)
        return 0.0;
    return cell->kind == Cell::Number ? cell->number : cellAt(row, column).toDouble();
}

void Workbook::write(int row, int column, const QString& value)
{
    if (Cell* cell = _d->place(row, column)) {
        cell->kind = Cell::Text;
        cell->text = _d->addText(value.toStdString());
    }
}

void Workbook::write(int row, int column, int value)
{
    write(row, column, double(value));
}

void Workbook::write(int row, int column, float value)
{
    write(row, column, shortestDouble(value));
}

void Workbook::write(int row, int column, double value)
{
    if (Cell* cell = _d->place(row, column)) {
        cell->kind = Cell::Number;
        cell->number = value;
    }
}

namespace {

// Significant digits of a decimal text, exponent left out.
int significantDigits(const char* begin, const char* end)
{
    int digits = 0, zeros = 0;
    bool leading = true;
    for (const char* c = begin; c != end && *c != 'e' && *c != 'E'; ++c) {
        if (*c < '0' || *c > '9')
            continue;
        if (*c == '0' && leading)
            continue;
        leading = false;
        zeros = *c == '0' ? zeros + 1 : 0;
        ++digits;
    }
    return digits - zeros;
}

// libxlsxwriter prints a number with 16 significant digits ("%.16G"). The
// double nearest a short decimal usually prints as that decimal, but when
// the decimal's leading digit is large a 16th digit can show up
// (5.422035000000001E+30); a neighbouring double may then print right.
// std::to_chars with a precision of 16 gives printf's digits, four times
// faster.
bool printsAs(double candidate, int digits)
{
    char printed[40];
    const std::to_chars_result r = std::to_chars(printed, printed + sizeof printed, candidate,
                                                 std::chars_format::general, 16);
    return significantDigits(printed, r.ptr) <= digits;
}

} // namespace

namespace {

// A decimal text of std::to_chars as digits x 10^exponent, with the count
// of its significant digits.
struct Decimal
{
    quint64 digits = 0;
    int exponent = 0;
    int significant = 0;
};

bool decompose(const char* c, const char* end, Decimal& d)
{
    c += c != end && *c == '-' ? 1 : 0;
    bool fraction = false;
    for (; c != end && *c != 'e'; ++c) {
        if (*c == '.') {
            fraction = true;
            continue;
        }
        d.digits = d.digits * 10 + quint64(*c - '0');
        d.significant += d.digits > 0 ? 1 : 0;
        d.exponent -= fraction ? 1 : 0;
    }
    if (c == end)
        return true;
    int power = 0;
    c += c + 1 != end && c[1] == '+' ? 2 : 1;
    if (std::from_chars(c, end, power).ec != std::errc())
        return false;
    d.exponent += power;
    return true;
}

// The double nearest the decimal, when it prints as that decimal with 16
// significant digits for certain; 0 otherwise (the caller then takes the
// general way). Exact arithmetic: with p = 10^-exponent an exact double,
// d = digits / p is correctly rounded, d * p is hi + lo exactly (fma), and
// (hi - digits) + lo is (d - decimal) * p; the 16-digit print is the
// decimal when that lies within half a unit of its 16th digit.
double nearestPrintingAs(const Decimal& dec, bool negative)
{
    if (dec.exponent > 0 || dec.exponent < -22 || dec.digits > (quint64(1) << 53) || dec.significant > 16
        || dec.digits == 0)
        return 0.0;
    const double digits = double(dec.digits);
    const double p = PowersOfTen[-dec.exponent];
    const double d = digits / p;
    const double hi = d * p;
    const double lo = std::fma(d, p, -hi);
    const double error = std::abs((hi - digits) + lo);
    // Half a unit of the 16th digit, times p, with a margin for the one
    // rounding of the sum above.
    const double halfUnit = 0.5 / PowersOfTen[16 - dec.significant] * (1.0 - 1e-9);
    return error < halfUnit ? (negative ? -d : d) : 0.0;
}

} // namespace

double Workbook::shortestDouble(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char text[32];
    const std::to_chars_result printed = std::to_chars(text, text + sizeof text, value);
    Decimal dec;
    if (decompose(text, printed.ptr, dec)) {
        const double d = nearestPrintingAs(dec, value < 0);
        if (d != 0.0 && float(d) == value)
            return d;
    }
    double shortest = 0.0;
    std::from_chars(text, printed.ptr, shortest);
    // Rounding the decimal to double and then to float can, rarely, land
    // on the neighbouring float; the float's own double is exact.
    if (float(shortest) != value)
        return double(value);
    const int digits = significantDigits(text, printed.ptr);
    for (const double candidate : {shortest, std::nextafter(shortest, HUGE_VAL), std::nextafter(shortest, -HUGE_VAL)}) {
        if (printsAs(candidate, digits))
            return candidate;
    }
    return double(value);
}

int Workbook::lastRow() const
{
    return _d->lastRow;
}

int Workbook::lastColumn() const
{
    return _d->lastColumn;
}

lxw_error Workbook::Data::writeCells(lxw_worksheet* sheet) const
{
    for (const Cell& cell : cells) {
        // A sheet cannot hold NaN or infinity: libxlsxwriter would write
        // "NAN" or "INF", and spreadsheet programs then refuse the whole
        // workbook. Such a cell is left empty.
        if (cell.kind == Cell::Number && !std::isfinite(cell.number))
            continue;
        const lxw_row_t row = lxw_row_t(cell.row - 1);
        const lxw_col_t column = lxw_col_t(cell.column - 1);
        const lxw_error e = cell.kind == Cell::Number
                                ? worksheet_write_number(sheet, row, column, cell.number, nullptr)
                                : worksheet_write_string(sheet, row, column, textOf(cell).data(), nullptr);
        if (e != LXW_NO_ERROR)
            return e;
    }
    return LXW_NO_ERROR;
}

namespace {

bool inGroup(gid_t group)
{
    if (group == ::getegid())
        return true;
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    return std::find(groups, groups + std::max(count, 0), group) != groups + std::max(count, 0);
}

// Judged by the permission bits alone: a superuser could write anything,
// but a workbook marked read-only is still not to be replaced.
bool writableByUs(const struct stat& st)
{
    if (st.st_uid == ::geteuid())
        return (st.st_mode & S_IWUSR) != 0;
    if (inGroup(st.st_gid))
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// A private folder beside the target (same file system, so the final
// rename is atomic). mkdir creates it or fails, and never follows a link
// planted at its name; only we can then put anything inside. The name stays
// short whatever the target's, so a 255-byte target name still saves.
QByteArray makeScratchFolder(const QByteArray& folder)
{
    QByteArray scratch = folder + "/.qsave";
    if (::mkdir(scratch.constData(), 0700) == 0)
        return scratch;
    if (errno != EEXIST)
        return QByteArray();
    scratch = folder + "/.qsave-XXXXXX";
    return ::mkdtemp(scratch.data()) ? scratch : QByteArray();
}

bool syncFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

bool Workbook::saveAs(const QString& path) const
{
    _d->error.clear();
    const QByteArray target = QFile::encodeName(path);
    struct stat existing;
    const bool replacing = ::stat(target.constData(), &existing) == 0;
    if (replacing && (!S_ISREG(existing.st_mode) || !writableByUs(existing))) {
        _d->error = QStringLiteral("%1 is read-only or no file").arg(path);
        return false;
    }
    const QByteArray scratch = makeScratchFolder(QFile::encodeName(QFileInfo(path).absolutePath()));
    if (scratch.isEmpty()) {
        _d->error = QStringLiteral("cannot create a temporary folder beside %1").arg(path);
        return false;
    }
    const QByteArray temporary = scratch + "/book.xlsx";
    lxw_error e = LXW_ERROR_CREATING_XLSX_FILE;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    if (lxw_workbook* book = workbook_new_opt(temporary.constData(), &options)) {
        lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
        e = sheet ? _d->writeCells(sheet) : LXW_ERROR_MEMORY_MALLOC_FAILED;
        const lxw_error closed = workbook_close(book);
        e = e != LXW_NO_ERROR ? e : closed;
    }
    if (e == LXW_NO_ERROR && replacing)
        ::chmod(temporary.constData(), existing.st_mode & 07777);
    if (e == LXW_NO_ERROR && !syncFile(temporary))
        e = LXW_ERROR_CREATING_XLSX_FILE;
    const bool saved = e == LXW_NO_ERROR && std::rename(temporary.constData(), target.constData()) == 0;
    if (!saved) {
        _d->error = e != LXW_NO_ERROR ? QString::fromUtf8(lxw_strerror(e))
                                      : QStringLiteral("cannot replace %1").arg(path);
        ::unlink(temporary.constData());
    }
    ::rmdir(scratch.constData());
    return saved;
}

QString Workbook::errorString() const
{
    return _d->error;
}
