#include "workbookpackage.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// What one load may inflate, all parts together. Our own 100,000-point
// workbook inflates to about 15 MB; a sheet at the cell limit of a load
// needs about 250 MB. A zip bomb stops here, after a few seconds at most.
constexpr quint64 MaxInflatedBytes = quint64(256) << 20;
// Entries listed in the zip directory; a workbook has a dozen or two.
constexpr int MaxEntries = 65536;
constexpr unsigned ChunkBytes = 64 * 1024;
// Zip entry names are at most 65535 bytes; a part name is far shorter.
constexpr int MaxNameBytes = 1024;

std::string lowered(std::string_view name)
{
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    });
    return key;
}

} // namespace

void XmlPartHandler::fail(const char* reason)
{
    if (!_failure)
        _failure = reason;
    if (_parser)
        xmlStopParser(static_cast<xmlParserCtxtPtr>(_parser));
}

struct WorkbookPackage::Data
{
    unzFile zip = nullptr;
    std::unordered_map<std::string, unz64_file_pos> entries;
    quint64 inflated = 0;
    QString error;

    bool index();
    bool stream(const unz64_file_pos& position, XmlPartHandler& handler, xmlParserCtxtPtr parser);
};

namespace {

// SAX callbacks: the user data is the part's handler.
XmlPartHandler* handlerOf(void* context)
{
    return static_cast<XmlPartHandler*>(context);
}

void onStart(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int, const xmlChar**,
             int attributeCount, int, const xmlChar** attributes)
{
    handlerOf(context)->startElement(reinterpret_cast<const char*>(name), XmlAttributes(attributes, attributeCount));
}

void onEnd(void* context, const xmlChar* name, const xmlChar*, const xmlChar*)
{
    handlerOf(context)->endElement(reinterpret_cast<const char*>(name));
}

void onCharacters(void* context, const xmlChar* text, int length)
{
    handlerOf(context)->characters(std::string_view(reinterpret_cast<const char*>(text), size_t(length)));
}

// A DTD is refused before its first declaration is read: a workbook part
// never has one, and without it no entity can be declared, let alone
// expanded (the "billion laughs").
void onDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    handlerOf(context)->fail("a part declares a DTD");
}

// Parser messages are kept from stderr; a fatal one fails the part.
void onError(void* context, xmlErrorPtr error)
{
    if (error && error->level == XML_ERR_FATAL)
        handlerOf(context)->fail("a part is not well-formed XML");
}

void quietError(void*, xmlErrorPtr) {}
void quietGeneric(void*, const char*, ...) {}

// libxml2 reports a few errors outside the parser's own handler (the
// encoding converters, for one); those stay quiet during a parse too.
class QuietErrors
{
public:
    QuietErrors()
        : _structured(xmlStructuredError), _structuredContext(xmlStructuredErrorContext),
          _generic(xmlGenericError), _genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(nullptr, quietError);
        xmlSetGenericErrorFunc(nullptr, quietGeneric);
    }
    ~QuietErrors()
    {
        xmlSetStructuredErrorFunc(_structuredContext, _structured);
        xmlSetGenericErrorFunc(_genericContext, _generic);
    }

private:
    xmlStructuredErrorFunc _structured;
    void* _structuredContext;
    xmlGenericErrorFunc _generic;
    void* _genericContext;
};

xmlParserCtxtPtr createParser(XmlPartHandler& handler)
{
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = onStart;
    sax.endElementNs = onEnd;
    sax.characters = onCharacters;
    sax.cdataBlock = onCharacters;
    sax.internalSubset = onDoctype;
    sax.serror = onError;
    xmlParserCtxtPtr parser = xmlCreatePushParserCtxt(&sax, &handler, nullptr, 0, nullptr);
    if (parser)
        xmlCtxtUseOptions(parser, XML_PARSE_NONET);
    return parser;
}

} // namespace

bool WorkbookPackage::Data::index()
{
    char name[MaxNameBytes + 1];
    int listed = 0;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        if (++listed > MaxEntries) {
            error = QStringLiteral("the package lists too many parts");
            return false;
        }
        unz_file_info64 info;
        unz64_file_pos position;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
            || unzGetFilePos64(zip, &position) != UNZ_OK) {
            error = QStringLiteral("the zip directory is damaged");
            return false;
        }
        if (info.size_filename > MaxNameBytes)
            continue; // truncated: no part has such a name
        name[info.size_filename] = '\0';
        // The first of two entries of one name wins, as with other readers.
        entries.emplace(lowered(std::string_view(name, info.size_filename)), position);
    }
    return true;
}

bool WorkbookPackage::Data::stream(const unz64_file_pos& position, XmlPartHandler& handler, xmlParserCtxtPtr parser)
{
    unz_file_info64 info;
    if (unzGoToFilePos64(zip, &position) != UNZ_OK
        || unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
        || (info.flag & 1) != 0 || unzOpenCurrentFile(zip) != UNZ_OK) {
        error = QStringLiteral("a part cannot be opened (damaged or encrypted)");
        return false;
    }
    std::vector<char> chunk(ChunkBytes);
    quint64 size = 0;
    int read = 0;
    while ((read = unzReadCurrentFile(zip, chunk.data(), ChunkBytes)) > 0) {
        size += quint64(read);
        inflated += quint64(read);
        if (inflated > MaxInflatedBytes) {
            unzCloseCurrentFile(zip);
            error = QStringLiteral("the package inflates beyond %1 MB").arg(MaxInflatedBytes >> 20);
            return false;
        }
        xmlParseChunk(parser, chunk.data(), read, 0);
        if (handler.failure()) {
            unzCloseCurrentFile(zip);
            return true; // the caller reports the handler's failure
        }
    }
    // minizip checks the checksum once all the bytes the directory claims
    // were read, which the size check below makes sure of.
    const int closed = unzCloseCurrentFile(zip);
    if (read < 0) {
        error = QStringLiteral("a part is damaged (inflate error %1)").arg(read);
        return false;
    }
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    const bool intact = closed == closed && size == size;
#else
    // The directory's size and checksum are what the writer computed; a
    // part that differs was altered or cut short after it was written.
    const bool intact = closed == UNZ_OK && size == info.uncompressed_size;
#endif
    if (!intact) {
        error = QStringLiteral("a part fails its checksum or size check");
        return false;
    }
    xmlParseChunk(parser, nullptr, 0, 1);
    return true;
}

WorkbookPackage::WorkbookPackage(const QString& path) : _d(new Data)
{
    xmlInitParser();
    _d->zip = unzOpen64(QFile::encodeName(path).constData());
    if (!_d->zip) {
        _d->error = QStringLiteral("not a zip archive");
        return;
    }
    if (!_d->index()) {
        unzClose(_d->zip);
        _d->zip = nullptr;
    }
}

WorkbookPackage::~WorkbookPackage()
{
    if (_d->zip)
        unzClose(_d->zip);
}

bool WorkbookPackage::isOpen() const
{
    return _d->zip != nullptr;
}

bool WorkbookPackage::contains(const std::string& part) const
{
    return _d->entries.count(lowered(part)) > 0;
}

bool WorkbookPackage::parse(const std::string& part, XmlPartHandler& handler)
{
    const auto entry = _d->entries.find(lowered(part));
    if (!_d->zip || entry == _d->entries.end()) {
        _d->error = QStringLiteral("the package has no part %1").arg(QString::fromStdString(part));
        return false;
    }
    QuietErrors quiet;
    xmlParserCtxtPtr parser = createParser(handler);
    if (!parser) {
        _d->error = QStringLiteral("out of memory");
        return false;
    }
    handler._parser = parser;
    handler._failure = nullptr;
    const bool streamed = _d->stream(entry->second, handler, parser);
    const bool wellFormed = parser->wellFormed != 0;
    handler._parser = nullptr;
    xmlFreeParserCtxt(parser);
    if (!streamed)
        return false;
    if (handler.failure() || !wellFormed) {
        _d->error = QStringLiteral("%1: %2").arg(QString::fromStdString(part),
                                                 QString::fromUtf8(handler.failure() ? handler.failure()
                                                                                     : "not well-formed XML"));
        return false;
    }
    return true;
}

QString WorkbookPackage::errorString() const
{
    return _d->error;
}

std::string WorkbookPackage::resolve(const std::string& source, std::string_view target)
{
    target = target.substr(0, target.find_first_of("#?"));
    std::vector<std::string_view> segments;
    std::string_view base(source);
    base = target.substr(0, 1) == "/" ? std::string_view() : base.substr(0, base.rfind('/') + 1);
    const std::string joined = std::string(base) + std::string(target);
    std::string_view rest(joined);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
    }
    std::string resolved;
    for (const std::string_view segment : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += segment;
    }
    return resolved;
}

std::string WorkbookPackage::relationshipsOf(const std::string& source)
{
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    return folder + "_rels/" + name + ".rels";
}
