#pragma once
// The facade through which a host finds Java classes: a class path, one class store per
// usable entry, and every lookup answered by asking the stores in class-path order.
//
// A library is shared: classes and packages it hands out keep it alive, so it is made
// only through the static factories below. It keeps no classes (every classWithName
// parses anew) and does not own the packages it hands out: its package cache only
// remembers those that somebody else still holds.

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/model/VQClassResolver.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQNestedArchives.h"

namespace ornith {

class VQClassStore;
class VQJavaClass;
class VQOpenArchives;
class VQJavaPackage;
class VQJavaPackageEnumerator;

// How a library treats archives on its class path. The defaults are the specified
// behaviour: every option is off.
struct VQClassLibraryArchiveOptions {
    // Follow the Class-Path attribute of each jar's main manifest as java's application
    // class loader does: its space-separated URLs resolved against the jar (relative
    // paths against its directory, "file:" URLs decoded, other schemes skipped), inserted
    // right after the jar that names them, depth first, each archive once (so cycles
    // end). Entries that name nothing are skipped, and told to onMissingClassPathEntry.
    bool followManifestClassPath = false;
    // An entry DIR/* stands for the .jar and .JAR files directly in DIR, in name order;
    // without this option it is refused as an unknown source, as before.
    bool expandWildcards = false;
    // Multi-release jars answer with their versioned classes for this release (9 or
    // more); 0 leaves versioned entries out.
    int multiReleaseVersion = 0;
    // Archives kept open between reads, at most this many at a time for the library; 0
    // opens an archive for every read.
    size_t maxOpenArchives = 0;
    // Entries OUTER!/PATH name an archive or a directory inside an archive, at any depth
    // (VQNestedArchives.h), and so may Class-Path entries of a nested jar; without this
    // option such an entry is an unknown source, as before.
    bool nestedEntries = false;
    // How an archive named on the class path is read: as it is (plain), or as its
    // application's loader reads it (boot, war, ear, or automatic to pick one by its
    // members), its entries standing in its place in loader order. Any layout but plain
    // reads nested entries. .war and .ear files are archive entries only with a layout.
    VQArchiveLayout layout = VQArchiveLayout::plain;
    // The bounds on nested archives: depth and the total the library may inflate.
    VQNestingOptions nesting;
    // Told the jar and the resolved path of each Class-Path entry that names nothing.
    std::function<void(const std::string& jar, const std::string& missing)> onMissingClassPathEntry;
};

class VQClassLibrary : public VQClassResolver, public std::enable_shared_from_this<VQClassLibrary> {
public:
    // Told about every class-path entry that was dropped because no store could be made
    // for it: the entry as written and the failure (the library itself drops it silently).
    using DroppedEntryHandler =
        std::function<void(const std::string& entry, const std::exception& failure)>;
    // Which listing a store is asked for by namesInPackage.
    using PackageListing = std::optional<std::vector<std::string>> (VQClassStore::*)(
        std::optional<std::string_view>) const;

    // The process-wide library, made on the first call from CLASSPATH (entries separated by
    // ";"; an unset variable gives no class path). Later calls return the same library,
    // whatever the environment holds by then. Safe when the first calls race.
    static std::shared_ptr<VQClassLibrary> defaultClassLibrary();
    // No class path, no stores.
    static std::shared_ptr<VQClassLibrary> classLibrary();
    // Stores for every entry of the path that a store kind accepts; other entries are
    // skipped (and reported to onDroppedEntry when one is given) but stay in classPath().
    static std::shared_ptr<VQClassLibrary> classLibraryWithClassPath(
        std::optional<std::string> classPath);
    static std::shared_ptr<VQClassLibrary> classLibraryWithClassPath(
        std::optional<std::string> classPath, const DroppedEntryHandler& onDroppedEntry);

    ~VQClassLibrary() override;
    VQClassLibrary(const VQClassLibrary&) = delete;
    VQClassLibrary& operator=(const VQClassLibrary&) = delete;

    // The class path as given, before any expansion; absent when there is none.
    const std::optional<std::string>& classPath() const noexcept { return _classPath; }
    // Adds the path's entries after the existing ones, which keep their priority; the
    // class path becomes "OLD;PATH" (or PATH when there was none).
    void appendToClassPath(const std::string& path);
    void appendToClassPath(const std::string& path, const DroppedEntryHandler& onDroppedEntry);

    // The bytes of the class file from the first store that has them; null when none has.
    std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const;
    // A new class parsed from those bytes, knowing this library; null when no store has
    // the class. Never cached: two calls give two objects. Parse failures pass through.
    std::shared_ptr<VQJavaClass> classWithName(std::string_view className) override;
    // The name of the first store that holds the class (the entry for a directory or an
    // archive, the class name for a single class file); absent when none does.
    std::optional<std::string> classStoreNameForClassWithName(std::string_view className) const;

    // The package while anybody holds it, otherwise a new one; null when no store holds
    // the package. An absent or empty name is the root package, which always exists.
    std::shared_ptr<VQJavaPackage> packageWithName(
        std::optional<std::string_view> packageName) override;
    // Forgets the package; a package calls it when it is destroyed.
    void removePackage(const VQJavaPackage& package);

    // Bare names of the classes (subpackages) directly in the package, merged over every
    // store: each name once, sorted by bytes so that every listing and every walk over
    // the class path comes out in one reproducible order. Empty, never absent.
    std::vector<std::string> classNamesInPackage(std::string_view packageName) const;
    std::vector<std::string> packageNamesInPackage(std::string_view packageName) const;
    std::vector<std::string> namesInPackage(std::string_view packageName,
                                            PackageListing listing) const;

    // Every class on the class path, fully qualified: the root package's enumerator.
    std::shared_ptr<VQJavaPackageEnumerator> classNameEnumerator();

    // "VQClassLibrary(PATH)"; an absent path renders as nothing between the parentheses.
    std::string description() const;
    // A new library with the same class path, stores and archive options, and a package
    // cache of its own: appending to either later leaves the other as it is.
    std::shared_ptr<VQClassLibrary> copyWithZone() const;

    // ---- The Java platform beside a class path ----

    // The class-path entries of a JDK's or JRE's own classes: its runtime image
    // (HOME/lib/modules) when it has one, else its jmods/*.jmod files sorted by name, else
    // none. Nothing is opened; a home of neither kind gives an empty list.
    static std::vector<std::string> platformEntriesForJavaHome(const std::string& javaHome);
    // A library that finds classes as java does: the platform of the JDK at javaHome
    // first, so that no class path entry can shadow java.lang.String, then the class
    // path. The class path reads "PLATFORM;...;PATH"; an unusable entry is skipped as by
    // classLibraryWithClassPath.
    static std::shared_ptr<VQClassLibrary> classLibraryWithJavaHome(
        const std::string& javaHome, const std::optional<std::string>& classPath,
        const DroppedEntryHandler& onDroppedEntry = DroppedEntryHandler());

    // The stores, one per usable entry, in class-path order.
    const std::vector<std::shared_ptr<VQClassStore>>& classStores() const noexcept {
        return _classStores;
    }
    // What namesInPackage merges, over the given stores only: each name once, sorted.
    static std::vector<std::string> mergedNamesInPackage(
        const std::vector<const VQClassStore*>& stores, std::string_view packageName,
        PackageListing listing);
    // The merge's two steps, for a walk that takes both listings of a package at once:
    // each store's names appended, then sorted with each name kept once.
    static void appendNames(std::vector<std::string>& names, std::vector<std::string>&& more);
    static void keepEachNameOnce(std::vector<std::string>& names);

    // Sets how entries added from now on are treated (entries already on the class path
    // keep their stores).
    void setArchiveOptions(VQClassLibraryArchiveOptions options);
    const VQClassLibraryArchiveOptions& archiveOptions() const noexcept { return _archiveOptions; }

    // How classWithName reads the classes it makes from now on (the default: eagerly);
    // lazyAttributes keeps each class's bytes and decodes its attribute lists when they
    // are first asked for (VQJavaClass.h says what that moves and where failures then
    // appear). A copy reads as its original does.
    void setClassOptions(VQClassOptions options) noexcept { _classOptions = options; }
    const VQClassOptions& classOptions() const noexcept { return _classOptions; }

    // ---- Internal to the library (public for its tests) ----

    // Expands environment variables in the entry and appends the registry's store for it;
    // raises VQInvalidArgumentException "Unknown source of class files 'ENTRY'" (with the
    // expanded entry) when there is none.
    void _addClassStoreForName(const std::string& name);

private:
    VQClassLibrary();

    // Splits at every ";" (empty pieces included) and adds a store per piece, dropping a
    // piece whose store cannot be made and going on with the next.
    void _addClassStoresForPath(const std::optional<std::string>& path,
                                const DroppedEntryHandler* onDroppedEntry = nullptr);

    // Not owning: the package removes itself when it goes, so a cached package is alive
    // or in the middle of its destructor (its weak reference already expired).
    struct CachedPackage {
        const VQJavaPackage* package;
        std::weak_ptr<VQJavaPackage> reference;
    };

    // Archive options (VQClassLibraryArchives.cpp).
    bool addWildcardEntry(const std::string& entry);
    void configureArchiveStore(VQClassStore& store);
    void followManifestClassPath(size_t storeIndex);
    // The store for an entry: the registry's, a nested archive's, or a .war or .ear file
    // read with a layout; null when there is none.
    std::shared_ptr<VQClassStore> storeForEntry(const std::string& entry);
    // Appends the store (or, when a layout applies to it, the stores of its layout).
    void addArchiveStore(std::shared_ptr<VQClassStore> store, bool applyLayout);
    bool addLayoutStores(const VQClassStore& store);
    std::shared_ptr<VQNestedArchives> _nested;
    // The handler of the class-path piece being added, for stores a layout adds.
    const DroppedEntryHandler* _droppedEntryHandler = nullptr;
    VQClassLibraryArchiveOptions _archiveOptions;
    VQClassOptions _classOptions;
    std::shared_ptr<VQOpenArchives> _openArchives;
    std::unordered_set<std::string> _archivesOnPath;  // normalised paths: each archive once

    std::optional<std::string> _classPath;
    std::vector<std::shared_ptr<VQClassStore>> _classStores;
    std::unordered_map<std::string, CachedPackage> _packageCache;
};

}  // namespace ornith
