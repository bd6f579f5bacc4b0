#pragma once
// A Java package as one class library sees it, and the walk over every class below one.
//
// A package names itself and forwards every question to its library, qualifying bare
// names with its own name. The library hands packages out and remembers them without
// owning them; a package keeps its library alive and leaves the library's cache when it
// is destroyed. Two packages are equal when their names are.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ornith {

class VQClassLibrary;
class VQClassStore;
class VQJavaClass;
class VQJavaPackageEnumerator;

class VQJavaPackage {
public:
    ~VQJavaPackage();
    VQJavaPackage(const VQJavaPackage&) = delete;
    VQJavaPackage& operator=(const VQJavaPackage&) = delete;

    // Dotted (java.lang); the empty string for the root package.
    const std::string& packageName() const noexcept { return _packageName; }
    const std::shared_ptr<VQClassLibrary>& classLibrary() const noexcept { return _classLibrary; }

    // Bare names of the classes (subpackages) directly in this package, in the library's
    // order (sorted by bytes). Empty, never absent.
    std::vector<std::string> classNames() const;
    std::vector<std::string> packageNames() const;

    // The class (package) named relative to this package: Object in java.lang asks the
    // library for java.lang.Object; in the root package the name is taken as it is.
    std::shared_ptr<VQJavaClass> classWithName(std::string_view name) const;
    std::shared_ptr<VQJavaPackage> packageWithName(std::string_view name) const;

    // A new object for each class (subpackage) listed, in listing order, skipping names
    // for which nothing comes back; absent (not empty) when nothing is listed.
    std::optional<std::vector<std::shared_ptr<VQJavaClass>>> classes() const;
    std::optional<std::vector<std::shared_ptr<VQJavaPackage>>> packages() const;

    // The enclosing package: the root for a top-level package, null for the root itself.
    std::shared_ptr<VQJavaPackage> superpackage() const;

    // A new walk over every class in this package and below it.
    std::shared_ptr<VQJavaPackageEnumerator> classNameEnumerator() const;

    // "VQJavaPackage(NAME)"; the root renders as "VQJavaPackage()".
    std::string description() const;

    size_t hash() const noexcept;
    bool isEqual(const VQJavaPackage& other) const noexcept {
        return _packageName == other._packageName;
    }
    friend bool operator==(const VQJavaPackage& a, const VQJavaPackage& b) noexcept {
        return a.isEqual(b);
    }

private:
    friend class VQClassLibrary;

    // Only the class library makes packages (it caches them); an empty name is the root.
    VQJavaPackage(std::string packageName, std::shared_ptr<VQClassLibrary> classLibrary);

    // The name qualified with this package's name ("%@.%@"), or as it is in the root.
    std::string _qualifiedName(std::string_view name) const;

    std::string _packageName;
    std::shared_ptr<VQClassLibrary> _classLibrary;
};

// Yields the fully qualified name of every class in a package tree, depth first: all the
// classes of each subpackage's tree (subpackages in the library's sorted order) before
// the package's own classes, which come in the order of its class names.
//
// Each package's lists are taken once, when the walk reaches it, as the library merges
// them. Two things keep a walk over a long class path cheap and safe:
//   - a package is asked only of the stores that hold it, found among the stores that
//     hold its parent (a store that lacks a package lacks all of its subpackages), so a
//     package in one of seventy module files costs one store's answers, not seventy;
//   - the state is a stack of its own rather than nested enumerators, so the deepest
//     package path that an archive can spell costs neither native stack nor a copy of
//     every ancestor's name.
// A listed subpackage that no store holds yields nothing. Once the walk has answered
// absent it answers absent for ever.
//
// Besides nextObject() it is an input range: `for (const std::string& name : *enumerator)`.
class VQJavaPackageEnumerator {
public:
    explicit VQJavaPackageEnumerator(const VQJavaPackage& package);
    VQJavaPackageEnumerator(const VQJavaPackageEnumerator&) = delete;
    VQJavaPackageEnumerator& operator=(const VQJavaPackageEnumerator&) = delete;

    // The next fully qualified class name, or absent when all are done.
    std::optional<std::string> nextObject();

    class iterator {
    public:
        using value_type = std::string;
        using difference_type = std::ptrdiff_t;
        using reference = const std::string&;
        using pointer = const std::string*;
        using iterator_category = std::input_iterator_tag;

        iterator() = default;
        reference operator*() const { return *_current; }
        pointer operator->() const { return &*_current; }
        iterator& operator++() {
            _current = _enumerator->nextObject();
            return *this;
        }
        void operator++(int) { ++*this; }
        friend bool operator==(const iterator& it, std::default_sentinel_t) noexcept {
            return !it._current;
        }

    private:
        friend class VQJavaPackageEnumerator;
        explicit iterator(VQJavaPackageEnumerator* enumerator)
            : _enumerator(enumerator), _current(enumerator->nextObject()) {}

        VQJavaPackageEnumerator* _enumerator = nullptr;
        std::optional<std::string> _current;
    };

    // Takes the next name at once; names already taken are not seen again.
    iterator begin() { return iterator(this); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    // One package on the way down: `nameLength` characters of _path name it.
    struct Level {
        size_t nameLength;
        std::vector<const VQClassStore*> stores;  // the stores that hold the package
        std::vector<std::string> packages;        // bare names of its subpackages, taken once
        std::vector<std::string> classNames;      // bare names of its classes, taken once
        uint32_t index;                           // next subpackage, then next class
        bool inClasses;                           // subpackages done
    };

    // Pushes the package that _path names, asking only `candidates` about it.
    void _enter(const std::vector<const VQClassStore*>& candidates);

    std::shared_ptr<VQClassLibrary> _library;
    std::string _path;  // name of the deepest package on the way down
    std::vector<Level> _levels;
};

}  // namespace ornith
