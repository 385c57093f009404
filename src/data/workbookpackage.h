#ifndef WORKBOOKPACKAGE_H
#define WORKBOOKPACKAGE_H

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Element and attribute names are local names: a prefix ("x:c") is
// dropped, as writers use both forms. Compared without strlen, since a sheet
// of 100,000 rows has over a million of them.
template<size_t N>
inline bool isNamed(const char* name, const char (&literal)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (name[i] != literal[i])
            return false;
    }
    return true;
}

// Attributes of one element as the SAX parser hands them over.
class XmlAttributes
{
public:
    XmlAttributes(const unsigned char** attributes, int count) : _attributes(attributes), _count(count) {}
    int count() const { return _count; }
    const char* name(int i) const { return reinterpret_cast<const char*>(_attributes[5 * i]); }
    // True when the attribute carries a namespace prefix ("r:id").
    bool qualified(int i) const { return _attributes[5 * i + 1] || _attributes[5 * i + 2]; }
    std::string_view value(int i) const
    {
        const char* begin = reinterpret_cast<const char*>(_attributes[5 * i + 3]);
        return std::string_view(begin, size_t(reinterpret_cast<const char*>(_attributes[5 * i + 4]) - begin));
    }
    // Value of the attribute with this name; found is false when there is none.
    template<size_t N>
    std::string_view value(const char (&name)[N], bool* found = nullptr) const
    {
        for (int i = 0; i < _count; ++i) {
            if (isNamed(this->name(i), name)) {
                if (found)
                    *found = true;
                return value(i);
            }
        }
        if (found)
            *found = false;
        return std::string_view();
    }

private:
    const unsigned char** _attributes;
    int _count;
};

// Receives the elements of one part.
class XmlPartHandler
{
public:
    virtual ~XmlPartHandler() = default;
    virtual void startElement(const char* name, const XmlAttributes& attributes) = 0;
    virtual void endElement(const char* name) = 0;
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
    // A parse under way stops within a chunk once *stop turns true, and
    // counts as failed. Set from another thread; null for none.
    void setStop(const std::atomic<bool>* stop);
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
