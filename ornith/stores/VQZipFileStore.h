#pragma once
// The store for a zip archive. The archive's central directory is walked once (at
// construction, or at the first question for stores made by the registry) into a
// package index in memory; listings and lookups are answered from it, and only
// dataForClassName goes back to the file. Members under META-INF are left out.
//
// The index is built from the central directory alone, through the store's own
// VQZipArchive (no process-wide registration is involved): a member's local header is
// read when the member is first read, with its data. So a member with a bad local header
// is indexed and fails when read (logged, null), where a walk of its local headers would
// have ended the index at it. An archive that cannot be indexed at all gives an empty
// store, and indexFailure() says why.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFile.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQZipFileEntry.h"
#include "ornith/stores/zipfile.h"

namespace ornith {

class VQZipFileStore;

// The archives a group of stores (one class library's) keeps open between reads, at most
// `limit` at a time: the least recently read is closed when another opens. Not
// synchronised, like the library that owns it.
class VQOpenArchives {
public:
    explicit VQOpenArchives(size_t limit) : _limit(limit ? limit : 1) {}
    VQOpenArchives(const VQOpenArchives&) = delete;
    VQOpenArchives& operator=(const VQOpenArchives&) = delete;
    size_t limit() const noexcept { return _limit; }
    size_t openCount() const noexcept { return _open.size(); }

private:
    friend class VQZipFileStore;
    // The store has just read through its open file (opening it, when it was closed).
    void didUse(const VQZipFileStore* store);
    void didClose(const VQZipFileStore* store);

    size_t _limit;
    std::vector<const VQZipFileStore*> _open;  // most recently used last
};

// What a host may choose for a zip or jar store, before the store's first question.
struct VQZipStoreOptions {
    // Multi-release jars: the Java release whose versioned classes a lookup returns
    // (META-INF/versions/N/ for the highest N from 9 up to this). Below 9, and by
    // default, versioned entries are ignored.
    int multiReleaseVersion = 0;
    // Keeps the archive open between reads, within the group's bound; null (the default)
    // opens it for every read. While open, the store reads the file it indexed even when
    // the path has been replaced since; once closed, a replaced archive of another size
    // fails to read ("the archive changed since it was indexed").
    std::shared_ptr<VQOpenArchives> openArchives;
};

class VQZipFileStore : public VQClassStore {
public:
    static const VQClassStoreKind storeKind;
    ~VQZipFileStore() override;

    // True when the name ends in ".zip" or ".ZIP" and names something that is not a directory.
    static bool canGrokName(const std::string& name);
    // A store for a class-path entry: the archive is indexed when a question first
    // reaches it (what is answered is the same as for a store indexed at construction).
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    // Indexes the archive. Always yields a store: an unreadable archive gives an empty
    // index, a damaged one keeps what was indexed before the damage (indexFailure()
    // says why, in both cases).
    explicit VQZipFileStore(std::string name);
    // A store over an archive that is no file of its own (an archive inside another, read
    // in place or inflated), named `name`, indexed on first use like a class-path entry.
    // Only members below memberPrefix are indexed, as if it were the archive's root.
    VQZipFileStore(std::string name, VQZipArchive archive, std::string_view memberPrefix);

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
    // The same read for a caller that reports failures itself: null when the archive
    // holds no such class, and the read's exception (its kind and detail say what is
    // wrong with the member) raised as it is, with nothing logged.
    std::shared_ptr<const VQByteBuffer> readClassData(std::string_view className) const;

    // "Zip File: " and the index: every package with its subpackages and classes.
    virtual std::string description() const;

    // The class's entry (its first in archive order; for a multi-release jar with a
    // release set, the versioned one), or null. Valid while the store lives.
    const VQZipFileEntry* entryForClassName(std::string_view className) const;

    // Takes effect for the index: a store already indexed indexes anew at its next
    // question when the release changes.
    void setOptions(VQZipStoreOptions options);
    const VQZipStoreOptions& options() const noexcept { return _options; }
    // Why the archive could not be indexed, or null when it was indexed to its end. The
    // reason is the bare text ("not a zip archive (no end of central directory record)",
    // "Permission denied", "archive too large (central directory above 1 GiB)"), the
    // kind says what failed, and the offset in the archive is set where it is known.
    // A walk that stopped part way keeps what it indexed before the damage. Asking
    // indexes a store that indexes on first use.
    const VQException* indexFailure() const;

    // The main manifest's Class-Path entries, as written; empty when there are none.
    std::vector<std::string> manifestClassPath() const;
    // True when the main manifest says "Multi-Release: true".
    bool isMultiRelease() const;

protected:
    // For archives that keep their classes below a directory (a .jmod keeps them under
    // "classes/"): only members whose names begin with `memberPrefix` are indexed, with
    // the prefix removed before every other rule applies.
    VQZipFileStore(std::string name, std::string_view memberPrefix);

    // When the index is built. A store for an archive that a class path rarely needs in
    // full (the JDK's modules, of which a lookup usually needs the first) indexes on
    // first use: the first listing, lookup or description walks the archive, so that a
    // class path of many large archives costs nothing until they are asked.
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

    // Walks the archive's central directory into the index.
    void indexArchive();
    // Runs a deferred walk, once; a no-op afterwards.
    void ensureIndexed() const {
        if (_indexPending) const_cast<VQZipFileStore*>(this)->indexArchive();
    }
    // Reads the directory of the open archive into the index.
    void indexMembers();
    void addMember(const VQZipMember& member);
    // Overlays the versioned classes of a multi-release jar on the base ones.
    void applyVersions();
    // The main manifest's bytes, or null (none, unreadable, or too large: logged).
    std::shared_ptr<const VQByteBuffer> manifestData() const;
    std::shared_ptr<const VQByteBuffer> readEntry(const VQZipFileEntry& entry) const;
    // Runs f on the store's archive, opened for it (raising the reader's failure when it
    // cannot be) and closed afterwards unless the group keeps it open.
    template <typename F>
    auto withOpenArchive(F&& f) const;
    const VQZipFileEntry* findEntry(std::string_view className) const;
    void clearIndex();
    friend class VQOpenArchives;
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
    bool _givenArchive = false;  // _archive was handed over, not opened from the path

    VQZipStoreOptions _options;
    // The archive as indexed: its file stays open while the group keeps it, and is opened
    // again for each read otherwise. Its read context is reused from member to member.
    mutable VQZipArchive _archive;
    std::optional<VQException> _indexFailure;
    // The main manifest's member, when the archive has one.
    struct ManifestMember {
        uint64_t localHeader, length, compressedLength;
        int32_t method;
    };
    std::optional<ManifestMember> _manifest;
    mutable std::optional<std::shared_ptr<const VQByteBuffer>> _manifestData;
    // Versioned classes of a multi-release jar, gathered while indexing.
    struct VersionedMember {
        int version;
        std::string directory, bareName;
        uint64_t localHeader, length, compressedLength;
        int32_t method;
    };
    std::vector<VersionedMember> _versioned;

    // Indexing state, used only while the archive is walked.
    std::string _memberPrefix;
    std::string _lastDirectory;       // raw directory of the previous class member ...
    Package* _lastPackage = nullptr;  // ... and its package, reused for runs of one directory
};

}  // namespace ornith
