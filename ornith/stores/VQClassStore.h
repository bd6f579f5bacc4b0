#pragma once
// A class store is one source of class files on a class path (a directory tree, a zip or
// jar archive, a single class file). VQClassStore fixes the questions a class library asks
// of every source, and keeps the registry that picks the kind of store for an entry.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQByteBuffer.h"

namespace ornith {

class VQClassStore;

// A kind of store, as the registry holds it. Kinds are compared by address: each concrete
// store class has exactly one, its static member `storeKind`.
struct VQClassStoreKind {
    const char* name;
    // Does this class-path entry name a source of this kind?
    bool (*canGrokName)(const std::string& name);
    // Makes a store for the entry; null when the kind cannot open it after all.
    std::shared_ptr<VQClassStore> (*initWithName)(const std::string& name);
};

class VQClassStore {
public:
    virtual ~VQClassStore() = default;
    VQClassStore(const VQClassStore&) = delete;
    VQClassStore& operator=(const VQClassStore&) = delete;

    // ---- The registry (process-wide; no locking: register before looking up) ----

    // Appends the kind unless it is registered already (then nothing moves).
    static void registerClassStore(const VQClassStoreKind* kind);
    template <class Store>
    static void registerClassStore() {
        registerClassStore(&Store::storeKind);
    }
    // A new store for one class-path entry (variables already expanded), or null. The most
    // recently registered kind is asked first; the first that groks the entry makes the
    // store, and its answer stands even when it is null. Construction failures propagate.
    static std::shared_ptr<VQClassStore> classStoreForName(const std::string& name);
    // The registered kinds, first registered first.
    static std::vector<const VQClassStoreKind*> registeredClassStores();
    // The base accepts nothing.
    static bool canGrokName(const std::string& name);

    // ---- The store interface ----
    // Package names are dotted; the root package is "" (a null optional is accepted as the
    // root by the kinds that say so, and as an unknown package by the others). Listed
    // names are bare. Every kind overrides all six operations; the base raises
    // VQInvalidArgumentException naming the operation and kindName().

    virtual std::string kindName() const;
    virtual const std::string& name() const;
    virtual std::optional<std::vector<std::string>> classNamesInPackage(
        std::optional<std::string_view> packageName) const;
    virtual std::optional<std::vector<std::string>> packageNamesInPackage(
        std::optional<std::string_view> packageName) const;
    virtual bool containsClassName(std::string_view className) const;
    virtual bool containsPackageName(std::string_view packageName) const;
    // The whole class file, or null when the store does not hold the class.
    virtual std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const;

    // What a walk over the package tree asks of each package: absent when the store does
    // not hold the package, else both of its listings in the store's order. Kinds need
    // not override it (it asks the three operations above); a directory does, because one
    // read of the directory answers all three.
    struct PackageContents {
        std::vector<std::string> classNames;
        std::vector<std::string> packageNames;
    };
    virtual std::optional<PackageContents> contentsOfPackage(std::string_view packageName) const;

protected:
    VQClassStore() = default;

    // A NUL inside a name would silently name a different file or member once the name
    // reaches the C library, so every store treats such a name as naming nothing.
    static bool _isUsableName(std::string_view name) noexcept {
        return name.find('\0') == std::string_view::npos;
    }

private:
    [[noreturn]] void _notImplemented(const char* operation) const;
};

}  // namespace ornith
