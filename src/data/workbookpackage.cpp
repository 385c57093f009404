#include "workbookpackage.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <unzip.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
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
    const std::atomic<bool>* stop = nullptr;
    std::unordered_map<std::string, unz64_file_pos> entries;
    quint64 inflated = 0;
    QString error;

    enum class Inflated { Complete, Stopped, Failed };

    bool index();
    bool open(const unz64_file_pos& position, unz_file_info64& info);
    Inflated inflate(const unz_file_info64& info, const std::function<bool(const char*, int)>& take);
    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }
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

bool WorkbookPackage::Data::open(const unz64_file_pos& position, unz_file_info64& info)
{
    if (unzGoToFilePos64(zip, &position) != UNZ_OK
        || unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
        || (info.flag & 1) != 0 || unzOpenCurrentFile(zip) != UNZ_OK) {
        error = QStringLiteral("a part cannot be opened (damaged or encrypted)");
        return false;
    }
    return true;
}

// Inflates the open entry chunk by chunk into take, which returns false to
// stop early; closes the entry.
WorkbookPackage::Data::Inflated WorkbookPackage::Data::inflate(const unz_file_info64& info,
                                                                const std::function<bool(const char*, int)>& take)
{
    std::vector<char> chunk(ChunkBytes);
    quint64 size = 0;
    int read = 0;
    while ((read = unzReadCurrentFile(zip, chunk.data(), ChunkBytes)) > 0) {
        size += quint64(read);
        inflated += quint64(read);
        if (inflated > MaxInflatedBytes) {
            unzCloseCurrentFile(zip);
            error = QStringLiteral("the package inflates beyond %1 MB").arg(MaxInflatedBytes >> 20);
            return Inflated::Failed;
        }
        if (!take(chunk.data(), read)) {
            unzCloseCurrentFile(zip);
            return Inflated::Stopped;
        }
    }
    // minizip checks the checksum once all the bytes the directory claims
    // were read, which the size check below makes sure of.
    const int closed = unzCloseCurrentFile(zip);
    if (read < 0) {
        error = QStringLiteral("a part is damaged (inflate error %1)").arg(read);
        return Inflated::Failed;
    }
    // The directory's size and checksum are what the writer computed; a
    // part that differs was altered or cut short after it was written.
    bool intact = closed == UNZ_OK && size == info.uncompressed_size;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A mutated part nearly always fails the check, which would keep the
    // fuzzer from ever reaching the XML parser and the cell handlers.
    intact = true;
#endif
    if (!intact) {
        error = QStringLiteral("a part fails its checksum or size check");
        return Inflated::Failed;
    }
    return Inflated::Complete;
}

namespace {

// Inflated chunks from the inflating thread to the parsing one; a few at a
// time, so memory stays small whatever the part's size.
class ChunkPipe
{
public:
    bool push(const char* data, int size)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [this] { return _stopped || _chunks.size() < Depth; });
        if (_stopped)
            return false;
        std::vector<char> buffer;
        if (!_spare.empty()) {
            buffer.swap(_spare.back());
            _spare.pop_back();
        }
        buffer.assign(data, data + size);
        _chunks.push_back(std::move(buffer));
        _changed.notify_all();
        return true;
    }
    // Hands over the next chunk in exchange for the one before, whose
    // buffer is used again: no allocation per chunk.
    bool pop(std::vector<char>& chunk)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [this] { return _closed || !_chunks.empty(); });
        if (_chunks.empty())
            return false;
        chunk.swap(_chunks.front());
        _spare.push_back(std::move(_chunks.front()));
        _chunks.pop_front();
        _changed.notify_all();
        return true;
    }
    void close() { set(_closed); }
    void stop() { set(_stopped); }

private:
    static constexpr size_t Depth = 8;

    void set(bool& flag)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        flag = true;
        _changed.notify_all();
    }

    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<std::vector<char>> _chunks;
    std::vector<std::vector<char>> _spare;
    bool _closed = false;
    bool _stopped = false;
};

// Parts that claim this much are inflated on a thread of their own while
// the parser works through the chunks before; inflating is about a quarter
// of a large sheet's reading time. The claim only picks the way: both are
// bounded alike.
constexpr quint64 PipelinedBytes = quint64(1) << 20;

// Excel stores a workbook with a password to open, like every .xls, as an
// OLE compound file, which begins with these eight bytes.
bool isCompoundFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray::fromHex("D0CF11E0A1B11AE1");
}

} // namespace

bool WorkbookPackage::Data::stream(const unz64_file_pos& position, XmlPartHandler& handler, xmlParserCtxtPtr parser)
{
    unz_file_info64 info;
    if (!open(position, info))
        return false;
    Inflated outcome = Inflated::Failed;
    ChunkPipe pipe;
    std::thread inflater;
    if (info.uncompressed_size >= PipelinedBytes) {
        try {
            inflater = std::thread([&] {
                outcome = inflate(info, [&pipe](const char* data, int size) { return pipe.push(data, size); });
                pipe.close();
            });
        } catch (const std::system_error&) {
            // No thread to be had: the part is read in turn below.
        }
    }
    const auto parse = [&](const char* data, int size) {
        if (stopped())
            handler.fail("the read was stopped");
        else
            xmlParseChunk(parser, data, size, 0);
        return handler.failure() == nullptr;
    };
    if (inflater.joinable()) {
        std::vector<char> chunk;
        bool going = true;
        while (going && pipe.pop(chunk))
            going = parse(chunk.data(), int(chunk.size()));
        pipe.stop();
        inflater.join();
    } else {
        outcome = inflate(info, parse);
    }
    if (outcome == Inflated::Failed)
        return false;
    if (outcome == Inflated::Complete && !handler.failure())
        xmlParseChunk(parser, nullptr, 0, 1);
    return true; // the caller reports a handler's failure
}

WorkbookPackage::WorkbookPackage(const QString& path) : _d(new Data)
{
    xmlInitParser();
    _d->zip = unzOpen64(QFile::encodeName(path).constData());
    if (!_d->zip) {
        _d->error = isCompoundFile(path) ? QStringLiteral("an OLE compound file, not a zip archive "
                                                          "(a workbook with a password, or an .xls)")
                                         : QStringLiteral("not a zip archive");
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

void WorkbookPackage::setStop(const std::atomic<bool>* stop)
{
    _d->stop = stop;
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
