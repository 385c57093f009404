#include "workbookdata.h"
#include "workbookpackage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>
#include <string_view>
#include <vector>

using namespace WorkbookStore;

namespace {

// Sheets a workbook may list, and the length of a relationship id.
constexpr size_t MaxSheets = 4096;
constexpr size_t MaxIdBytes = 255;

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

// An attribute's value as the part holds it (a relationship's target, a
// sheet's name). Without entity substitution libxml2 hands an attribute's "&"
// (written "&amp;" or "&#38;") over as "&#38;", so a literal "&#38;" arrives
// as "&#38;#38;": decoding each mark once is exact.
std::string decoded(std::string_view value)
{
    constexpr std::string_view Mark = "&#38;";
    std::string text;
    size_t from = 0;
    for (size_t at = value.find(Mark); at != std::string_view::npos; at = value.find(Mark, from)) {
        text.append(value.substr(from, at - from)).push_back('&');
        from = at + Mark.size();
    }
    return text.append(value.substr(from));
}

// An attribute that switches something on ("1" or "true").
template<size_t N>
bool isSet(const XmlAttributes& a, const char (&name)[N])
{
    const std::string_view value = a.value(name);
    return value == "1" || value == "true";
}

// An attribute present with a value other than 0, such as a style index or
// an outline level.
template<size_t N>
bool isNonZero(const XmlAttributes& a, const char (&name)[N])
{
    bool found = false;
    const std::string_view value = trimmed(a.value(name, &found));
    return found && !value.empty() && value != "0";
}

// What a worksheet element beside the cells holds that a rewrite of the
// values drops, as Workbook::Extra flags; 0 for what it may drop unseen
// (views, margins, page set-up).
int extraOf(const char* name, const XmlAttributes& a)
{
    if (isNamed(name, "col"))
        return isSet(a, "customWidth") || isSet(a, "hidden") || isNonZero(a, "style") || isNonZero(a, "outlineLevel")
                   ? Workbook::Formatting
                   : 0;
    if (isNamed(name, "mergeCell") || isNamed(name, "cfRule") || isNamed(name, "tabColor"))
        return Workbook::Formatting;
    if (isNamed(name, "legacyDrawing"))
        return Workbook::Notes;
    if (isNamed(name, "drawing") || isNamed(name, "legacyDrawingHF") || isNamed(name, "picture")
        || isNamed(name, "oleObject") || isNamed(name, "control") || isNamed(name, "tablePart")
        || isNamed(name, "hyperlink") || isNamed(name, "dataValidation") || isNamed(name, "autoFilter")
        || isNamed(name, "sheetProtection") || isNamed(name, "protectedRange") || isNamed(name, "sparklineGroup"))
        return Workbook::Objects;
    return 0;
}

// Longer than a cell of a saved workbook may hold: libxlsxwriter counts the
// characters as code points, so only a text of more bytes than that can be.
bool tooLongForACell(std::string_view text)
{
    if (text.size() <= size_t(Workbook::MaxTextLength))
        return false;
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
    return characters > Workbook::MaxTextLength;
}

// Whether a number cell's 16-digit print, the form a rewrite stores it in
// (libxlsxwriter's "%.16G"), reads back as another double: LibreOffice
// writes 0.30000000000000004, which would come back as 0.3. A text of at
// most 15 significant digits always reads back; only longer ones are printed.
bool changedByRewrite(std::string_view text, double value)
{
    if (text.size() < 16 || !std::isfinite(value))
        return false;
    int digits = 0;
    for (const char c : text.substr(0, text.find_first_of("eE"))) {
        if (c >= '0' && c <= '9' && (digits > 0 || c != '0'))
            ++digits;
    }
    if (digits <= 15)
        return false;
    char print[32];
    const char* end = std::to_chars(print, print + sizeof print, value, std::chars_format::general, 16).ptr;
    double back = 0.0;
    return std::from_chars(print, end, back).ec != std::errc() || back != value;
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
            idTarget = decoded(a.value("Target"));
            idType = a.value("Type");
        }
        if (!typeFound && !_typeSuffix.empty() && endsWith(a.value("Type"), _typeSuffix)) {
            typeFound = true;
            typeTarget = decoded(a.value("Target"));
        }
    }
    void endElement(const char*) override {}
    void characters(std::string_view) override {}

private:
    std::string _id;
    std::string _typeSuffix;
};

// The sheets a workbook lists with their names, and which one it opens on:
// activeTab of its first view (0 when absent), counting chart sheets too.
// Whether it defines names (a print area is one).
class WorkbookSheets : public XmlPartHandler
{
public:
    std::vector<std::string> ids;
    std::vector<std::string> names;
    size_t activeTab = 0;
    bool definedNames = false;

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
            if (ids.size() >= MaxSheets || id.size() > MaxIdBytes) {
                fail("the workbook lists too many sheets");
            } else {
                ids.emplace_back(id);
                names.push_back(decoded(a.value("name")));
            }
        } else if (isNamed(name, "definedName")) {
            definedNames = true;
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
        } else if (isNamed(name, "rPr")) {
            _d.extras |= Workbook::Formatting;
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
            else
                _d.extras |= extraOf(name, a);
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
        } else if (isNamed(name, "f") && _inCell) {
            _d.formulas = true;
        } else if (isNamed(name, "rPr") && _inInline) {
            _d.extras |= Workbook::Formatting;
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
        if (isSet(a, "customHeight") || isSet(a, "hidden") || (isSet(a, "customFormat") && isNonZero(a, "s"))
            || isNonZero(a, "outlineLevel"))
            _d.extras |= Workbook::Formatting;
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
            } else if (isNamed(a.name(i), "s") && trimmed(a.value(i)) != "0") {
                _d.extras |= Workbook::Formatting;
            }
        }
        // Rewritten, a date becomes its text and TRUE becomes 1; an error
        // value is not read at all.
        if (type == "b" || type == "e" || type == "d")
            _d.extras |= Workbook::OtherValues;
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
            if (_hasValue) {
                const double number = parseNumber(_text);
                if (changedByRewrite(_text, number))
                    _d.extras |= Workbook::PreciseNumbers;
                kept = _d.takeCell(row, _column, Cell::Number, number, 0);
            }
            break;
        case Type::Shared: {
            quint32 index = 0;
            if (!_hasValue)
                break;
            if (!parseInteger(_text, index) || index >= _sharedCount)
                return fail("a cell names a shared string that does not exist");
            noteLongText(_d.spanText(index));
            kept = _d.takeCell(row, _column, Cell::Text, 0.0, index);
            break;
        }
        case Type::Inline:
        case Type::Text:
            if ((_type == Type::Inline ? _hasInline : _hasValue)) {
                if (_d.arena.size() + _text.size() > MaxTextBytes || _d.spans.size() >= MaxCells)
                    return fail("the cell texts are too long");
                noteLongText(_text);
                kept = _d.takeCell(row, _column, Cell::Text, 0.0, _d.addText(_text));
            }
            break;
        case Type::None:
            break;
        }
        if (!kept)
            fail("the sheet holds too many cells");
    }

    void noteLongText(std::string_view text)
    {
        if (tooLongForACell(text))
            _d.extras |= Workbook::LongTexts;
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
// shared strings part too when the workbook has one, and the number of
// sheets. Empty on failure.
std::string activeWorksheet(WorkbookPackage& package, std::string& sharedStrings, Workbook::Data& d)
{
    QString& error = d.error;
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
    d.sheetCount = int(sheets.ids.size());
    if (sheets.definedNames)
        d.extras |= Workbook::Names;
    if (sheets.activeTab >= sheets.ids.size()) {
        error = QStringLiteral("the active sheet does not exist");
        return std::string();
    }
    d.sheetName = sheets.names[sheets.activeTab];
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

int Workbook::extras() const
{
    return _d->extras;
}

bool Workbook::load(const QString& path, const std::atomic<bool>* stop)
{
    _d->clear();
    _d->extras = 0;
    _d->error.clear();
    WorkbookPackage package(path);
    package.setStop(stop);
    bool loaded = package.isOpen();
    std::string sharedStrings;
    const std::string sheet = loaded ? activeWorksheet(package, sharedStrings, *_d) : std::string();
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
    _d->extras = 0;
    return false;
}

