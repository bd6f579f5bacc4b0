#pragma once
// The model of one class file: name, access flags, superclass and interface names,
// fields, methods, constructors and class attributes.
//
// A class is its own builder: its factories hand the bytes and the class to
// VQParseClassFile, which calls the nine ClassFileParsing operations below in file order.
// The factories that lend bytes keep nothing of them, so the buffer may go as soon as the
// factory returns.
//
// Lazy attributes (VQClassOptions::lazyAttributes, for the factories that keep the class
// file): the parse decodes no attribute, and each attribute list (the class's, each
// field's, method's and constructor's; a record's components come with the class's
// Record attribute) is decoded from the kept bytes when a query first reads it. The parse
// still checks everything that finds the members and names the class: the magic, the
// pool, the flags, the names and descriptors, the member counts and every attribute's
// length against the file, so a truncated file fails at the factory exactly as it does
// eagerly ("Truncated java .class file" at the same offset). What waits is the decoding
// of an attribute's name and contents: "bad constant pool index %d" for an attribute's
// name or for an index its contents hold, a ConstantValue that names a non-constant,
// "Truncated java .class file" inside an attribute's own structure. Each is raised by the
// first query that reads that list, in the words of the eager parse, and by every later
// one until one succeeds; a list never read never raises. A file with several faults may
// so be refused for a different one than eagerly: the factory's before any list's.
// The trade: the class keeps its bytes (and, once a list is read, the constant pool and
// its own decoders) for as long as it lives, and a fault may be found late or never.
//
// Threads: the attribute lists of a lazily read class may be read from several threads
// at once; each is decoded once, under a lock of the class's own, into storage of its
// own, and the eager path takes no lock. The rest of a class keeps the rule of the model
// (one thread at a time: members make their types on first request).
//
// Ownership (where this model departs from plain shared_ptr members): a class owns one
// storage (VQClassArena) holding its members, their names, descriptors and attribute
// pointers, its own names, and the types made on request, so a parse costs a few
// allocations rather than one per member and string. A class is made only by its
// factories, always owned by a shared_ptr; the shared_ptr it hands out for a member shares
// that ownership (a member keeps its class alive, and costs no allocation). The class
// holds no shared_ptr to itself: the member lists make theirs on access. Names come back
// as std::string_view over the class's storage, valid while the class is.

#include <atomic>
#include <concepts>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQModuleAttributes.h"
#include "ornith/classfile/VQNestingAttributes.h"
#include "ornith/classfile/VQRecordAttribute.h"
#include "ornith/model/VQAttributedElement.h"
#include "ornith/model/VQClassArena.h"
#include "ornith/model/VQClassResolver.h"
#include "ornith/model/VQJavaConstructor.h"
#include "ornith/model/VQJavaField.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/model/VQJavaSignature.h"

namespace ornith {

class VQClassFileLayout;
struct VQAttributesAt;
class VQCodeAttribute;
class VQConstantPoolEntries;
class VQClassLibrary;
class VQJavaPackage;
class VQJavaClass;

// How a factory reads a class. The defaults are the eager parse.
struct VQClassOptions {
    // Keep the class file and decode each attribute list when it is first asked for (see
    // above). Only for the factories that keep the bytes: the lending ones ignore it.
    bool lazyAttributes = false;
};

// The members of one kind of a class, in file order. Each access hands out a shared_ptr
// that shares the class's ownership (no allocation); the same member object every time.
template <class T>
class VQMemberList {
public:
    class iterator {
    public:
        using iterator_concept = std::random_access_iterator_tag;
        using iterator_category = std::input_iterator_tag;
        using value_type = std::shared_ptr<const T>;
        using difference_type = std::ptrdiff_t;
        using reference = value_type;

        iterator() = default;
        value_type operator*() const { return (*_list)[_at]; }
        value_type operator[](difference_type n) const {
            return (*_list)[static_cast<size_t>(static_cast<difference_type>(_at) + n)];
        }
        iterator& operator++() { return ++_at, *this; }
        iterator operator++(int) { return iterator(_list, _at++); }
        iterator& operator--() { return --_at, *this; }
        iterator operator--(int) { return iterator(_list, _at--); }
        iterator& operator+=(difference_type n) {
            _at = static_cast<size_t>(static_cast<difference_type>(_at) + n);
            return *this;
        }
        iterator& operator-=(difference_type n) { return *this += -n; }
        friend iterator operator+(iterator i, difference_type n) { return i += n; }
        friend iterator operator+(difference_type n, iterator i) { return i += n; }
        friend iterator operator-(iterator i, difference_type n) { return i -= n; }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return static_cast<difference_type>(a._at) - static_cast<difference_type>(b._at);
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a._at == b._at; }
        friend auto operator<=>(const iterator& a, const iterator& b) { return a._at <=> b._at; }

    private:
        friend class VQMemberList;
        iterator(const VQMemberList* list, size_t at) : _list(list), _at(at) {}
        const VQMemberList* _list = nullptr;
        size_t _at = 0;
    };

    size_t size() const noexcept { return _size; }
    bool empty() const noexcept { return _size == 0; }
    // No check of the index, as for a vector.
    std::shared_ptr<const T> operator[](size_t index) const;
    // Raises std::out_of_range for an index past the end.
    std::shared_ptr<const T> at(size_t index) const {
        if (index >= _size) throw std::out_of_range("VQMemberList::at");
        return (*this)[index];
    }
    std::shared_ptr<const T> front() const { return (*this)[0]; }
    std::shared_ptr<const T> back() const { return (*this)[_size - 1]; }
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, _size); }
    // The members themselves, without touching the class's reference count: valid while
    // the class is.
    std::span<const T* const> items() const noexcept { return {_items, _size}; }

private:
    friend class VQJavaClass;
    explicit VQMemberList(const VQJavaClass* owner) noexcept : _owner(owner) {}

    const VQJavaClass* _owner;
    const T** _items = nullptr;
    uint32_t _size = 0;
    uint32_t _capacity = 0;
};

// Names a class keeps (its interfaces), views of its storage or of the class file it keeps,
// in file order.
using VQNameList = std::span<const std::string_view>;

// The access flags, the class attributes and what is answered from them alone
// (annotations, isDeprecated, isSynthetic, genericSignature, ...) are the part a class
// shares with its members: VQAttributedElement.
class VQJavaClass : public std::enable_shared_from_this<VQJavaClass>, public VQAttributedElement {
    // Lets the factories, and only they, reach the constructor through make_shared.
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using FieldList = VQMemberList<VQJavaField>;
    using MethodList = VQMemberList<VQJavaMethod>;
    using ConstructorList = VQMemberList<VQJavaConstructor>;

    // Parse failures ("Not a java .class file", ...) pass to the caller unchanged.
    // These two lend the bytes for the parse only: the class keeps none of them.
    static std::shared_ptr<VQJavaClass> classWithData(std::span<const uint8_t> data);
    static std::shared_ptr<VQJavaClass> classWithData(const VQByteBuffer& data);
    // This one, classWithContentsOfFile and the class library's classes share the buffer
    // with the class, which keeps it (see classFileBytes).
    static std::shared_ptr<VQJavaClass> classWithData(std::shared_ptr<const VQByteBuffer> data);
    static std::shared_ptr<VQJavaClass> classWithData(std::shared_ptr<const VQByteBuffer> data,
                                                      const VQClassOptions& options);
    // Raises VQInvalidArgumentException "Can't map java class file PATH" when the path
    // names no readable regular file. The file is viewed only for the length of the call.
    static std::shared_ptr<VQJavaClass> classWithContentsOfFile(const std::string& path);
    static std::shared_ptr<VQJavaClass> classWithContentsOfFile(const std::string& path,
                                                                const VQClassOptions& options);

    // An empty class with storage for a file of the given length: for the factories only.
    VQJavaClass(Passkey, size_t fileLength) noexcept;
    ~VQJavaClass();

    VQJavaClass(const VQJavaClass&) = delete;
    VQJavaClass& operator=(const VQJavaClass&) = delete;

    // Dotted names (java.util.Vector, Outer$Inner). The superclass name is absent for a
    // class file that names none.
    std::optional<std::string_view> className() const noexcept { return _className; }
    std::optional<std::string_view> superclassName() const noexcept { return _superclassName; }
    uint32_t accessFlags() const noexcept { return _accessFlags; }

    // Each list is absent until its first entry, so a class without fields has no field
    // list rather than an empty one. File order throughout.
    std::optional<VQNameList> interfaces() const noexcept {
        if (!_hasInterfaces) return std::nullopt;
        return VQNameList(_interfaces, _interfaceCount);
    }
    const std::optional<FieldList>& fields() const noexcept { return _fields; }
    // Every method whose name does not begin with '<'.
    const std::optional<MethodList>& methods() const noexcept { return _methods; }
    // Instance constructors and the static initializer, named with the class's dotted name.
    const std::optional<ConstructorList>& constructors() const noexcept { return _constructors; }
    // attributes(): the shared part's, absent when the class file gives the class none.

    // isPublic and isFinal are the shared part's.
    bool isInterface() const noexcept { return _accessFlags & kVQAccessInterface; }
    bool isAbstract() const noexcept { return _accessFlags & kVQAccessAbstract; }

    // The name given by the first SourceFile attribute; null when there is none.
    const std::string* sourceFile() const;

    // The class file the class was read from, shared and unchanged: what the parse
    // leaves undecoded (method bodies, the constant pool's entries) is read from it when
    // a host asks, so that a host that never asks pays nothing for it. Empty for a class
    // made from lent bytes (the span and reference factories), which copy nothing.
    std::span<const uint8_t> classFileBytes() const noexcept {
        return _classFile ? _classFile->span() : std::span<const uint8_t>();
    }

    // The constant pool of classFileBytes() as a list of entries, and the layout of the
    // file's tables, opened when first asked and kept; null for a class that keeps no
    // bytes. A file whose pool or tables do not decode raises as the parse does.
    const VQConstantPoolEntries* constantPool() const;
    const VQClassFileLayout* classFileLayout() const;
    // The Code attribute of one of the class's methods or constructors, found in the kept
    // bytes by the first request for any (one pass over the members, kept); null for a
    // method without one, one of another class, or a class that keeps no bytes.
    const VQCodeAttribute* code(const VQJavaMethod& method) const;

    // The library that made the class; null for a class read from a file or from bytes.
    const std::shared_ptr<VQClassLibrary>& classLibrary() const noexcept { return _classLibrary; }
    // Looked up through the class library; null for a class without one.
    std::shared_ptr<VQJavaClass> superclass() const;
    std::shared_ptr<VQJavaPackage> package() const;

    // The declaration header, then one line per field, constructor and method inside
    // braces, with no newline after the closing brace.
    std::string description() const;
    // The first line of description(): modifiers, kind, name, extends and implements. For
    // a caller that writes the member lines itself, one at a time.
    void appendDeclarationHeader(std::string& out) const;

    // ---- Nesting, records, sealed classes and annotations ----------------------------
    // Read from the class's attributes on each call; nothing is kept beside them. An
    // attribute that is malformed, or decoded by a host's own kind, answers as absent.

    // The InnerClasses attribute: every nested class that the class file names, its own
    // entry among them when it is nested itself.
    const VQJavaInnerClassesAttribute* innerClasses() const;
    // The class's own InnerClasses entry; absent for a top-level class.
    std::optional<VQInnerClassEntry> innerClassEntry() const;
    // The modifiers as declared in source: the own entry's flags for a nested class (with
    // private, protected and static, which a class file's own flags cannot carry), else
    // accessFlags().
    uint32_t declaredAccessFlags() const;
    // The name in source: the own entry's for a nested class ("" for an anonymous one),
    // else the class name after its package.
    std::string simpleName() const;
    // The EnclosingMethod attribute of a local or anonymous class.
    const VQJavaEnclosingMethodAttribute* enclosingMethod() const;
    // The dotted name of the nest host; null for a class that names none.
    const std::string* nestHost() const;
    // The NestMembers and PermittedSubclasses attributes (dotted names, file order).
    const VQJavaClassListAttribute* nestMembers() const;
    const VQJavaClassListAttribute* permittedSubclasses() const;
    // The components of a record class; null for a class without a Record attribute.
    const std::vector<VQRecordComponent>* recordComponents() const;
    // The annotations and the markers (isDeprecated, isSynthetic) are the shared part's.

    // --- Generic signatures and modules ---
    // The text of the class's Signature attribute is the shared part's genericSignature.
    // The class signature parsed from that text; absent without one or when it is
    // malformed (the header's names then stand: superclassName and interfaces).
    std::optional<VQClassSignature> classSignature() const;
    // The type parameters of the class signature; empty without one.
    std::vector<VQTypeParameter> typeParameters() const;
    // The name with type parameters, then extends and implements as a declaration says
    // them: "p.Box<T extends java.lang.Number> extends p.Base<T> implements
    // java.lang.Comparable<p.Box<T>>". An interface lists its superinterfaces after
    // extends; a class leaves out extends java.lang.Object. From the header's names when
    // the class has no usable signature.
    std::string genericText() const;

    // A module-info class: the ACC_MODULE flag.
    bool isModule() const noexcept { return _accessFlags & 0x8000; }
    // The Module, ModulePackages and ModuleMainClass attributes; null when absent.
    const VQJavaModuleAttribute* moduleDescriptor() const;
    const std::vector<std::string>* modulePackages() const;
    const std::string* moduleMainClass() const;

    // What the class's storage took from the heap, and in how many chunks.
    size_t storageBytes() const noexcept { return _storage.bytesReserved(); }
    size_t storageChunks() const noexcept { return _storage.chunkCount(); }
    size_t storageBytesUsed() const noexcept { return _storage.bytesUsed(); }

    // Builder operations (ClassFileParsing), called by the parser from the factories. The
    // texts are copied into the class's storage; the attributes lent are moved there.
    void setClassAccess(int32_t flags);
    void setClassName(std::string_view dottedName);
    void setSuperClassName(std::optional<std::string_view> dottedName);
    void addInterfaceName(std::string_view dottedName);
    // A capacity hint for the fields that follow; the parser does not call it.
    void setFieldCount(int32_t count);
    // The hint from the parser (TakesMemberHints): how many fields and methods follow, at
    // most what the file's bytes could hold. Storage for them is taken in one piece.
    void expectMembers(uint32_t fields, uint32_t methods);
    void addFieldName(std::string_view name, std::string_view signature, int32_t flags,
                      VQLentAttributes attributes);
    void addConstructorName(std::string_view dottedClassName, std::string_view signature,
                            int32_t flags, VQLentAttributes attributes);
    void addMethodName(std::string_view name, std::string_view signature, int32_t flags,
                       VQLentAttributes attributes);
    void setClassAttributes(VQLentAttributes attributes);

private:
    friend class VQClassLibrary;
    template <class T>
    friend class VQMemberList;
    class LazyBuilder;

    // `kept` is null or the buffer that holds `data`; lazy attributes need it kept.
    static std::shared_ptr<VQJavaClass> _parsed(std::span<const uint8_t> data,
                                                std::shared_ptr<const VQByteBuffer> kept,
                                                bool lazyAttributes = false);
    // The text as the class keeps it: a view of the kept class file when it lies there,
    // else a copy in the class's storage; a long one that the class already keeps is
    // shared (a hostile file may name one long text from every member).
    std::string_view _keep(std::string_view text);
    // The attributes moved into the storage; none for an absent or empty list.
    const AttributePointer* _keepAttributes(VQLentAttributes& attributes) {
        return attributes ? _moveAttributesInto(_storage, *attributes) : nullptr;
    }
    // A member's attributes in its parts: moved into the storage, or left in the file.
    void _placeAttributes(VQMemberParts& parts, VQLentAttributes& attributes) {
        if (attributes)
            parts.attributes = VQAttributeSpan(_keepAttributes(attributes), attributes->size());
    }
    void _placeAttributes(VQMemberParts& parts, VQAttributesAt& attributes);
    // The lists of a lazy parse, made on the first need.
    lazy::AttributeLists& _lazyLists();
    // expectMembers, with room for this much more besides.
    void _expectMembers(uint32_t fields, uint32_t methods, size_t extraBytes);
    template <class T, class Attributes>
    void _add(std::optional<VQMemberList<T>>& list, uint32_t firstCapacity,
              std::string_view keptName, std::string_view signature, int32_t flags,
              uint32_t position, Attributes& attributes);
    template <class T>
    void _reserve(VQMemberList<T>& list, uint32_t capacity);
    // The builder operations, attributes lent (the eager parse) or left in the file.
    template <class Attributes>
    void _addField(std::string_view name, std::string_view signature, int32_t flags,
                   Attributes& attributes);
    template <class Attributes>
    void _addConstructor(std::string_view dottedClassName, std::string_view signature,
                         int32_t flags, Attributes& attributes);
    template <class Attributes>
    void _addMethod(std::string_view name, std::string_view signature, int32_t flags,
                    Attributes& attributes);

    // Called once by the class library on every class it makes; the class keeps it alive
    // and asks it as a resolver. A template so that only the library, which calls it,
    // needs to know that the library is one.
    template <std::derived_from<VQClassResolver> Library>
    void _setClassLibrary(std::shared_ptr<Library> library) {
        _resolver = library.get();
        _classLibrary = std::move(library);
    }

    // "    TEXT;\n" per element; nothing for an absent or empty list.
    static void _appendDescriptions(const std::optional<FieldList>& list, std::string& out);
    static void _appendDescriptions(const std::optional<MethodList>& list, std::string& out);
    static void _appendDescriptions(const std::optional<ConstructorList>& list, std::string& out);

    // What a walk over many classes asks of each (the name and its text, the flags, the
    // three member lists) comes first and together, in as few cache lines as may be: the
    // flags are the shared part's, just before. All of it is trivially destroyed, so it
    // may come before the storage it points into. The first two fill the shared part's
    // last word, which would otherwise be padding.
    bool _hasInterfaces = false;
    uint32_t _methodTableSize = 0;  // methods and constructors added so far
    std::optional<std::string_view> _className;
    std::optional<FieldList> _fields;
    std::optional<MethodList> _methods;
    std::optional<ConstructorList> _constructors;
    // A name of up to this many bytes is kept here rather than in the storage.
    static constexpr size_t kInlineNameLength = 48;
    char _inlineName[kInlineNameLength];
    // Destroyed after everything (below) that may point into it.
    VQClassArena _storage;
    std::optional<std::string_view> _superclassName;
    uint32_t _fieldCapacityHint = 0;
    uint32_t _methodCapacityHint = 0;
    std::string_view* _interfaces = nullptr;
    uint32_t _interfaceCount = 0;
    uint32_t _interfaceCapacity = 0;
    // Long texts already kept: an open table in the storage. A text that is a view of the
    // class bytes being parsed is known by its place there (the same pool entry named
    // again), with no need to read it; any other by the hash of its contents.
    struct KeptText {
        uint64_t key;  // the place's address, or the hash with the top bit set
        std::string_view text;
    };
    // The class bytes while the factories parse them; empty otherwise.
    std::span<const uint8_t> _parsing;
    KeptText* _keptTexts = nullptr;
    uint32_t _keptTextCount = 0;
    uint32_t _keptTextCapacity = 0;
    std::shared_ptr<VQClassLibrary> _classLibrary;
    std::shared_ptr<const VQByteBuffer> _classFile;
    // The same object as _classLibrary, which keeps it alive; null without a library.
    VQClassResolver* _resolver = nullptr;
    // What is read from _classFile on request (constantPool, classFileLayout).
    struct KeptFile;
    mutable std::atomic<bool> _keptFileOpened{false};
    mutable std::mutex _keptFileLock;
    mutable std::unique_ptr<KeptFile> _keptFile;
    KeptFile* _openKeptFile() const;
    // The attribute lists a lazy parse left in _classFile; null for an eager class. In
    // the storage.
    lazy::AttributeLists* _pendingLists = nullptr;
};

template <class T>
std::shared_ptr<const T> VQMemberList<T>::operator[](size_t index) const {
    // Shares the class's ownership: the member lives in the class's storage.
    return std::shared_ptr<const T>(_owner->shared_from_this(), _items[index]);
}

}  // namespace ornith
