#pragma once
// The store for a zip archive. Construction walks the archive's central directory once
// and builds a package index in memory; listings and lookups are answered from it, and
// only dataForClassName goes back to the file. Members under META-INF are left out.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQZipFileEntry.h"

namespace ornith {

class VQZipFileStore : public VQClassStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the name ends in ".zip" or ".ZIP" and names something that is not a directory.
    static bool canGrokName(const std::string& name);
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    // Indexes the archive. Always yields a store: an unreadable archive gives an empty
    // index, a damaged one keeps what was indexed before the damage.
    explicit VQZipFileStore(std::string name);

    std::string kindName() const override;
    // The archive path as given at construction.
    const std::string& name() const override;
    // The package's classes in archive order; absent when the package is not indexed or
    // holds no class (or the name is absent).
    std::optional<std::vector<std::string>> classNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    // The package's subpackages, most recently indexed first; absent when there are none.
    std::optional<std::vector<std::string>> packageNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    bool containsClassName(std::string_view className) const override;
    bool containsPackageName(std::string_view packageName) const override;
    // The class's bytes, read from the archive at this call. A member that cannot be
    // read is logged ("Exception raised reading class %@: %@") and answers null.
    std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const override;

    // "Zip File: " and the index: every package with its subpackages and classes.
    virtual std::string description() const;

    // The class's entry (its first in archive order), or null. Valid while the store lives.
    const VQZipFileEntry* entryForClassName(std::string_view className) const;

protected:
    // For archives that keep their classes below a directory (a .jmod keeps them under
    // "classes/"): only members whose names begin with `memberPrefix` are indexed, with
    // the prefix removed before every other rule applies.
    VQZipFileStore(std::string name, std::string_view memberPrefix);

    // When the index is built. A store for an archive that a class path rarely needs in
    // full (the JDK's modules, of which a lookup usually needs the first) indexes on
    // first use: the first listing, lookup or description walks the archive, so that a
    // class path of many large archives costs nothing until they are asked. The walk
    // then reports to the store directly, leaving the process-wide registration alone,
    // so a deferred walk may run while another thread constructs a store.
    enum class Indexing { AtConstruction, OnFirstUse };
    VQZipFileStore(std::string name, std::string_view memberPrefix, Indexing indexing);

    // The index rendered as text, for description().
    std::string indexDescription() const;

    // Index building, used only while the store is constructed.
    // Indexes the package (dotted) and, first, its missing ancestors.
    void addPackageEntry(std::string_view packageName);
    // Appends the entry to the package's classes, indexing the package first if needed.
    void addClassEntry(VQZipFileEntry entry, std::string_view packageName);

private:
    // One package of the index. Packages form a tree whose nodes hold only their own last
    // name component, so that the index grows with the directory's size even for hostile
    // names with thousands of components.
    struct Package {
        std::string name;                   // last component; "" for the root
        uint32_t parent = 0;                // id of the parent (the root is its own)
        bool underLeadingDot = false;       // ".a": a child of the root spelled with a leading "."
        std::vector<uint32_t> subpackages;  // ids, oldest first; listed newest first
        std::vector<VQZipFileEntry> classes;  // archive order
        mutable std::vector<uint32_t>
            byName;  // class indexes by (name, index), made on first lookup
    };
    struct ChildKey {
        uint32_t parent;
        std::string_view name;  // points into the child's own Package::name
        bool operator==(const ChildKey&) const = default;
    };
    struct ChildKeyHash {
        size_t operator()(const ChildKey& key) const noexcept;
    };

    // Walks the archive into the index, through the zip reader's process-wide
    // registration when the store is being constructed, straight to the store when the
    // walk was deferred.
    void indexArchive(bool throughRegistration);
    // Runs a deferred walk, once; a no-op afterwards.
    void ensureIndexed() const {
        if (_indexPending) const_cast<VQZipFileStore*>(this)->indexArchive(false);
    }
    static void memberCallback(const char* name, uint32_t location, uint32_t length,
                               int32_t compressionMethod, uint32_t compressedLength, void* context);
    void addMember(std::string_view name, uint32_t location, uint32_t length,
                   int32_t compressionMethod, uint32_t compressedLength);
    // The package named by a path whose components are separated by ".", "/" or "\",
    // indexed (with its missing ancestors) when it is not yet.
    uint32_t makePackage(std::string_view path);
    // The indexed package with this dotted name, or null.
    const Package* findPackage(std::string_view packageName) const;
    const VQZipFileEntry* findClass(const Package& package, std::string_view bareName) const;
    std::string dottedName(uint32_t id) const;
    // A copy of the name in the store's name blocks, which never move.
    std::string_view keepName(std::string_view name);

    std::string _zipFilePath;
    std::deque<Package> _packages;  // id 0 is the root, once anything is indexed
    std::unordered_map<ChildKey, uint32_t, ChildKeyHash> _children;
    std::vector<std::unique_ptr<char[]>> _nameBlocks;  // the bare names of all class entries
    char* _nameCursor = nullptr;
    size_t _nameRoom = 0;

    // The last package that findPackage resolved: a walk down a package tree asks for each
    // package right after its parent, so resolving from there keeps a walk of a hostile
    // archive with thousands of nested packages linear instead of quadratic in the depth.
    mutable std::string _lastFoundName;
    mutable uint32_t _lastFoundId = 0;

    bool _indexPending = false;  // the walk is deferred and has not run yet

    // Indexing state, used only while the archive is walked.
    std::string _memberPrefix;
    std::string _lastDirectory;       // raw directory of the previous class member ...
    Package* _lastPackage = nullptr;  // ... and its package, reused for runs of one directory
};

}  // namespace ornith
