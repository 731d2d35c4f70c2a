// Object references, class records, the shared index space and the ownership
// of the objects a reading archive creates.

#include <new>

#include "document/archive.h"
#include "document/archive_impl.h"

namespace tf {
namespace {

constexpr std::uint16_t kNullReference = 0x0000;
constexpr std::uint16_t kNewClass = 0xFFFF;
constexpr std::uint16_t kBigIndex = 0x7FFF;  // an int holding the index follows
constexpr std::uint16_t kClassBit16 = 0x8000;
constexpr std::uint32_t kClassBit32 = 0x80000000;

// A class name from the file, fit to appear in a message.
std::string printable(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return out;
}

// Counts one level of record nesting for as long as the record is read or written.
class NestingLevel {
public:
    explicit NestingLevel(int& nesting) : nesting_(nesting) {
        if (nesting_ >= MAX_OBJECT_NESTING) {
            throw CArchiveException(ArchiveError::generic,
                                    "objects nested deeper than " + std::to_string(MAX_OBJECT_NESTING) + " levels");
        }
        ++nesting_;
    }
    ~NestingLevel() { --nesting_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

private:
    int& nesting_;
};

class CurrentSchema {
public:
    CurrentSchema(unsigned& current, unsigned schema) : current_(current), previous_(current) { current_ = schema; }
    ~CurrentSchema() { current_ = previous_; }
    CurrentSchema(const CurrentSchema&) = delete;
    CurrentSchema& operator=(const CurrentSchema&) = delete;

private:
    unsigned& current_;
    unsigned previous_;
};

// Marks an object as being read for as long as its record is read.
class InProgress {
public:
    InProgress(std::unordered_set<const ArchiveObject*>& set, const ArchiveObject& object)
        : set_(set), object_(&object) {
        set_.insert(object_);
    }
    ~InProgress() { set_.erase(object_); }
    InProgress(const InProgress&) = delete;
    InProgress& operator=(const InProgress&) = delete;

private:
    std::unordered_set<const ArchiveObject*>& set_;
    const ArchiveObject* object_;
};

// Runs a class's own code (factory or record) so that only archive errors
// (and std::bad_alloc) leave the archive.
template <class F>
auto guarded(const ArchiveClass& cls, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const CArchiveException&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw CArchiveException(ArchiveError::generic, "class " + cls.name + ": " + e.what());
    } catch (...) {
        throw CArchiveException(ArchiveError::generic, "class " + cls.name + ": unexpected error");
    }
}

}  // namespace

CArchive::CArchive(std::span<const std::uint8_t> data) : CArchive(data, ArchiveClassRegistry::instance()) {}

CArchive::CArchive(std::span<const std::uint8_t> data, const ArchiveClassRegistry& registry)
    : loading_(true), in_(data), impl_(std::make_unique<Impl>()) {
    impl_->registry = &registry;
}

CArchive::CArchive() : loading_(false), impl_(std::make_unique<Impl>()) {}

CArchive::~CArchive() {
    // Last created first, as every owner in the system deletes what it holds.
    auto& owned = impl_->owned;
    for (std::size_t i = owned.size(); i-- > 0;) owned[i].reset();
}

void CArchive::set_index_limit(std::uint32_t limit) {
    if (limit < impl_->index_limit) impl_->index_limit = limit;
}

// ---- reading ----

void CArchive::append_entry(const ArchiveClass* cls, ArchiveObject* object, unsigned schema) {
    if (impl_->entries.size() + 1 >= impl_->index_limit) {
        throw CArchiveException(ArchiveError::bad_index, "index limit reached");
    }
    impl_->entries.push_back({cls, object, schema});
}

ArchiveObject* CArchive::ReadObject(std::string_view required_class) {
    need_loading();
    if (required_class.empty()) return ReadObject(static_cast<const ArchiveClass*>(nullptr));
    const ArchiveClass* required = impl_->registry->find(required_class);
    if (required == nullptr) {
        throw CArchiveException(ArchiveError::bad_class, "unknown required class " + std::string(required_class));
    }
    return ReadObject(required);
}

ArchiveObject* CArchive::ReadObject(const ArchiveClass* required) {
    need_loading();
    Impl& impl = *impl_;
    const std::uint16_t word = ReadWord();
    std::uint32_t tag;
    if (word == kBigIndex) {
        tag = static_cast<std::uint32_t>(ReadInt());
    } else {
        tag = (word & 0x7FFFu) | ((word & kClassBit16) != 0 ? kClassBit32 : 0u);
    }

    if ((tag & kClassBit32) == 0) {
        if (tag == kNullReference) return nullptr;
        if (tag > impl.entries.size()) {
            throw CArchiveException(ArchiveError::bad_index, "object index " + std::to_string(tag) + " of " +
                                                                 std::to_string(impl.entries.size()) + " read");
        }
        const Impl::Entry& entry = impl.entries[tag - 1];
        if (entry.object == nullptr) {
            throw CArchiveException(ArchiveError::bad_index, "index " + std::to_string(tag) + " names a class");
        }
        if (required != nullptr && !entry.cls->derives_from(*required)) {
            throw CArchiveException(ArchiveError::bad_class, entry.cls->name + " is not a " + required->name);
        }
        return entry.object;
    }

    const ArchiveClass* cls = nullptr;
    unsigned schema = 0;
    if (word == kNewClass) {
        const std::uint16_t stored_schema = ReadWord();
        const std::uint16_t name_length = ReadWord();
        if (name_length > MAX_CLASS_NAME_LENGTH) {
            throw CArchiveException(ArchiveError::bad_class,
                                    "class name of " + std::to_string(name_length) + " characters");
        }
        const std::uint8_t* chars = name_length != 0 ? take(name_length) : nullptr;
        const std::string_view name(reinterpret_cast<const char*>(chars), name_length);
        cls = impl.registry->find(name);
        if (cls == nullptr) throw CArchiveException(ArchiveError::bad_class, "unknown class " + printable(name));
        // A versioned class accepts any stored schema and its reader is told
        // which one; every other class must match its current schema exactly.
        if (stored_schema != cls->schema && !cls->versioned) {
            throw CArchiveException(ArchiveError::bad_schema, cls->name + " stored with schema " +
                                                                  std::to_string(stored_schema) + ", expected " +
                                                                  std::to_string(cls->schema));
        }
        schema = stored_schema;
        append_entry(cls, nullptr, schema);
    } else {
        const std::uint32_t index = tag & ~kClassBit32;
        if (index == 0 || index > impl.entries.size()) {
            throw CArchiveException(ArchiveError::bad_index, "class index " + std::to_string(index) + " of " +
                                                                 std::to_string(impl.entries.size()) + " read");
        }
        const Impl::Entry& entry = impl.entries[index - 1];
        if (entry.object != nullptr) {
            throw CArchiveException(ArchiveError::bad_index, "index " + std::to_string(index) + " names an object");
        }
        cls = entry.cls;
        schema = entry.schema;
    }

    if (required != nullptr && !cls->derives_from(*required)) {
        throw CArchiveException(ArchiveError::bad_class, cls->name + " is not a " + required->name);
    }
    if (!cls->create) throw CArchiveException(ArchiveError::bad_class, "no reader for class " + cls->name);

    NestingLevel level(impl.nesting);
    std::unique_ptr<ArchiveObject> made = guarded(*cls, [&] { return cls->create(); });
    if (made == nullptr) throw CArchiveException(ArchiveError::generic, "cannot create an object of class " + cls->name);
    ArchiveObject* object = made.get();
    impl.owned.push_back(std::move(made));
    impl.owned_position.emplace(object, impl.owned.size() - 1);
    // The object takes its index before its record is read, so that
    // references inside the record can point back to it.
    append_entry(cls, object, schema);
    read_record(*object, schema);
    return object;
}

void CArchive::read_record(ArchiveObject& object, unsigned schema) {
    CurrentSchema current(schema_, schema);
    InProgress reading(impl_->in_progress, object);
    guarded(object.archive_class(), [&] { object.Serialize(*this); });
}

std::vector<ArchiveObject*> CArchive::ReadObjectList(std::string_view required_class) {
    need_loading();
    const ArchiveClass* required = nullptr;
    if (!required_class.empty()) {
        required = impl_->registry->find(required_class);
        if (required == nullptr) {
            throw CArchiveException(ArchiveError::bad_class, "unknown required class " + std::string(required_class));
        }
    }
    // No reserve from the count: a hostile count must not drive allocation,
    // and every reference takes at least two bytes of the file.
    const std::uint32_t count = ReadCount();
    std::vector<ArchiveObject*> objects;
    for (std::uint32_t i = 0; i < count; ++i) objects.push_back(ReadObject(required));
    return objects;
}

// ---- writing ----

std::uint32_t CArchive::take_index() {
    if (impl_->next_index >= impl_->index_limit) {
        throw CArchiveException(ArchiveError::bad_index, "index limit reached");
    }
    return impl_->next_index++;
}

void CArchive::write_index(std::uint32_t index, bool is_class) {
    if (index < kBigIndex) {
        WriteWord(static_cast<std::uint16_t>(index | (is_class ? kClassBit16 : 0u)));
    } else {
        WriteWord(kBigIndex);
        WriteInt(static_cast<std::int32_t>(index | (is_class ? kClassBit32 : 0u)));
    }
}

void CArchive::write_new_class(const ArchiveClass& cls) {
    if (cls.name.empty() || cls.name.size() > MAX_CLASS_NAME_LENGTH) {
        throw CArchiveException(ArchiveError::bad_class, "class name of " + std::to_string(cls.name.size()) +
                                                             " characters cannot be stored");
    }
    if (cls.schema > 0xFFFF) throw CArchiveException(ArchiveError::bad_schema, cls.name + " schema does not fit a word");
    WriteWord(kNewClass);
    WriteWord(static_cast<std::uint16_t>(cls.schema));
    WriteWord(static_cast<std::uint16_t>(cls.name.size()));
    WriteRaw(cls.name.data(), cls.name.size());
}

void CArchive::WriteObject(const ArchiveObject* object) {
    need_storing();
    Impl& impl = *impl_;
    if (object == nullptr) {
        WriteWord(kNullReference);
        return;
    }
    if (auto known = impl.object_indices.find(object); known != impl.object_indices.end()) {
        write_index(known->second, false);
        return;
    }
    const ArchiveClass& cls = object->archive_class();
    if (auto known = impl.class_indices.find(&cls); known != impl.class_indices.end()) {
        write_index(known->second, true);
    } else {
        const std::uint32_t index = take_index();
        write_new_class(cls);
        impl.class_indices.emplace(&cls, index);
    }
    impl.object_indices.emplace(object, take_index());
    write_record(*object);
}

void CArchive::write_record(const ArchiveObject& object) {
    const ArchiveClass& cls = object.archive_class();
    NestingLevel level(impl_->nesting);
    CurrentSchema current(schema_, cls.schema);
    // Serialize reads or writes by direction; a storing archive only reads the object.
    auto& writable = const_cast<ArchiveObject&>(object);
    guarded(cls, [&] { writable.Serialize(*this); });
}

void CArchive::WriteObjectList(const std::vector<const ArchiveObject*>& objects) {
    need_storing();
    if (objects.size() > 0xFFFFFFFFu) throw CArchiveException(ArchiveError::generic, "list too long to store");
    WriteCount(static_cast<std::uint32_t>(objects.size()));
    for (const ArchiveObject* object : objects) WriteObject(object);
}

// ---- ownership ----

std::unique_ptr<ArchiveObject> CArchive::adopt(ArchiveObject* object) {
    if (object == nullptr) return nullptr;
    // An object still being read is an ancestor of the reader asking for it:
    // owning it would close a cycle of owners that nobody could delete.
    if (impl_->in_progress.count(object) != 0) return nullptr;
    auto it = impl_->owned_position.find(object);
    if (it == impl_->owned_position.end()) return nullptr;
    std::unique_ptr<ArchiveObject> adopted = std::move(impl_->owned[it->second]);
    impl_->owned_position.erase(it);
    return adopted;
}

std::vector<std::unique_ptr<ArchiveObject>> CArchive::release_unadopted() {
    std::vector<std::unique_ptr<ArchiveObject>> released;
    for (auto& object : impl_->owned) {
        if (object != nullptr) released.push_back(std::move(object));
    }
    impl_->owned.clear();
    impl_->owned_position.clear();
    return released;
}

}  // namespace tf
