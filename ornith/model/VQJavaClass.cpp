#include "ornith/model/VQJavaClass.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <type_traits>
#include <utility>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

static_assert(ClassFileParsing<VQJavaClass>);
// Only the variants with attributes: the parser must always decode member attributes.
static_assert(!parsing::HasAddField<VQJavaClass> && !parsing::HasAddMethod<VQJavaClass> &&
              !parsing::HasAddConstructor<VQJavaClass>);
// The views path: names come as views of the parser's text, attributes lent.
static_assert(parsing::TakesViews<VQJavaClass> && parsing::TakesMemberHints<VQJavaClass>);

// The members before the storage are destroyed after it: they must need no destruction.
static_assert(std::is_trivially_destructible_v<std::optional<VQMemberList<VQJavaField>>> &&
              std::is_trivially_destructible_v<std::optional<std::string_view>>);

namespace {

// The storage's first chunk when the parser gives no hint (a file that ends before its
// field table): what a class keeps is bounded by its file, and is mostly much smaller.
size_t firstChunkFor(size_t fileLength) noexcept {
    return fileLength / 4 + 256;
}

// What the storage takes per member on the corpus's average: the object, its name and
// descriptor, its attribute pointers, its list entry; and for the class's own names.
// Estimates: a class that needs more grows its storage by another chunk.
constexpr size_t kBytesPerField = 152;
constexpr size_t kBytesPerMethod = 232;
constexpr size_t kBytesForClassNames = 192;

// Room made when a member list starts: a class has about five fields, nine methods and
// two constructors (instance and static initializer); a list outgrowing its room moves
// to room twice the size, the old room staying in the storage until the class goes.
constexpr uint32_t kFirstMemberCapacity = 8;
constexpr uint32_t kFirstConstructorCapacity = 2;
constexpr uint32_t kFirstInterfaceCapacity = 4;

// Texts up to this length are copied for every member that names them; longer ones are
// kept once per class, so that a hostile file naming one long text from every member
// costs its length once.
constexpr size_t kSharedTextLength = 48;

// Room for `capacity` items in the storage, holding the first `count` of `items`: a list
// grows by moving to new room, the old staying until the class goes.
template <class T>
T* grownRoom(VQClassArena& storage, const T* items, uint32_t count, uint32_t capacity) {
    T* room = storage.makeArray<T>(capacity);
    std::copy_n(items, count, room);
    return room;
}

}  // namespace

// ---- Attribute lists left in the class file ----------------------------------------------

namespace lazy {

struct AttributeLists {
    using AttributePointer = std::shared_ptr<const VQJavaAttribute>;
    struct List {
        uint32_t offset;  // of its u2 count in the class file
        uint32_t count;   // once decoded
        const AttributePointer* items;
        // Read and set through std::atomic_ref once the parse is over: set, with release,
        // only after items and count stand.
        bool decoded;
    };

    AttributeLists(std::span<const uint8_t> bytes, VQClassArena& parseStorage) noexcept
        : classFile(bytes), classStorage(parseStorage) {}
    ~AttributeLists() {
        for (uint32_t i = 0; i < size; ++i)
            if (lists[i].decoded) std::destroy_n(lists[i].items, lists[i].count);
    }
    AttributeLists(const AttributeLists&) = delete;
    AttributeLists& operator=(const AttributeLists&) = delete;

    // During the parse only: the index of a new list at the offset.
    uint32_t add(uint32_t offset) {
        if (size == capacity) {
            const uint32_t grown = capacity ? capacity * 2 : 16;
            List* room =
                static_cast<List*>(classStorage.allocate(grown * sizeof(List), alignof(List)));
            std::copy_n(lists, size, room);
            lists = room;
            capacity = grown;
        }
        lists[size] = {offset, 0, nullptr, false};
        return size++;
    }
    // The parse hints how many members follow: room for them and the class's own list.
    void expect(uint32_t members) {
        if (members + 1 <= capacity) return;
        const uint32_t wanted = members + 1;
        List* room =
            static_cast<List*>(classStorage.allocate(wanted * sizeof(List), alignof(List)));
        std::copy_n(lists, size, room);
        lists = room;
        capacity = wanted;
    }

    void decode(List& list) const;

    std::span<const uint8_t> classFile;
    // The class's storage, which the lists grow in while the class is parsed (and never
    // after: then only `storage` below is written, under the lock).
    VQClassArena& classStorage;
    List* lists = nullptr;
    uint32_t size = 0;
    uint32_t capacity = 0;

    // What decoding uses, made by the first decode and kept; all under the lock. The
    // pool goes before the context it belongs to.
    mutable std::mutex lock;
    mutable std::unique_ptr<VQParseContext> context;
    mutable VQConstantPoolHandle pool;
    mutable parsing::AttributeNameMemo names;
    mutable std::unique_ptr<VQClassArena> storage;
};

void AttributeLists::decode(List& list) const {
    const std::lock_guard<std::mutex> held(lock);
    if (std::atomic_ref<bool>(list.decoded).load(std::memory_order_relaxed)) return;
    const auto length = static_cast<uint32_t>(classFile.size());
    if (!pool) {
        // The pool the parse read (and checked) already, read again for the decoders.
        auto opened = std::make_unique<VQParseContext>();
        VQByteStream header{classFile.data(), 0, length};
        pool = parsing::openClassFile(header, *opened);
        context = std::move(opened);
        storage = std::make_unique<VQClassArena>();
    }
    VQAttributeList& decoded = context->attributes;
    const parsing::LentListReset reset(decoded);
    VQByteStream stream{classFile.data(), list.offset, length};
    // A list of count 0 is absent and never left pending, so this one is present.
    parsing::decodeAttributesInto(stream, *pool, &names, decoded);
    auto* items = static_cast<AttributePointer*>(
        storage->allocate(decoded.size() * sizeof(AttributePointer), alignof(AttributePointer)));
    for (size_t i = 0; i < decoded.size(); ++i)
        ::new (static_cast<void*>(items + i)) AttributePointer(std::move(decoded[i]));
    list.items = items;
    list.count = static_cast<uint32_t>(decoded.size());
    std::atomic_ref<bool>(list.decoded).store(true, std::memory_order_release);
}

VQAttributeSpan listAt(const AttributeLists& lists, uint32_t index) {
    AttributeLists::List& list = lists.lists[index];
    if (!std::atomic_ref<bool>(list.decoded).load(std::memory_order_acquire)) lists.decode(list);
    return VQAttributeSpan(list.items, list.count);
}

}  // namespace lazy

// The parse of a class with lazy attributes: the class's own operations, with each
// attribute list taken as where it lies.
class VQJavaClass::LazyBuilder {
public:
    explicit LazyBuilder(VQJavaClass& made) noexcept : _class(made) {}

    void setClassAccess(int32_t flags) { _class.setClassAccess(flags); }
    void setClassName(std::string_view name) { _class.setClassName(name); }
    void setSuperClassName(std::optional<std::string_view> name) { _class.setSuperClassName(name); }
    void addInterfaceName(std::string_view name) { _class.addInterfaceName(name); }
    void expectMembers(uint32_t fields, uint32_t methods) {
        // The lists and a place for each member's come out of the one reservation.
        const size_t lists = sizeof(lazy::AttributeLists) + 64 +
                             (size_t{fields} + methods + 1) * sizeof(lazy::AttributeLists::List);
        _class._expectMembers(fields, methods, lists);
        _class._lazyLists().expect(fields + methods);
    }
    void addFieldName(std::string_view name, std::string_view signature, int32_t flags,
                      VQAttributesAt attributes) {
        _class._addField(name, signature, flags, attributes);
    }
    void addConstructorName(std::string_view dottedClassName, std::string_view signature,
                            int32_t flags, VQAttributesAt attributes) {
        _class._addConstructor(dottedClassName, signature, flags, attributes);
    }
    void addMethodName(std::string_view name, std::string_view signature, int32_t flags,
                       VQAttributesAt attributes) {
        _class._addMethod(name, signature, flags, attributes);
    }
    void setClassAttributes(VQAttributesAt attributes) {
        if (attributes.count == 0) {
            _class._setAttributes(nullptr, 0, false);
        } else {
            const uint32_t index = _class._lazyLists().add(attributes.offset);
            _class._setPendingAttributes(_class._pendingLists, index);
        }
    }

private:
    VQJavaClass& _class;
};

void VQJavaClass::_placeAttributes(VQMemberParts& parts, VQAttributesAt& attributes) {
    if (attributes.count == 0) return;
    parts.pendingIndex = _lazyLists().add(attributes.offset);
    parts.pendingLists = _pendingLists;
}

lazy::AttributeLists& VQJavaClass::_lazyLists() {
    // Made at the first need, after the parse has sized the storage (expectMembers).
    if (!_pendingLists) _pendingLists = _storage.make<lazy::AttributeLists>(_parsing, _storage);
    return *_pendingLists;
}

VQJavaClass::VQJavaClass(Passkey, size_t fileLength) noexcept
    : _storage(firstChunkFor(fileLength)) {}

VQJavaClass::~VQJavaClass() {
    // The members and attribute pointers live in the storage without clean-up records;
    // they go here, before the storage does. A lazily read class's members own nothing to
    // release (their lists are pending, and the lists own what decoding made; their
    // storage is the class's), so their lifetimes end with the storage, without a call
    // apiece: a tenth of such a class's whole read and release.
    auto destroyMembers = [](const auto& list) {
        if (list)
            for (const VQJavaMember* member : list->items()) member->~VQJavaMember();
    };
    if (!_pendingLists) {
        destroyMembers(_fields);
        destroyMembers(_constructors);
        destroyMembers(_methods);
    }
    _destroyAttributes();
}

std::shared_ptr<VQJavaClass> VQJavaClass::_parsed(std::span<const uint8_t> data,
                                                  std::shared_ptr<const VQByteBuffer> kept,
                                                  bool lazyAttributes) {
    // Owned before the first builder call, so that nothing the parse makes can outlive
    // its class and the lists can hand out members sharing its ownership.
    auto made = std::make_shared<VQJavaClass>(Passkey(), data.size());
    // Kept before the parse, so that a class whose parse fails part way still has them.
    const bool lazy = lazyAttributes && kept;
    made->_classFile = std::move(kept);
    made->_parsing = data;
    if (lazy) {
        // Where each list lies, and nothing lent: no attribute is decoded.
        static_assert(parsing::TakesAttributeOffsets<LazyBuilder> &&
                      parsing::TakesMemberHints<LazyBuilder> && !parsing::TakesViews<LazyBuilder>);
        LazyBuilder builder(*made);
        VQParseClassFile(data, builder);
    } else {
        VQParseClassFile(data, *made);
    }
    made->_parsing = {};
    return made;
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(std::span<const uint8_t> data) {
    return _parsed(data, nullptr);
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(const VQByteBuffer& data) {
    return _parsed(data.span(), nullptr);
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(std::shared_ptr<const VQByteBuffer> data) {
    // No buffer reads as an empty one, and fails as an empty file does.
    if (!data) return _parsed({}, nullptr);
    const auto bytes = data->span();
    return _parsed(bytes, std::move(data));
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(std::shared_ptr<const VQByteBuffer> data,
                                                        const VQClassOptions& options) {
    if (!data) return _parsed({}, nullptr);
    const auto bytes = data->span();
    return _parsed(bytes, std::move(data), options.lazyAttributes);
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithContentsOfFile(const std::string& path) {
    return classWithContentsOfFile(path, VQClassOptions());
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithContentsOfFile(const std::string& path,
                                                                  const VQClassOptions& options) {
    // Read, not mapped: a file that shrinks while it is parsed must give a short read,
    // never SIGBUS in the host.
    const auto data = VQByteBuffer::bufferWithContentsOfFile(path);
    if (!data)
        throw VQInvalidArgumentException("Can't map java class file " + path,
                                         VQErrorKind::unreadableFile);
    return _parsed(data->span(), data, options.lazyAttributes);
}

const std::string* VQJavaClass::sourceFile() const {
    // A host may register its own decoder for the name; only ours carries the name.
    const auto* source = attributeAs<VQJavaSourceAttribute>("SourceFile");
    return source ? &source->sourceName() : nullptr;
}

std::shared_ptr<VQJavaClass> VQJavaClass::superclass() const {
    // Asked of the library that made the class; parsed anew at every call.
    if (!_resolver || !_superclassName) return nullptr;
    return _resolver->classWithName(*_superclassName);
}

std::shared_ptr<VQJavaPackage> VQJavaClass::package() const {
    // A class in the unnamed package asks for "" and gets the root package.
    if (!_resolver) return nullptr;
    return _resolver->packageWithName(
        stringByDeletingLastJavaComponent(_className.value_or(std::string_view())));
}

std::string_view VQJavaClass::_keep(std::string_view text) {
    // A text that the file spells as it is, in bytes the class keeps, stays where it is:
    // they live as long as the class, unchanged.
    if (_classFile) {
        const auto at = reinterpret_cast<uintptr_t>(text.data());
        const auto from = reinterpret_cast<uintptr_t>(_classFile->span().data());
        if (at >= from && at - from <= _classFile->span().size() &&
            text.size() <= _classFile->span().size() - (at - from))
            return text;
    }
    if (text.size() <= kSharedTextLength) return _storage.copyText(text);
    // A user-space address never has the top bit set, so the two kinds of key never meet.
    constexpr uint64_t kHashed = uint64_t{1} << 63;
    const auto at = reinterpret_cast<uintptr_t>(text.data());
    const auto from = reinterpret_cast<uintptr_t>(_parsing.data());
    const bool placed = at >= from && at - from < _parsing.size() && (at & kHashed) == 0;
    const uint64_t key = placed ? uint64_t{at} : std::hash<std::string_view>()(text) | kHashed;
    // Keys are spread over the slots by a multiplicative hash (addresses share low bits).
    auto slotOf = [](uint64_t k, uint32_t capacity) {
        return static_cast<uint32_t>((k * 0x9E3779B97F4A7C15ull) >> 32) & (capacity - 1);
    };
    if (_keptTextCount * 2 >= _keptTextCapacity) {
        // Grown at half full; the count is of distinct long texts the file holds, so the
        // table is bounded by the file.
        const uint32_t capacity = _keptTextCapacity ? _keptTextCapacity * 2 : 16;
        KeptText* table = _storage.makeArray<KeptText>(capacity);
        for (uint32_t i = 0; i < _keptTextCapacity; ++i) {
            if (_keptTexts[i].text.empty()) continue;
            uint32_t slot = slotOf(_keptTexts[i].key, capacity);
            while (!table[slot].text.empty()) slot = (slot + 1) & (capacity - 1);
            table[slot] = _keptTexts[i];
        }
        _keptTexts = table;
        _keptTextCapacity = capacity;
    }
    uint32_t slot = slotOf(key, _keptTextCapacity);
    for (; !_keptTexts[slot].text.empty(); slot = (slot + 1) & (_keptTextCapacity - 1)) {
        const KeptText& kept = _keptTexts[slot];
        if (kept.key != key) continue;
        if (placed ? kept.text.size() == text.size() : kept.text == text) return kept.text;
    }
    const std::string_view kept = _storage.copyText(text);
    _keptTexts[slot] = {key, kept};
    ++_keptTextCount;
    return kept;
}

template <class T>
void VQJavaClass::_reserve(VQMemberList<T>& list, uint32_t capacity) {
    if (capacity <= list._capacity) return;
    list._items = grownRoom(_storage, list._items, list._size, capacity);
    list._capacity = capacity;
}

template <class T, class Attributes>
void VQJavaClass::_add(std::optional<VQMemberList<T>>& list, uint32_t firstCapacity,
                       std::string_view keptName, std::string_view signature, int32_t flags,
                       uint32_t position, Attributes& attributes) {
    // Everything that can fail (the storage's requests) comes before the attributes are
    // moved in and the member made, so that a failure leaves nothing half owned.
    if (!list) list.emplace(VQMemberList<T>(this));
    if (list->_size == list->_capacity)
        _reserve(*list, list->_capacity ? list->_capacity * 2 : firstCapacity);
    void* room = _storage.allocate(sizeof(T), alignof(T));
    const std::string_view keptSignature = _keep(signature);
    VQMemberParts parts(&_storage, keptName, keptSignature, static_cast<uint32_t>(flags), position,
                        std::nullopt);
    _placeAttributes(parts, attributes);
    // Not listed for the storage's clean-up either: the class destroys its members.
    const T* member = ::new (room) T(parts);
    list->_items[list->_size++] = member;
}

void VQJavaClass::setClassAccess(int32_t flags) {
    _accessFlags = static_cast<uint32_t>(flags);
}

void VQJavaClass::setClassName(std::string_view dottedName) {
    // Once only in the class itself: constructors' names may be views of the first name.
    if (!_className && dottedName.size() <= kInlineNameLength) {
        std::copy(dottedName.begin(), dottedName.end(), _inlineName);
        _className = std::string_view(_inlineName, dottedName.size());
    } else {
        _className = _keep(dottedName);
    }
}

void VQJavaClass::setSuperClassName(std::optional<std::string_view> dottedName) {
    if (dottedName)
        _superclassName = _keep(*dottedName);
    else
        _superclassName.reset();
}

void VQJavaClass::addInterfaceName(std::string_view dottedName) {
    _hasInterfaces = true;
    if (_interfaceCount == _interfaceCapacity) {
        const uint32_t capacity =
            _interfaceCapacity ? _interfaceCapacity * 2 : kFirstInterfaceCapacity;
        _interfaces = grownRoom(_storage, _interfaces, _interfaceCount, capacity);
        _interfaceCapacity = capacity;
    }
    _interfaces[_interfaceCount++] = _keep(dottedName);
}

void VQJavaClass::setFieldCount(int32_t count) {
    // A class file holds at most 65535 fields; a larger count reserves no more than that.
    // Fields already added stay: the hint must not lose them.
    if (!_fields) _fields.emplace(FieldList(this));
    _reserve(*_fields, static_cast<uint32_t>(std::clamp<int32_t>(count, 0, 0xFFFF)));
}

void VQJavaClass::expectMembers(uint32_t fields, uint32_t methods) {
    _expectMembers(fields, methods, 0);
}

void VQJavaClass::_expectMembers(uint32_t fields, uint32_t methods, size_t extraBytes) {
    _storage.reserve(kBytesForClassNames + size_t{fields} * kBytesPerField +
                     size_t{methods} * kBytesPerMethod + extraBytes);
    // The lists themselves stay absent until their first member; they start with this much
    // room. Most of a method table is ordinary methods; constructors keep their own start.
    _fieldCapacityHint = fields;
    _methodCapacityHint = methods;
}

void VQJavaClass::addFieldName(std::string_view name, std::string_view signature, int32_t flags,
                               VQLentAttributes attributes) {
    _addField(name, signature, flags, attributes);
}

void VQJavaClass::addConstructorName(std::string_view dottedClassName, std::string_view signature,
                                     int32_t flags, VQLentAttributes attributes) {
    _addConstructor(dottedClassName, signature, flags, attributes);
}

void VQJavaClass::addMethodName(std::string_view name, std::string_view signature, int32_t flags,
                                VQLentAttributes attributes) {
    _addMethod(name, signature, flags, attributes);
}

template <class Attributes>
void VQJavaClass::_addField(std::string_view name, std::string_view signature, int32_t flags,
                            Attributes& attributes) {
    const uint32_t position = _fields ? static_cast<uint32_t>(_fields->size()) : 0;
    _add(_fields, std::max(_fieldCapacityHint, kFirstMemberCapacity), _keep(name), signature, flags,
         position, attributes);
}

template <class Attributes>
void VQJavaClass::_addConstructor(std::string_view dottedClassName, std::string_view signature,
                                  int32_t flags, Attributes& attributes) {
    // Every constructor is named with the class's name: kept once.
    const std::string_view name =
        _className && *_className == dottedClassName ? *_className : _keep(dottedClassName);
    _add(_constructors, kFirstConstructorCapacity, name, signature, flags, _methodTableSize++,
         attributes);
}

template <class Attributes>
void VQJavaClass::_addMethod(std::string_view name, std::string_view signature, int32_t flags,
                             Attributes& attributes) {
    _add(_methods, std::max(_methodCapacityHint, kFirstMemberCapacity), _keep(name), signature,
         flags, _methodTableSize++, attributes);
}

void VQJavaClass::setClassAttributes(VQLentAttributes attributes) {
    const auto count = attributes ? static_cast<uint32_t>(attributes->size()) : 0;
    _setAttributes(_keepAttributes(attributes), count, attributes.has_value());
}

namespace {

template <class List>
void appendMemberLines(const std::optional<List>& list, std::string& out) {
    if (!list) return;
    for (const auto* member : list->items()) {
        out.append("    ");
        member->appendDescription(out);
        out.append(";\n");
    }
}

}  // namespace

void VQJavaClass::_appendDescriptions(const std::optional<FieldList>& list, std::string& out) {
    appendMemberLines(list, out);
}

void VQJavaClass::_appendDescriptions(const std::optional<MethodList>& list, std::string& out) {
    appendMemberLines(list, out);
}

void VQJavaClass::_appendDescriptions(const std::optional<ConstructorList>& list,
                                      std::string& out) {
    appendMemberLines(list, out);
}

namespace {

// Room for a member's line: its name, its types (a descriptor's text is rarely longer
// than half as much again) and modifier words; a line that needs more grows the text.
template <class List>
size_t lineEstimate(const std::optional<List>& list) {
    size_t bytes = 0;
    if (list)
        for (const auto* member : list->items())
            bytes += 48 + member->name().size() + member->signature().size() * 3 / 2;
    return bytes;
}

}  // namespace

void VQJavaClass::appendDeclarationHeader(std::string& out) const {
    if (isPublic()) out.append("public ");
    if (isAbstract()) out.append("abstract ");
    if (isFinal()) out.append("final ");
    out.append(isInterface() ? "interface " : "class ");
    if (_className) out.append(*_className);
    if (_superclassName && !_superclassName->empty()) {
        out.append(" extends ");
        out.append(*_superclassName);
    }
    if (_interfaceCount > 0) {
        out.append(" implements ");
        for (uint32_t i = 0; i < _interfaceCount; ++i) {
            if (i) out.append(", ");
            out.append(_interfaces[i]);
        }
    }
}

std::string VQJavaClass::description() const {
    // One buffer, sized up front from the lengths the class knows.
    size_t estimate = 48 + _className.value_or(std::string_view()).size() +
                      _superclassName.value_or(std::string_view()).size();
    for (uint32_t i = 0; i < _interfaceCount; ++i) estimate += 2 + _interfaces[i].size();
    estimate += lineEstimate(_fields) + lineEstimate(_constructors) + lineEstimate(_methods);
    std::string out;
    out.reserve(estimate);
    appendDeclarationHeader(out);
    out.append("\n{\n");
    _appendDescriptions(_fields, out);
    _appendDescriptions(_constructors, out);
    _appendDescriptions(_methods, out);
    out.push_back('}');
    return out;
}

// ---- Nesting, records and sealed classes -----------------------------------------------

const VQJavaInnerClassesAttribute* VQJavaClass::innerClasses() const {
    return wellFormedAttribute<VQJavaInnerClassesAttribute>("InnerClasses");
}

std::optional<VQInnerClassEntry> VQJavaClass::innerClassEntry() const {
    const VQJavaInnerClassesAttribute* list = innerClasses();
    if (!list || !_className) return std::nullopt;
    return list->entryForClassName(*_className);
}

uint32_t VQJavaClass::declaredAccessFlags() const {
    if (std::optional<VQInnerClassEntry> entry = innerClassEntry()) return entry->accessFlags;
    return _accessFlags;
}

std::string VQJavaClass::simpleName() const {
    if (std::optional<VQInnerClassEntry> entry = innerClassEntry())
        return std::string(entry->simpleName.value_or(std::string_view()));
    return lastJavaComponent(_className.value_or(std::string_view()));
}

const VQJavaEnclosingMethodAttribute* VQJavaClass::enclosingMethod() const {
    return wellFormedAttribute<VQJavaEnclosingMethodAttribute>("EnclosingMethod");
}

const std::string* VQJavaClass::nestHost() const {
    const auto* host = wellFormedAttribute<VQJavaNestHostAttribute>("NestHost");
    return host ? &host->hostClassName() : nullptr;
}

const VQJavaClassListAttribute* VQJavaClass::nestMembers() const {
    return wellFormedAttribute<VQJavaClassListAttribute>("NestMembers");
}

const VQJavaClassListAttribute* VQJavaClass::permittedSubclasses() const {
    return wellFormedAttribute<VQJavaClassListAttribute>("PermittedSubclasses");
}

const std::vector<VQRecordComponent>* VQJavaClass::recordComponents() const {
    const auto* record = wellFormedAttribute<VQJavaRecordAttribute>("Record");
    return record ? &record->components() : nullptr;
}

// ---- The class file as kept ------------------------------------------------------------

namespace {

// std::call_once, without its cost here: glibc's pthread_once makes a futex system call
// after every first call, whether or not another thread waits, which was two system calls
// a class for javap's -c view. A call that throws leaves `done` unset for the next.
template <class F>
void callOnce(std::atomic<bool>& done, std::mutex& lock, F&& f) {
    if (done.load(std::memory_order_acquire)) return;
    const std::lock_guard<std::mutex> held(lock);
    if (done.load(std::memory_order_relaxed)) return;
    std::forward<F>(f)();
    done.store(true, std::memory_order_release);
}

}  // namespace

struct VQJavaClass::KeptFile {
    std::unique_ptr<const VQConstantPoolEntries> pool;
    std::unique_ptr<const VQClassFileLayout> layout;
    // One per method of the file's table, null for one without Code.
    std::atomic<bool> codesMade{false};
    std::mutex codesLock;
    std::vector<std::unique_ptr<const VQCodeAttribute>> codes;
};

VQJavaClass::KeptFile* VQJavaClass::_openKeptFile() const {
    if (!_classFile) return nullptr;
    // A failure leaves the flag unset, so that the next request raises it again.
    callOnce(_keptFileOpened, _keptFileLock, [this] {
        auto kept = std::make_unique<KeptFile>();
        kept->pool = VQConstantPoolEntries::entriesOfClassFile(classFileBytes());
        kept->layout = VQClassFileLayout::layoutOfClassFile(classFileBytes(), *kept->pool);
        _keptFile = std::move(kept);
    });
    return _keptFile.get();
}

const VQConstantPoolEntries* VQJavaClass::constantPool() const {
    const KeptFile* kept = _openKeptFile();
    return kept ? kept->pool.get() : nullptr;
}

const VQClassFileLayout* VQJavaClass::classFileLayout() const {
    const KeptFile* kept = _openKeptFile();
    return kept ? kept->layout.get() : nullptr;
}

const VQCodeAttribute* VQJavaClass::code(const VQJavaMethod& method) const {
    KeptFile* kept = _openKeptFile();
    if (!kept) return nullptr;
    const std::span<const VQLayoutMember> members = kept->layout->methods();
    callOnce(kept->codesMade, kept->codesLock, [kept, members] {
        kept->codes.resize(members.size());
        for (size_t i = 0; i < members.size(); ++i)
            if (const VQLayoutAttribute* found = members[i].attribute("Code"))
                kept->codes[i] = std::make_unique<VQCodeAttribute>(found->info, *kept->pool);
    });
    const uint32_t position = method.tablePosition();
    if (position >= members.size()) return nullptr;
    // A method of another class may share the position: its descriptor and name tell.
    const VQLayoutMember& member = members[position];
    const std::string_view name = kept->pool->modifiedUTF8(member.nameIndex);
    if (kept->pool->modifiedUTF8(member.descriptorIndex) != method.signature() ||
        (!name.starts_with('<') && name != method.name()))
        return nullptr;
    return kept->codes[position].get();
}

}  // namespace ornith
