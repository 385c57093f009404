#include "workbookdata.h"

#include "atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace WorkbookStore;

const WorkbookStore::Cell* Workbook::Data::find(int row, int column) const
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

WorkbookStore::Cell* Workbook::Data::place(int row, int column)
{
    if (!inSheet(row, column)) {
        outside = true;
        return nullptr;
    }
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
    sheetCount = 0;
    sheetName.clear();
    formulas = false;
    outside = false;
}

Workbook::Workbook() : _d(new Data) {}

Workbook::~Workbook() = default;

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

// libxlsxwriter prints a number with 16 significant digits ("%.16G");
// std::to_chars with a precision of 16 gives printf's digits, four times
// faster. The text ends at end.
char* printed16(double value, char* begin, char* end)
{
    return std::to_chars(begin, end, value, std::chars_format::general, 16).ptr;
}

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

// The double a reader should get back for value: the one nearest its
// shortest decimal. The file holds a double's 16-digit print, and what counts
// is that the print reads back as that double; of the nearest double and its
// two neighbours, the one whose print does so with the fewest digits is
// written (when the decimal's leading digit is large, the nearest double can
// print a 16th digit, 5.422035000000001E+30, where a neighbour prints
// 5.422035E+30). The float's own double where none does.
double shortestDouble(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char text[32];
    // Scientific, so that a whole number keeps only its significant digits:
    // 87860890 for the float 87860888, as every shortest print shows it.
    const std::to_chars_result printed = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    Decimal dec;
    if (decompose(text, printed.ptr, dec)) {
        const double d = nearestPrintingAs(dec, value < 0);
        if (d != 0.0 && float(d) == value)
            return d;
    }
    double nearest = 0.0;
    std::from_chars(text, printed.ptr, nearest);
    // Rounding the decimal to double and then to float can, rarely, land
    // on the neighbouring float; the float's own double is exact.
    if (float(nearest) != value)
        return double(value);
    double chosen = 0.0;
    int fewest = std::numeric_limits<int>::max();
    for (const double candidate : {nearest, std::nextafter(nearest, HUGE_VAL), std::nextafter(nearest, -HUGE_VAL)}) {
        char print[40];
        const char* end = printed16(candidate, print, print + sizeof print);
        double back = 0.0;
        const int digits = significantDigits(print, end);
        if (std::from_chars(print, end, back).ec == std::errc() && back == nearest && digits < fewest) {
            chosen = candidate;
            fewest = digits;
        }
    }
    return fewest < std::numeric_limits<int>::max() ? chosen : double(value);
}

} // namespace

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

// Texts of removed cells stay in the arena until the workbook goes.
void Workbook::remove(int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    std::vector<Cell>& cells = _d->cells;
    cells.erase(std::remove_if(cells.begin(), cells.end(),
                               [&](const Cell& c) {
                                   return int(c.row) >= firstRow && int(c.row) <= lastRow
                                          && c.column >= firstColumn && c.column <= lastColumn;
                               }),
                cells.end());
    _d->rowStart.clear();
    _d->lastRow = cells.empty() ? 0 : int(cells.back().row);
    _d->lastColumn = 0;
    for (const Cell& c : cells)
        _d->lastColumn = std::max(_d->lastColumn, int(c.column));
}

int Workbook::sheetCount() const
{
    return _d->sheetCount;
}

bool Workbook::hasFormulas() const
{
    return _d->formulas;
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

bool syncFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Holds the C locale on the calling thread while it lives. libxlsxwriter
// prints numbers with the printf family, which follows the thread's locale
// (a German one writes <v>150,5</v>, which no reader takes for 150.5), and
// whoever calls us may have set any locale, globally or for this thread.
class CLocaleScope
{
public:
    CLocaleScope() : _previous(::uselocale(cLocale())) {}
    ~CLocaleScope() { ::uselocale(_previous); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t cLocale()
    {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return c;
    }
    locale_t _previous;
};

// Writes the sheet to file; the whole write, the closing included (it
// prints the column widths and styles), runs in the C locale.
lxw_error writeBook(const Workbook::Data& data, const QByteArray& file)
{
    const CLocaleScope cLocale;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book)
        return LXW_ERROR_CREATING_XLSX_FILE;
    // A name libxlsxwriter refuses (a damaged file's) gives way to the usual one.
    const std::string& name = data.sheetName;
    const bool ownName = !name.empty() && workbook_validate_sheet_name(book, name.c_str()) == LXW_NO_ERROR;
    lxw_worksheet* sheet = workbook_add_worksheet(book, ownName ? name.c_str() : "Sheet1");
    const lxw_error e = sheet ? data.writeCells(sheet) : LXW_ERROR_MEMORY_MALLOC_FAILED;
    const lxw_error closed = workbook_close(book);
    return e != LXW_NO_ERROR ? e : closed;
}

} // namespace

bool Workbook::saveAs(const QString& path) const
{
    _d->error.clear();
    if (_d->outside) {
        _d->error = QStringLiteral("cells lie past the sheet's last row or column");
        return false;
    }
    const QByteArray target = replacementTarget(QFile::encodeName(path));
    if (target.isEmpty()) {
        _d->error = QStringLiteral("%1 is a link to no file").arg(path);
        return false;
    }
    struct stat existing;
    const bool replacing = ::stat(target.constData(), &existing) == 0;
    if (replacing && (!S_ISREG(existing.st_mode) || !writableByUs(existing))) {
        _d->error = QStringLiteral("%1 is read-only or no file").arg(path);
        return false;
    }
    const ScratchFolder scratch(QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath()));
    if (!scratch.isValid()) {
        _d->error = QStringLiteral("cannot create a temporary folder beside %1").arg(path);
        return false;
    }
    const QByteArray temporary = scratch.filePath();
    lxw_error e = writeBook(*_d, temporary);
    if (e == LXW_NO_ERROR && replacing)
        ::chmod(temporary.constData(), existing.st_mode & 07777);
    if (e == LXW_NO_ERROR && !syncFile(temporary))
        e = LXW_ERROR_CREATING_XLSX_FILE;
    const bool saved = e == LXW_NO_ERROR && std::rename(temporary.constData(), target.constData()) == 0;
    if (!saved)
        _d->error = e != LXW_NO_ERROR ? QString::fromUtf8(lxw_strerror(e))
                                      : QStringLiteral("cannot replace %1").arg(path);
    return saved;
}

QString Workbook::errorString() const
{
    return _d->error;
}
