#include "workbook.h"

#include <QFile>
#include <QFileInfo>

#include <ixion/cell.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/model_context.hpp>
#include <ixion/model_iterator.hpp>
#include <orcus/dom_tree.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/xml_namespace.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The largest sheet a spreadsheet program can hold (Excel 2007 and later).
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;

// The most cells a loaded sheet may span; walking a range costs about 20 ns a
// cell, so this keeps a workbook with one stray far-away cell under a second
// instead of minutes. Our own workbooks span five columns.
constexpr qint64 MaxRangeCells = qint64(1) << 25;

struct Cell
{
    enum Kind : quint8 { Text, Number };
    int column = 0;
    Kind kind = Number;
    int text = 0; // index into Data::texts when kind is Text
    double number = 0.0;
};

bool inSheet(int row, int column)
{
    return row >= 1 && row <= MaxRows && column >= 1 && column <= MaxColumns;
}

bool beforeColumn(const Cell& cell, int column)
{
    return cell.column < column;
}

} // namespace

struct Workbook::Data
{
    // rows[r - 1] holds the cells of row r ordered by column; only the cells
    // that exist take room, so a far-away cell costs nothing in between.
    std::vector<std::vector<Cell>> rows;
    std::vector<std::string> texts; // UTF-8, as libxlsxwriter takes them
    int lastColumn = 0;
    QString error;

    const Cell* find(int row, int column) const
    {
        if (row < 1 || row > int(rows.size()))
            return nullptr;
        const std::vector<Cell>& cells = rows[size_t(row - 1)];
        const auto it = std::lower_bound(cells.begin(), cells.end(), column, beforeColumn);
        return it != cells.end() && it->column == column ? &*it : nullptr;
    }

    Cell* place(int row, int column)
    {
        if (!inSheet(row, column))
            return nullptr;
        if (row > int(rows.size()))
            rows.resize(size_t(row));
        std::vector<Cell>& cells = rows[size_t(row - 1)];
        lastColumn = std::max(lastColumn, column);
        if (cells.empty() || cells.back().column < column) {
            cells.emplace_back();
            cells.back().column = column;
            return &cells.back();
        }
        auto it = std::lower_bound(cells.begin(), cells.end(), column, beforeColumn);
        if (it == cells.end() || it->column != column) {
            it = cells.insert(it, Cell());
            it->column = column;
        }
        return &*it;
    }

    void setNumber(int row, int column, double value)
    {
        if (Cell* cell = place(row, column)) {
            cell->kind = Cell::Number;
            cell->number = value;
        }
    }

    void setText(int row, int column, std::string value)
    {
        if (Cell* cell = place(row, column)) {
            cell->kind = Cell::Text;
            cell->text = int(texts.size());
            texts.push_back(std::move(value));
        }
    }

    void clear()
    {
        rows.clear();
        texts.clear();
        lastColumn = 0;
    }

    void takeCell(const ixion::model_context& cxt, const ixion::model_iterator::cell& c);
    bool takeCells(const orcus::spreadsheet::document& doc, ixion::sheet_t sheet);
    lxw_error writeCells(lxw_worksheet* sheet) const;
};

namespace {

const char* const RelationshipsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string_view asText(const std::vector<unsigned char>& part)
{
    return std::string_view(reinterpret_cast<const char*>(part.data()), part.size());
}

orcus::dom::const_node firstChild(const orcus::dom::const_node& node, std::string_view name)
{
    for (size_t i = 0; i < node.child_count(); ++i) {
        const orcus::dom::const_node child = node.child(i);
        if (child.type() == orcus::dom::node_t::element && child.name().name == name)
            return child;
    }
    return orcus::dom::const_node();
}

orcus::dom::const_node nthChild(const orcus::dom::const_node& node, std::string_view name, size_t n)
{
    for (size_t i = 0; i < node.child_count(); ++i) {
        const orcus::dom::const_node child = node.child(i);
        if (child.type() == orcus::dom::node_t::element && child.name().name == name && n-- == 0)
            return child;
    }
    return orcus::dom::const_node();
}

// The workbook names its active sheet by position (activeTab, 0 when absent)
// among all its sheets, chart sheets included, as the import numbers them.
// Spreadsheet programs open on it; a chart sheet there means the workbook
// has no current worksheet, and so does a missing worksheet part. Returns
// the position, or -1.
int activeWorksheet(const orcus::zip_archive& archive)
{
    std::vector<unsigned char> book;
    std::vector<unsigned char> rels;
    if (!archive.read_file_entry("xl/workbook.xml", book)
        || !archive.read_file_entry("xl/_rels/workbook.xml.rels", rels))
        return -1;
    orcus::xmlns_repository repository;
    orcus::xmlns_context bookNs = repository.create_context();
    orcus::dom::document_tree bookTree(bookNs);
    bookTree.load(asText(book));
    const orcus::dom::const_node root = bookTree.root();
    const orcus::dom::const_node view = firstChild(firstChild(root, "bookViews"), "workbookView");
    const std::string activeTab(view.type() == orcus::dom::node_t::element ? view.attribute("activeTab") : "");
    const size_t active = activeTab.empty() ? 0 : std::stoul(activeTab);
    const orcus::dom::const_node sheet = nthChild(firstChild(root, "sheets"), "sheet", active);
    if (sheet.type() != orcus::dom::node_t::element)
        return -1;
    orcus::xmlns_context lookup = repository.create_context();
    const orcus::xmlns_id_t relationships = lookup.push("r", RelationshipsNs);
    const std::string_view id = sheet.attribute(orcus::dom::entity_name(relationships, "id"));

    orcus::xmlns_context relsNs = repository.create_context();
    orcus::dom::document_tree relsTree(relsNs);
    relsTree.load(asText(rels));
    const orcus::dom::const_node list = relsTree.root();
    for (size_t i = 0; i < list.child_count(); ++i) {
        const orcus::dom::const_node rel = list.child(i);
        if (rel.type() == orcus::dom::node_t::element && rel.attribute("Id") == id) {
            const std::string_view type = rel.attribute("Type");
            const std::string_view worksheet = "/worksheet";
            const bool isWorksheet = type.size() >= worksheet.size()
                                     && type.substr(type.size() - worksheet.size()) == worksheet;
            std::vector<unsigned char> part;
            const std::string target = "xl/" + std::string(rel.attribute("Target"));
            return isWorksheet && archive.read_file_entry(target, part) ? int(active) : -1;
        }
    }
    return -1;
}

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// True when every character reference ("&#65;", "&#x41;") names a code point
// from 1 to U+10FFFF. liborcus 0.17 stops the whole process on an assertion
// when it meets one past U+10FFFF or a negative one, so a package holding such
// a reference must never reach it.
bool characterReferencesValid(std::string_view xml)
{
    for (size_t at = xml.find("&#"); at != std::string_view::npos; at = xml.find("&#", at + 2)) {
        size_t i = at + 2;
        const bool hex = i < xml.size() && xml[i] == 'x';
        i += hex ? 1 : 0;
        const size_t start = i;
        while (i < xml.size() && xml[i] == '0')
            ++i;
        quint64 value = 0;
        for (int digits = 0; i < xml.size() && digitValue(xml[i], hex) >= 0 && digits < 9; ++i, ++digits)
            value = value * (hex ? 16 : 10) + quint64(digitValue(xml[i], hex));
        if (i == start || i >= xml.size() || xml[i] != ';' || value == 0 || value > 0x10FFFF)
            return false;
    }
    return true;
}

bool looksLikeXml(std::string_view part)
{
    const size_t first = part.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return first != std::string_view::npos && part[first] == '<';
}

// orcus 0.17 silently leaves out what it cannot resolve: worksheets named by
// an absolute part name ("/xl/worksheets/sheet1.xml") and inline-string
// cells. Such a package would read as a blank or textless sheet, so it is
// refused rather than read wrong. Every XML part is checked, whatever its
// name, since the import follows the relationships wherever they point.
QString packageProblem(const orcus::zip_archive& archive)
{
    std::vector<unsigned char> part;
    if (!archive.read_file_entry("[Content_Types].xml", part) || !archive.read_file_entry("xl/workbook.xml", part))
        return QStringLiteral("not a workbook package");
    if (archive.read_file_entry("xl/_rels/workbook.xml.rels", part)
        && asText(part).find("Target=\"/") != std::string_view::npos)
        return QStringLiteral("absolute part names are not supported");
    for (size_t i = 0; i < archive.get_file_entry_count(); ++i) {
        const std::string_view name = archive.get_file_entry_name(i);
        if (!archive.read_file_entry(name, part) || !looksLikeXml(asText(part)))
            continue;
        if (!characterReferencesValid(asText(part)))
            return QStringLiteral("invalid character reference in %1").arg(QString::fromUtf8(name.data(), int(name.size())));
        if (name.substr(0, 14) == "xl/worksheets/" && asText(part).find("t=\"inlineStr\"") != std::string_view::npos)
            return QStringLiteral("inline strings are not supported");
    }
    return QString();
}

// Checks the package before the import sees it (a damaged central directory
// or a missing workbook part is refused here) and finds its active worksheet.
int readablePackage(const QString& path, QString& error)
{
    try {
        orcus::zip_archive_stream_fd stream(QFile::encodeName(path).constData());
        orcus::zip_archive archive(&stream);
        archive.load();
        error = packageProblem(archive);
        if (!error.isEmpty())
            return -1;
        const int active = activeWorksheet(archive);
        if (active < 0)
            error = QStringLiteral("the active sheet is not a worksheet");
        return active;
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
    }
    if (error.isEmpty())
        error = QStringLiteral("not a workbook package");
    return -1;
}

} // namespace

void Workbook::Data::takeCell(const ixion::model_context& cxt, const ixion::model_iterator::cell& c)
{
    const int row = int(c.row) + 1;
    const int column = int(c.col) + 1;
    switch (c.type) {
    case ixion::celltype_t::numeric:
        setNumber(row, column, std::get<double>(c.value));
        break;
    case ixion::celltype_t::boolean:
        setNumber(row, column, std::get<bool>(c.value) ? 1.0 : 0.0);
        break;
    case ixion::celltype_t::string:
        if (const std::string* s = cxt.get_string(std::get<ixion::string_id_t>(c.value)))
            setText(row, column, *s);
        break;
    case ixion::celltype_t::formula: {
        // The value the saving program cached; a formula is never recalculated.
        const ixion::formula_cell* f = std::get<const ixion::formula_cell*>(c.value);
        const ixion::formula_result r = f->get_result_cache(ixion::formula_result_wait_policy_t::throw_exception);
        if (r.get_type() == ixion::formula_result::result_type::value)
            setNumber(row, column, r.get_value());
        else if (r.get_type() == ixion::formula_result::result_type::string)
            setText(row, column, r.get_string());
        break;
    }
    default:
        break;
    }
}

bool Workbook::Data::takeCells(const orcus::spreadsheet::document& doc, ixion::sheet_t sheet)
{
    const ixion::model_context& cxt = doc.get_model_context();
    const ixion::abs_range_t range = cxt.get_data_range(sheet);
    if (!range.valid())
        return true;
    const qint64 cells = qint64(range.last.row - range.first.row + 1) * (range.last.column - range.first.column + 1);
    if (cells > MaxRangeCells) {
        error = QStringLiteral("the sheet spans too many cells");
        return false;
    }
    ixion::model_iterator it = cxt.get_model_iterator(sheet, ixion::rc_direction_t::vertical, range);
    for (; it.has(); it.next()) {
        const ixion::model_iterator::cell& c = it.get();
        if (c.type == ixion::celltype_t::empty || c.type == ixion::celltype_t::unknown)
            continue;
        try {
            takeCell(cxt, c);
        } catch (...) {
            // A formula without a cached result is left out, as an empty cell.
        }
    }
    return true;
}

namespace {

// A fresh name in the target's own folder, so the final rename stays on one
// file system and is atomic.
QString temporaryPathBeside(const QString& path)
{
    const QFileInfo info(path);
    for (int attempt = 0;; ++attempt) {
        const QString candidate = info.absolutePath() + QStringLiteral("/.") + info.fileName()
                                  + QStringLiteral(".%1-%2.tmp").arg(::getpid()).arg(attempt);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

Workbook::Workbook() : _d(new Data) {}

Workbook::~Workbook() = default;

bool Workbook::load(const QString& path)
{
    _d->clear();
    _d->error.clear();
    const int active = readablePackage(path, _d->error);
    if (active < 0)
        return false;
    try {
        orcus::spreadsheet::document doc({MaxRows, MaxColumns});
        orcus::spreadsheet::import_factory factory(doc);
        orcus::orcus_xlsx filter(&factory);
        filter.read_file(QFile::encodeName(path).toStdString());
        if (size_t(active) >= doc.get_sheet_count()) {
            _d->error = QStringLiteral("the active sheet is not a worksheet");
            return false;
        }
        if (_d->takeCells(doc, ixion::sheet_t(active)))
            return true;
    } catch (const std::exception& e) {
        _d->error = QString::fromUtf8(e.what());
    } catch (...) {
    }
    if (_d->error.isEmpty())
        _d->error = QStringLiteral("unreadable workbook");
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
    const std::string& text = _d->texts[size_t(cell->text)];
    return QVariant(QString::fromUtf8(text.data(), int(text.size())));
}

void Workbook::write(int row, int column, const QString& value)
{
    _d->setText(row, column, value.toStdString());
}

void Workbook::write(int row, int column, int value)
{
    _d->setNumber(row, column, double(value));
}

void Workbook::write(int row, int column, float value)
{
    _d->setNumber(row, column, double(value));
}

void Workbook::write(int row, int column, double value)
{
    _d->setNumber(row, column, value);
}

int Workbook::lastRow() const
{
    return int(_d->rows.size());
}

int Workbook::lastColumn() const
{
    return _d->lastColumn;
}

lxw_error Workbook::Data::writeCells(lxw_worksheet* sheet) const
{
    for (size_t r = 0; r < rows.size(); ++r) {
        for (const Cell& cell : rows[r]) {
            // A sheet cannot hold NaN or infinity: libxlsxwriter would write
            // "NAN" or "INF", and spreadsheet programs then refuse the whole
            // workbook. Such a cell is left empty.
            if (cell.kind == Cell::Number && !std::isfinite(cell.number))
                continue;
            const lxw_col_t column = lxw_col_t(cell.column - 1);
            const lxw_error e = cell.kind == Cell::Number
                                    ? worksheet_write_number(sheet, lxw_row_t(r), column, cell.number, nullptr)
                                    : worksheet_write_string(sheet, lxw_row_t(r), column,
                                                             texts[size_t(cell.text)].c_str(), nullptr);
            if (e != LXW_NO_ERROR)
                return e;
        }
    }
    return LXW_NO_ERROR;
}

bool Workbook::saveAs(const QString& path) const
{
    _d->error.clear();
    const QString temporary = temporaryPathBeside(path);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    lxw_workbook* book = workbook_new(temporaryName.constData());
    if (!book) {
        _d->error = QStringLiteral("cannot create the workbook");
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    lxw_error e = sheet ? _d->writeCells(sheet) : LXW_ERROR_MEMORY_MALLOC_FAILED;
    const lxw_error closed = workbook_close(book);
    if (e == LXW_NO_ERROR)
        e = closed;
    if (e == LXW_NO_ERROR && !syncFile(temporary))
        e = LXW_ERROR_CREATING_XLSX_FILE;
    if (e == LXW_NO_ERROR && std::rename(temporaryName.constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    _d->error = e != LXW_NO_ERROR ? QString::fromUtf8(lxw_strerror(e))
                                  : QStringLiteral("cannot replace %1").arg(path);
    QFile::remove(temporary);
    return false;
}

QString Workbook::errorString() const
{
    return _d->error;
}
