#ifndef WORKBOOKPACKAGE_H
#define WORKBOOKPACKAGE_H

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Attributes of one element as the SAX parser hands them over.
class XmlAttributes
{
public:
    XmlAttributes(const unsigned char** attributes, int count) : _attributes(attributes), _count(count) {}
    // Value of the attribute with this local name; with qualified set only an
    // attribute that carries a namespace prefix ("r:id") counts.
    // found is false when there is no such attribute.
    std::string_view value(std::string_view localName, bool* found = nullptr, bool qualified = false) const;

private:
    const unsigned char** _attributes;
    int _count;
};

// Receives the elements of one part. Element names are local names: a
// prefix ("x:c") is dropped, as spreadsheet programs write both forms.
class XmlPartHandler
{
public:
    virtual ~XmlPartHandler() = default;
    virtual void startElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    virtual void characters(std::string_view text) = 0;

    // Stops the parse; the part then counts as unreadable.
    void fail(const char* reason);
    const char* failure() const { return _failure; }

private:
    friend class WorkbookPackage;
    void* _parser = nullptr;
    const char* _failure = nullptr;
};

// An .xlsx package (a zip) whose parts are streamed, in chunks, through
// libxml2's SAX parser. Nothing the zip claims about itself is trusted: a
// part is inflated only as far as the package's byte budget allows, and its
// checksum and size are checked against the directory at its end.
class WorkbookPackage
{
public:
    explicit WorkbookPackage(const QString& path);
    ~WorkbookPackage();
    WorkbookPackage(const WorkbookPackage&) = delete;
    WorkbookPackage& operator=(const WorkbookPackage&) = delete;

    // False (errorString set) when the file is no zip archive.
    bool isOpen() const;
    // Part names without a leading "/", compared ignoring ASCII case as
    // part names are.
    bool contains(const std::string& part) const;
    // Streams the part through handler. False (errorString set) when the
    // part is missing, damaged, over budget, not well-formed XML or carries a
    // DTD, or when handler failed.
    bool parse(const std::string& part, XmlPartHandler& handler);
    QString errorString() const;

    // Target of a relationship named in source part: relative to the source
    // part's folder, or to the package root when it starts with "/"; "." and
    // ".." segments collapsed.
    static std::string resolve(const std::string& source, std::string_view target);
    // The relationships part that belongs to source ("" for the package).
    static std::string relationshipsOf(const std::string& source);

private:
    struct Data;
    std::unique_ptr<Data> _d;
};

#endif // WORKBOOKPACKAGE_H
