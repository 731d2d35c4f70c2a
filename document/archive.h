#pragma once
// The object archive: little-endian primitives, length-prefixed texts and
// self-describing object records sharing one index space. One CArchive either
// reads (over a byte span) or writes (into its own buffer), never both.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

constexpr int CURRENT_ARCHIVE_VERSION = 95610;

// Classes and objects share one index space per archive; it ends here.
constexpr std::uint32_t ARCHIVE_INDEX_LIMIT = 0x3FFFFFFE;
// Deepest nesting of object records read (or written) inside object records.
// Real patches stay far below it; a hostile file could otherwise nest
// references until the stack overflows.
constexpr int MAX_OBJECT_NESTING = 1000;
// Class names are stored with fewer characters than this.
constexpr std::size_t MAX_CLASS_NAME_LENGTH = 63;

enum class ArchiveError {
    end_of_file,      // fewer bytes than a field needs
    bad_index,        // reference outside the index space, or the index limit reached
    bad_class,        // unknown class, over-long class name, or a class that is not the one required
    bad_schema,       // stored schema of an unversioned class differs from its current one
    wrong_direction,  // reading from a writing archive or writing to a reading one
    generic,          // any other malformed content (a class reader may raise it)
};

const char* archive_error_text(ArchiveError cause);

class CArchiveException : public std::exception {
public:
    CArchiveException(ArchiveError cause, std::string detail = {});
    ArchiveError cause() const { return cause_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    ArchiveError cause_;
    std::string message_;
};

class CArchive;
class ArchiveObject;

// One storable class. Classes form a single-inheritance tree for the
// "is or derives from" test that typed references use.
struct ArchiveClass {
    std::string name;
    unsigned schema = 1;
    bool versioned = false;  // accepts any stored schema and reports it to the reader
    const ArchiveClass* base = nullptr;
    // Makes an empty object to read into. Empty for classes that are known by
    // name but whose records this build cannot read: naming one is a bad-class error.
    std::function<std::unique_ptr<ArchiveObject>()> create;

    // True when this class or one of its bases is `other`. Classes are
    // matched by name, so a class listed in another registry counts too.
    bool derives_from(const ArchiveClass& other) const;
};

// Every class name that can occur in a patch archive, with schema and base.
// Process-wide and fixed after start-up, except that a class's factory is
// attached once by the unit that implements it.
class ArchiveClassRegistry {
public:
    using Factory = std::function<std::unique_ptr<ArchiveObject>()>;

    // The process registry: every patch class, no factories until bound.
    static ArchiveClassRegistry& instance();
    // A registry of the caller's own (tests, tools, fuzzers): empty, or
    // holding the patch classes without factories.
    static std::unique_ptr<ArchiveClassRegistry> make_private(bool with_patch_classes = false);

    const ArchiveClass* find(std::string_view name) const;
    // Attaches the factory of an already listed class. Returns false for an unknown name.
    bool bind(std::string_view name, Factory create);
    // Lists a new class under `base` (empty for a root). Returns null when the
    // name is taken, empty or too long, the schema does not fit a word, or the
    // base is not listed. Meant for private registries: the process registry
    // holds exactly the patch classes.
    const ArchiveClass* add(std::string_view name, unsigned schema, bool versioned, std::string_view base,
                            Factory create = {});

private:
    ArchiveClassRegistry();
    std::map<std::string, std::unique_ptr<ArchiveClass>, std::less<>> classes_;
};

// Base of every object that can be stored in an archive.
class ArchiveObject {
public:
    virtual ~ArchiveObject() = default;
    // The class the object is stored under.
    virtual const ArchiveClass& archive_class() const = 0;
    // Reads or writes the object's own record, by the archive's direction.
    // Any exception other than CArchiveException (and std::bad_alloc) thrown
    // here leaves the archive as an ArchiveError::generic error.
    virtual void Serialize(CArchive& ar) = 0;

    bool is_kind_of(std::string_view class_name) const;
};

class CArchive {
public:
    // A reading archive over `data`, which must outlive it; classes are
    // looked up in the process registry, or in `registry`, which must outlive it too.
    explicit CArchive(std::span<const std::uint8_t> data);
    CArchive(std::span<const std::uint8_t> data, const ArchiveClassRegistry& registry);
    // A temporary buffer would die before the archive reads it.
    explicit CArchive(std::vector<std::uint8_t>&& data) = delete;
    CArchive(std::vector<std::uint8_t>&& data, const ArchiveClassRegistry& registry) = delete;
    // A writing archive.
    CArchive();
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return loading_; }
    bool IsStoring() const { return !loading_; }

    // The archive version that class readers consult to decide which fields are
    // present. Kept per archive, so concurrent loads never disturb each other.
    int archive_version() const { return version_; }
    void set_archive_version(int v) { version_ = v; }

    // The schema of the record being read or written (the stored one for versioned classes).
    unsigned current_schema() const { return schema_; }

    // Reading. Each throws CArchiveException on failure.
    bool ReadBool();
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::int32_t ReadInt();
    float ReadFloat();
    double ReadDouble();
    void ReadRaw(void* dest, std::size_t count);
    void SkipRaw(std::size_t count);
    std::string ReadText();  // wide texts come back converted to the 8-bit code page
    std::uint32_t ReadCount();
    // Reads an object reference; null for the null reference. With `required`,
    // the object's class must be it or derive from it.
    ArchiveObject* ReadObject(const ArchiveClass* required = nullptr);
    ArchiveObject* ReadObject(std::string_view required_class);
    // A count followed by that many object references.
    std::vector<ArchiveObject*> ReadObjectList(std::string_view required_class = {});

    // Unread bytes of a reading archive (0 for a writing one).
    std::size_t bytes_left() const;
    // Lowers the index limit of this archive (tests of the limit use it).
    void set_index_limit(std::uint32_t limit);

    // Writing. Each throws CArchiveException (wrong_direction) on a reading archive.
    void WriteBool(bool v);
    void WriteByte(std::uint8_t v);
    void WriteWord(std::uint16_t v);
    void WriteInt(std::int32_t v);
    void WriteFloat(float v);
    void WriteDouble(double v);
    void WriteRaw(const void* src, std::size_t count);
    void WriteText(std::string_view text);
    void WriteWideText(std::u16string_view text);  // the 0xFF 0xFFFE marked form
    void WriteCount(std::uint32_t count);
    void WriteObject(const ArchiveObject* object);  // null writes the null reference
    void WriteObjectList(const std::vector<const ArchiveObject*>& objects);

    // The bytes written so far.
    const std::vector<std::uint8_t>& bytes() const { return out_; }

    // Ownership of objects read. Every object the reader creates is owned by
    // the archive until someone adopts it; whatever is left un-adopted when the
    // archive dies is deleted with it (last created first), so a failed read
    // leaks nothing. adopt returns null for null, for an object this archive
    // does not own, for one already adopted (a file may name one object from
    // two owners; only the first gets it) and for one whose record is still
    // being read (an ancestor of the reader: owning it would make a cycle of
    // owners that nobody deletes). Readers must therefore expect null. An
    // object that a reader decides to drop is best left un-adopted: later
    // references in the file may still return it, so it must live as long as
    // the archive.
    std::unique_ptr<ArchiveObject> adopt(ArchiveObject* object);
    template <class T>
    std::unique_ptr<T> adopt_as(T* object) {
        return std::unique_ptr<T>(static_cast<T*>(adopt(object).release()));
    }
    // Objects that were read but never adopted (still referenced by raw
    // pointers elsewhere, perhaps), in creation order; a successful load keeps
    // them alive with the document.
    std::vector<std::unique_ptr<ArchiveObject>> release_unadopted();

private:
    struct Impl;
    void need_loading() const;
    void need_storing() const;
    const std::uint8_t* take(std::size_t count);
    void put(const void* src, std::size_t count);
    void write_length(std::uint64_t length);
    void append_entry(const ArchiveClass* cls, ArchiveObject* object, unsigned schema);
    std::uint32_t take_index();
    void write_index(std::uint32_t index, bool is_class);
    void write_new_class(const ArchiveClass& cls);
    void read_record(ArchiveObject& object, unsigned schema);
    void write_record(const ArchiveObject& object);

    bool loading_;
    int version_ = CURRENT_ARCHIVE_VERSION;
    unsigned schema_ = 1;
    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
    std::vector<std::uint8_t> out_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tf
