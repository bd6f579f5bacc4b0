#pragma once
// The classes a class depends on, and where each of them comes from.
//
// VQDependencyScanner reads one class file and yields every other class it references:
// the constant pool's Class entries (array types by their element class), the
// descriptors of its NameAndType entries (and so of every field, method and dynamic
// reference), the super class and interfaces, the descriptors of its own fields and
// methods, the Signature attributes of the class and its members, the annotation
// interfaces of RuntimeVisibleAnnotations and RuntimeVisibleParameterAnnotations, and
// the classes of Exceptions attributes. The descriptors of MethodType entries are taken
// only when asked for: a lambda's erased types are named elsewhere in the pool anyway,
// and leaving them out keeps the answer the one that JDK tools give.
//
// VQDependencyResolver says which class-path entry supplies a referenced class: the
// first store of a library that holds it, with the module of a runtime image's class.
//
// The scanner reuses one parse context and its own buffers from class to class, so that
// scanning a whole archive allocates next to nothing per class.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ornith/classfile/VQParseContext.h"

namespace ornith {

class VQClassLibrary;
class VQClassStore;

// What one scan found. Names are dotted (java.util.Map$Entry).
struct VQClassReferences {
    // The scanned class; empty when the file failed before its name.
    std::string className;
    int32_t access = 0;
    // True for a module-info class (its references are those of any class file).
    bool isModuleInfo = false;
    // Every class referenced other than the class itself, each once, sorted by bytes.
    std::span<const std::string> referencedClasses;
    // Why the file could not be read to the end: the references are then those found
    // before the fault.
    std::optional<std::string> failure;
};

class VQDependencyScanner {
public:
    struct Options {
        // Also the classes named by MethodType entries' descriptors.
        bool methodTypes = false;
    };

    VQDependencyScanner() noexcept;
    explicit VQDependencyScanner(Options options) noexcept;
    ~VQDependencyScanner();
    VQDependencyScanner(const VQDependencyScanner&) = delete;
    VQDependencyScanner& operator=(const VQDependencyScanner&) = delete;

    // Scans the class file. The result, and the texts it lends, stay valid until the
    // next scan. Never raises for bad class data: the fault is the result's failure.
    const VQClassReferences& scanClassData(std::span<const uint8_t> data);

    // Adds the classes of a field or method descriptor, or of a generic signature (of a
    // class, a method or a type), as internal names. Exposed for hosts that find
    // descriptors of their own (and for tests); false when the text is malformed (the
    // names read before the fault are added).
    bool addDescriptor(std::string_view descriptor);
    bool addSignature(std::string_view signature);

    // For the walk's builder (VQDependencies.cpp).
    struct Walker;
    friend struct Walker;

private:
    // Records an internal name (java/lang/String), as found, for the current scan.
    void add(std::string_view internalName);
    bool addFieldType(std::string_view text, size_t& at);
    bool addReferenceSignature(std::string_view text, size_t& at);
    bool addTypeParameters(std::string_view text, size_t& at);
    void finish();

    Options _options;
    VQParseContext _context;
    std::string _scratch;
    std::vector<std::string> _names;  // the first _used are this scan's, reused
    size_t _used = 0;
    VQClassReferences _result;
};

// Where a referenced class comes from.
struct VQClassSupplier {
    // The store that holds it; null when no store of the library does ("not found").
    const VQClassStore* store = nullptr;
    // The module of a runtime image's class; absent for any other store.
    std::optional<std::string> module;
    explicit operator bool() const noexcept { return store != nullptr; }
};

class VQDependencyResolver {
public:
    explicit VQDependencyResolver(std::shared_ptr<VQClassLibrary> library);
    ~VQDependencyResolver();

    const std::shared_ptr<VQClassLibrary>& library() const noexcept { return _library; }
    // The first store of the library that holds the class (dotted name), remembered, so
    // that a class referenced by many is looked up once.
    const VQClassSupplier& supplierOf(std::string_view className);
    // True when a platform module exports the package to everybody (its module-info
    // says so); false for a module that cannot be read and for a store without modules.
    bool isExported(const VQClassStore& store, std::string_view module, std::string_view package);
    // The modules that a platform module names in `requires transitive`, in its
    // module-info's order; none for a module that cannot be read.
    const std::vector<std::string>& transitiveRequires(const VQClassStore& store,
                                                       std::string_view module);

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>()(s);
        }
    };
    std::shared_ptr<VQClassLibrary> _library;
    std::unordered_map<std::string, VQClassSupplier, Hash, std::equal_to<>> _suppliers;
    // What a module's module-info says, read once per module.
    struct ModuleFacts {
        std::unordered_set<std::string, Hash, std::equal_to<>> exports;  // to all
        std::vector<std::string> transitive;
    };
    const ModuleFacts& factsOf(const VQClassStore& store, std::string_view module);
    std::unordered_map<std::string, ModuleFacts, Hash, std::equal_to<>> _modules;
};

// The package of a dotted class name; "" for the unnamed package.
std::string_view VQPackageOfClassName(std::string_view className) noexcept;

}  // namespace ornith
