#include "ornith/stores/VQZipFileStore.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/base/VQLog.h"
#include "ornith/stores/VQJarManifest.h"
#include "ornith/stores/zipfile.h"

namespace ornith {

const VQClassStoreKind VQZipFileStore::storeKind{"VQZipFileStore", &VQZipFileStore::canGrokName,
                                                 &VQZipFileStore::storeWithName};

namespace {

// The key under which children of the root spelled with a leading "." are found: ".a"
// is a child of the root like "a", but a different package.
constexpr uint32_t kLeadingDotParent = UINT32_MAX;

// Packages with more classes than this get a sorted lookup table on first lookup; below
// it a linear search is faster than building one.
constexpr size_t kLinearSearchLimit = 8;

constexpr auto kSeparators = [] {
    std::array<bool, 256> table{};
    table['.'] = table['/'] = table['\\'] = true;
    return table;
}();

bool isSeparator(char c) {
    return kSeparators[static_cast<unsigned char>(c)];
}

// The position after the last ".", "/" or "\" of the text (0 when there is none). Jar
// names are long and their last component rarely holds a dot, so three vectorised
// searches beat one byte loop.
size_t afterLastSeparator(std::string_view text) {
    const char* begin = text.data();
    size_t from = 0;
    if (const void* slash = ::memrchr(begin, '/', text.size()))
        from = static_cast<size_t>(static_cast<const char*>(slash) - begin) + 1;
    const size_t rest = text.size() - from;
    size_t split = from;
    if (const void* dot = ::memrchr(begin + from, '.', rest))
        split = std::max(split, static_cast<size_t>(static_cast<const char*>(dot) - begin + 1));
    if (const void* backslash = ::memrchr(begin + from, '\\', rest))
        split =
            std::max(split, static_cast<size_t>(static_cast<const char*>(backslash) - begin + 1));
    return split;
}

size_t findSeparator(std::string_view path, size_t from) {
    for (size_t i = from; i < path.size(); ++i)
        if (isSeparator(path[i])) return i;
    return std::string_view::npos;
}

// Removes the one trailing "/" or "\" that the path-to-name conversion drops.
std::string_view dropTrailingSeparator(std::string_view path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
    return path;
}

}  // namespace

size_t VQZipFileStore::ChildKeyHash::operator()(const ChildKey& key) const noexcept {
    return std::hash<std::string_view>{}(key.name) ^ (size_t{key.parent} * 0x9E3779B97F4A7C15ull);
}

bool VQZipFileStore::canGrokName(const std::string& name) {
    const std::string_view n(name);
    if (!n.ends_with(".zip") && !n.ends_with(".ZIP")) return false;
    bool isDirectory = false;
    return VQFileExists(name, &isDirectory) && !isDirectory;
}

std::shared_ptr<VQClassStore> VQZipFileStore::storeWithName(const std::string& name) {
    return std::shared_ptr<VQClassStore>(
        new VQZipFileStore(name, std::string_view(), Indexing::OnFirstUse));
}

void VQOpenArchives::didUse(const VQZipFileStore* store) {
    auto at = std::find(_open.begin(), _open.end(), store);
    if (at != _open.end()) {
        std::rotate(at, at + 1, _open.end());
        return;
    }
    if (_open.size() >= _limit) {
        const VQZipFileStore* oldest = _open.front();
        _open.erase(_open.begin());
        oldest->_archive.closeFile();
    }
    _open.push_back(store);
}

void VQOpenArchives::didClose(const VQZipFileStore* store) {
    auto at = std::find(_open.begin(), _open.end(), store);
    if (at != _open.end()) _open.erase(at);
}

VQZipFileStore::~VQZipFileStore() {
    if (_options.openArchives) _options.openArchives->didClose(this);
}

void VQZipFileStore::setOptions(VQZipStoreOptions options) {
    const bool reindex = !_indexPending && !_packages.empty() &&
                         options.multiReleaseVersion != _options.multiReleaseVersion;
    if (_options.openArchives && _options.openArchives != options.openArchives) {
        _options.openArchives->didClose(this);
        _archive.closeFile();
    }
    _options = std::move(options);
    if (reindex) {
        clearIndex();
        _indexPending = true;
    }
}

void VQZipFileStore::clearIndex() {
    _packages.clear();
    _children.clear();
    _nameBlocks.clear();
    _nameCursor = nullptr;
    _nameRoom = 0;
    _lastFoundName.clear();
    _lastFoundId = 0;
    _manifest.reset();
    _manifestData.reset();
    _versioned.clear();
}

VQZipFileStore::VQZipFileStore(std::string name)
    : VQZipFileStore(std::move(name), std::string_view()) {}

VQZipFileStore::VQZipFileStore(std::string name, std::string_view memberPrefix)
    : VQZipFileStore(std::move(name), memberPrefix, Indexing::AtConstruction) {}

VQZipFileStore::VQZipFileStore(std::string name, std::string_view memberPrefix, Indexing indexing)
    : _zipFilePath(std::move(name)), _memberPrefix(memberPrefix) {
    if (indexing == Indexing::OnFirstUse)
        _indexPending = true;
    else
        indexArchive();
}

VQZipFileStore::VQZipFileStore(std::string name, VQZipArchive archive,
                               std::string_view memberPrefix)
    : _zipFilePath(std::move(name)),
      _indexPending(true),
      _givenArchive(true),
      _archive(std::move(archive)),
      _memberPrefix(memberPrefix) {}

void VQZipFileStore::indexArchive() {
    // Cleared first: a walk that fails (or a member that raises) is not repeated.
    // Whatever the walk's result, the store keeps what it indexed.
    _indexPending = false;
    struct ResetRunState {
        VQZipFileStore& store;
        ~ResetRunState() {
            store._lastDirectory = std::string();
            store._lastPackage = nullptr;
            store._versioned.clear();
        }
    } reset{*this};
    _indexFailure.reset();
    if (_givenArchive) {
        // Nothing to open: the archive lies in another, which keeps its own file.
        indexMembers();
        return;
    }
    errno = 0;
    VQFileStatus status = VQFileStatus::ok;
    VQFile file = VQFile::openRegular(_zipFilePath, &status);
    if (!file) {
        const int error = errno;
        // Kept closed with no size, so that a read names the file that cannot be opened.
        _archive = VQZipArchive::withFile(VQFile(), _zipFilePath);
        const char* why = status == VQFileStatus::notFound     ? std::strerror(ENOENT)
                          : status == VQFileStatus::notRegular ? "not a regular file"
                          : error                              ? std::strerror(error)
                                                               : VQFileStatusText(status);
        _indexFailure.emplace(VQInvalidArgumentException(why, VQErrorKind::unreadableFile));
        return;
    }
    _archive = VQZipArchive::withFile(std::move(file), _zipFilePath);
    indexMembers();
    if (_options.openArchives)
        // The file just indexed is the one the store answers from while it stays open.
        _options.openArchives->didUse(this);
    else
        _archive.closeFile();
}

void VQZipFileStore::indexMembers() {
    if (_archive.readDirectory() == 0) {
        VQZipArchive::Cursor cursor;
        VQZipMember member;
        while (_archive.nextMember(cursor, member)) addMember(member);
    }
    if (const VQZipProblem& problem = _archive.problem())
        _indexFailure.emplace(
            VQInvalidArgumentException(problem.reason, problem.kind, problem.offset));
    // The index holds its own copies of what it needs from the directory.
    _archive.releaseDirectory();
    if (!_versioned.empty()) applyVersions();
}

const VQException* VQZipFileStore::indexFailure() const {
    ensureIndexed();
    return _indexFailure ? &*_indexFailure : nullptr;
}

template <typename F>
auto VQZipFileStore::withOpenArchive(F&& f) const {
    struct CloseAfter {
        const VQZipFileStore& store;
        ~CloseAfter() {
            if (!store._options.openArchives) store._archive.closeFile();
        }
    } closeAfter{*this};
    _archive.ensureOpen();
    if (_options.openArchives && !_givenArchive) _options.openArchives->didUse(this);
    return f(std::as_const(_archive));
}

namespace {

constexpr std::string_view kManifestName = "META-INF/MANIFEST.MF";
constexpr std::string_view kVersionsDirectory = "META-INF/versions/";
// The first release with multi-release jars.
constexpr int kFirstVersionedRelease = 9;

bool isManifestName(std::string_view name) {
    return name.size() == kManifestName.size() &&
           std::equal(name.begin(), name.end(), kManifestName.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == b;
           });
}

// The release of a member under META-INF/versions/N/, and the rest of its name; 0 when
// the name is no versioned member.
int versionOf(std::string_view name, std::string_view* rest) {
    if (!name.starts_with(kVersionsDirectory)) return 0;
    name.remove_prefix(kVersionsDirectory.size());
    const size_t slash = name.find('/');
    if (slash == 0 || slash == std::string_view::npos || slash > 6) return 0;
    int version = 0;
    for (char c : name.substr(0, slash)) {
        if (c < '0' || c > '9') return 0;
        version = version * 10 + (c - '0');
    }
    *rest = name.substr(slash + 1);
    return version;
}

}  // namespace

void VQZipFileStore::addMember(const VQZipMember& member) {
    // A name ends at its first NUL, as it always did when names came NUL-terminated.
    std::string_view name = member.name.substr(0, member.name.find('\0'));
    if (!_memberPrefix.empty()) {
        if (!name.starts_with(_memberPrefix)) return;
        name.remove_prefix(_memberPrefix.size());
    }
    // Found whatever its case, as java finds it; listed as before.
    if (!_manifest && isManifestName(name))
        _manifest = ManifestMember{member.localHeaderOffset, member.length, member.compressedLength,
                                   member.compressionMethod};
    if (name.find("META-INF") != std::string_view::npos) {
        if (_options.multiReleaseVersion >= kFirstVersionedRelease) {
            std::string_view rest;
            const int version = versionOf(name, &rest);
            if (version >= kFirstVersionedRelease && version <= _options.multiReleaseVersion &&
                rest.ends_with(".class") && rest.find("META-INF") == std::string_view::npos) {
                const std::string_view stem = rest.substr(0, rest.size() - 6);
                const size_t split = afterLastSeparator(stem);
                _versioned.push_back(VersionedMember{
                    version,
                    std::string(split == 0 ? std::string_view() : stem.substr(0, split - 1)),
                    std::string(stem.substr(split)), member.localHeaderOffset, member.length,
                    member.compressedLength, member.compressionMethod});
            }
        }
        return;
    }

    // A class is a member whose last path component has the extension "class", exactly:
    // since "class" holds neither "." nor "/", that is a name ending in ".class".
    if (!name.ends_with(".class")) {
        // Anything else names a package: java/lang/ gives java.lang, and a resource
        // images/logo.gif gives images.logo.gif (with images and images.logo).
        makePackage(dropTrailingSeparator(name));
        return;
    }

    // The class's dotted name is the member name without ".class", converted; its package
    // is everything before the last separator of that, its bare name the rest. Done on
    // the raw bytes so that a class costs no conversion and, in a run of members from one
    // directory, no package lookup either.
    const std::string_view stem = dropTrailingSeparator(name.substr(0, name.size() - 6));
    const size_t split = afterLastSeparator(stem);
    const std::string_view directory = split == 0 ? std::string_view() : stem.substr(0, split - 1);
    const std::string_view bareName = stem.substr(split);

    if (!_lastPackage || directory != _lastDirectory) {
        _lastPackage = &_packages[makePackage(directory)];
        _lastDirectory.assign(directory);
    }
    _lastPackage->classes.push_back(VQZipFileEntry(
        VQZipFileEntry::AtLocalHeader(), keepName(bareName), member.localHeaderOffset,
        member.length, member.compressionMethod, member.compressedLength));
}

void VQZipFileStore::applyVersions() {
    if (!isMultiRelease()) return;
    // Lower releases first, so that the highest one a class has is the one that stays.
    std::stable_sort(
        _versioned.begin(), _versioned.end(),
        [](const VersionedMember& a, const VersionedMember& b) { return a.version < b.version; });
    // Where each class already is: (package id, bare name) to its index in the package.
    std::unordered_map<std::string, size_t> where;
    auto key = [](uint32_t package, std::string_view bareName) {
        std::string k = std::to_string(package);
        k.push_back('/');
        k.append(bareName);
        return k;
    };
    std::vector<bool> mapped;
    for (const VersionedMember& member : _versioned) {
        const uint32_t id = makePackage(member.directory);
        if (mapped.size() <= id) mapped.resize(id + 1, false);
        Package& package = _packages[id];
        if (!mapped[id]) {
            mapped[id] = true;
            // Ties keep archive order: the first entry of a name is the one looked up.
            for (size_t i = package.classes.size(); i-- > 0;)
                where[key(id, package.classes[i].name())] = i;
        }
        VQZipFileEntry entry(VQZipFileEntry::AtLocalHeader(), keepName(member.bareName),
                             member.localHeader, member.length, member.method,
                             member.compressedLength);
        auto [at, added] = where.try_emplace(key(id, member.bareName), package.classes.size());
        if (added) {
            package.classes.push_back(entry);
        } else {
            package.classes[at->second] = entry;
        }
        package.byName.clear();
    }
}

std::string_view VQZipFileStore::keepName(std::string_view name) {
    // Most bare names are short; one block holds thousands of them.
    constexpr size_t kBlockSize = 64 * 1024;
    if (name.size() > _nameRoom) {
        const size_t size = std::max(kBlockSize, name.size());
        _nameBlocks.push_back(std::make_unique_for_overwrite<char[]>(size));
        _nameCursor = _nameBlocks.back().get();
        _nameRoom = size;
    }
    char* kept = _nameCursor;
    if (!name.empty()) std::memcpy(kept, name.data(), name.size());
    _nameCursor += name.size();
    _nameRoom -= name.size();
    return {kept, name.size()};
}

uint32_t VQZipFileStore::makePackage(std::string_view path) {
    // The root is indexed as soon as anything is.
    if (_packages.empty()) _packages.emplace_back();
    if (path.empty()) return 0;

    uint32_t current = 0;
    uint32_t key = 0;
    size_t start = 0;
    if (isSeparator(path[0])) {
        key = kLeadingDotParent;
        start = 1;
    }
    for (;;) {
        const size_t stop = findSeparator(path, start);
        const std::string_view component = path.substr(
            start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
        auto found = _children.find(ChildKey{key, component});
        if (found != _children.end()) {
            current = found->second;
        } else {
            // Ancestors are indexed before their descendants, and each is named once in its
            // parent's list, in the order in which the archive first mentions them.
            const auto id = static_cast<uint32_t>(_packages.size());
            Package& child = _packages.emplace_back();
            child.name.assign(component);
            child.parent = current;
            child.underLeadingDot = key == kLeadingDotParent;
            _packages[current].subpackages.push_back(id);
            _children.emplace(ChildKey{key, child.name}, id);
            current = id;
        }
        if (stop == std::string_view::npos) return current;
        key = current;
        start = stop + 1;
    }
}

void VQZipFileStore::addPackageEntry(std::string_view packageName) {
    ensureIndexed();
    makePackage(packageName);
}

void VQZipFileStore::addClassEntry(VQZipFileEntry entry, std::string_view packageName) {
    ensureIndexed();
    VQZipFileEntry kept(VQZipFileEntry::AtLocalHeader(), keepName(entry.name()), entry._localHeader,
                        entry.length(), entry.compressionMethod(), entry.compressedLength());
    kept._location = entry._location;
    kept._locationKnown = entry._locationKnown;
    _packages[makePackage(packageName)].classes.push_back(kept);
}

const VQZipFileStore::Package* VQZipFileStore::findPackage(std::string_view packageName) const {
    ensureIndexed();
    if (_packages.empty() || !_isUsableName(packageName)) return nullptr;
    if (packageName.empty()) return &_packages[0];
    uint32_t key = 0;
    size_t start = 0;
    const std::string_view last = _lastFoundName;
    if (!last.empty() && packageName.size() >= last.size() && packageName.starts_with(last)) {
        if (packageName.size() == last.size()) return &_packages[_lastFoundId];
        if (packageName[last.size()] == '.') {
            key = _lastFoundId;
            start = last.size() + 1;
        }
    }
    if (start == 0 && packageName[0] == '.') {
        key = kLeadingDotParent;
        start = 1;
    }
    for (;;) {
        const size_t stop = packageName.find('.', start);
        const std::string_view component = packageName.substr(
            start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
        auto found = _children.find(ChildKey{key, component});
        if (found == _children.end()) return nullptr;
        if (stop == std::string_view::npos) {
            _lastFoundName.assign(packageName);
            _lastFoundId = found->second;
            return &_packages[found->second];
        }
        key = found->second;
        start = stop + 1;
    }
}

const VQZipFileEntry* VQZipFileStore::findClass(const Package& package,
                                                std::string_view bareName) const {
    const auto& classes = package.classes;
    if (classes.size() <= kLinearSearchLimit) {
        for (const auto& entry : classes)
            if (entry.name() == bareName) return &entry;
        return nullptr;
    }
    // Reading every class of a big package would otherwise be quadratic. Ties keep archive
    // order, so the first occurrence of a class stored twice is the one found. The table
    // is made here rather than at construction so that indexing stays as cheap as the
    // listing of an archive; like the class library that owns it, a store is used from
    // one thread at a time.
    if (package.byName.empty()) {
        package.byName.resize(classes.size());
        for (uint32_t i = 0; i < classes.size(); ++i) package.byName[i] = i;
        std::sort(package.byName.begin(), package.byName.end(), [&](uint32_t a, uint32_t b) {
            int order = classes[a].name().compare(classes[b].name());
            return order < 0 || (order == 0 && a < b);
        });
    }
    auto at = std::lower_bound(
        package.byName.begin(), package.byName.end(), bareName,
        [&](uint32_t index, std::string_view name) { return classes[index].name() < name; });
    if (at == package.byName.end() || classes[*at].name() != bareName) return nullptr;
    return &classes[*at];
}

const VQZipFileEntry* VQZipFileStore::entryForClassName(std::string_view className) const {
    const VQZipFileEntry* entry = findEntry(className);
    if (entry && !entry->_locationKnown) {
        // Where the data lies is known only from the local header.
        try {
            withOpenArchive([&](const VQZipArchive& archive) {
                if (const auto location = archive.dataLocation(entry->_localHeader)) {
                    entry->_location = *location;
                    entry->_locationKnown = true;
                }
                return 0;
            });
        } catch (const std::exception&) {
            // An archive that cannot be opened leaves the location unknown (0).
        }
    }
    return entry;
}

const VQZipFileEntry* VQZipFileStore::findEntry(std::string_view className) const {
    if (!_isUsableName(className)) return nullptr;
    const size_t dot = className.rfind('.');
    const Package* package =
        findPackage(dot == std::string_view::npos ? std::string_view() : className.substr(0, dot));
    if (!package) return nullptr;
    return findClass(*package,
                     dot == std::string_view::npos ? className : className.substr(dot + 1));
}

std::string VQZipFileStore::kindName() const {
    return "VQZipFileStore";
}

const std::string& VQZipFileStore::name() const {
    return _zipFilePath;
}

std::optional<std::vector<std::string>> VQZipFileStore::classNamesInPackage(
    std::optional<std::string_view> packageName) const {
    const Package* package = packageName ? findPackage(*packageName) : nullptr;
    if (!package || package->classes.empty()) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(package->classes.size());
    for (const auto& entry : package->classes) names.emplace_back(entry.name());
    return names;
}

std::optional<std::vector<std::string>> VQZipFileStore::packageNamesInPackage(
    std::optional<std::string_view> packageName) const {
    const Package* package = packageName ? findPackage(*packageName) : nullptr;
    if (!package || package->subpackages.empty()) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(package->subpackages.size());
    for (auto it = package->subpackages.rbegin(); it != package->subpackages.rend(); ++it)
        names.push_back(_packages[*it].name);
    return names;
}

bool VQZipFileStore::containsClassName(std::string_view className) const {
    return findEntry(className) != nullptr;
}

bool VQZipFileStore::containsPackageName(std::string_view packageName) const {
    return findPackage(packageName) != nullptr;
}

std::shared_ptr<const VQByteBuffer> VQZipFileStore::readClassData(
    std::string_view className) const {
    const VQZipFileEntry* entry = findEntry(className);
    return entry ? readEntry(*entry) : nullptr;
}

std::shared_ptr<const VQByteBuffer> VQZipFileStore::dataForClassName(
    std::string_view className) const {
    try {
        return readClassData(className);
    } catch (const std::exception& e) {
        // A member that cannot be read is as good as absent: a later class-path entry may
        // still supply the class. The line says why.
        VQLog(VQFormat("Exception raised reading class %.*s: %s",
                       static_cast<int>(className.size()), className.data(), e.what()));
        return nullptr;
    }
}

std::shared_ptr<const VQByteBuffer> VQZipFileStore::readEntry(const VQZipFileEntry& entry) const {
    return withOpenArchive([&](const VQZipArchive& archive) {
        if (entry._localHeader == VQZipFileEntry::kNoLocalHeader)
            return archive.readData(entry._location, entry.length(), entry.compressionMethod(),
                                    entry.compressedLength());
        uint64_t location = 0;
        auto data =
            archive.read(VQZipMember{std::string_view(), entry._localHeader, entry.length(),
                                     entry.compressedLength(), entry.compressionMethod(), 0},
                         nullptr, &location);
        entry._location = location;
        entry._locationKnown = true;
        return data;
    });
}

std::shared_ptr<const VQByteBuffer> VQZipFileStore::manifestData() const {
    if (_manifestData) return *_manifestData;
    _manifestData = nullptr;
    if (!_manifest) return nullptr;
    if (_manifest->length > VQJarManifest::kMaxLength) {
        VQLog(VQFormat("Ignoring the manifest of %s: %llu bytes is more than a manifest may hold",
                       _zipFilePath.c_str(), static_cast<unsigned long long>(_manifest->length)));
        return nullptr;
    }
    try {
        VQZipFileEntry entry(VQZipFileEntry::AtLocalHeader(), kManifestName, _manifest->localHeader,
                             _manifest->length, _manifest->method, _manifest->compressedLength);
        _manifestData = readEntry(entry);
    } catch (const std::exception& e) {
        VQLog(VQFormat("Exception raised reading the manifest of %s: %s", _zipFilePath.c_str(),
                       e.what()));
    }
    return *_manifestData;
}

bool VQZipFileStore::isMultiRelease() const {
    ensureIndexed();
    const auto data = manifestData();
    return data && VQJarManifest(data->span()).isMultiRelease();
}

std::vector<std::string> VQZipFileStore::manifestClassPath() const {
    ensureIndexed();
    const auto data = manifestData();
    if (!data) return {};
    return VQJarManifest(data->span()).classPath();
}

std::string VQZipFileStore::dottedName(uint32_t id) const {
    // Iterative: a hostile archive may nest packages thousands deep.
    std::vector<uint32_t> chain;
    for (uint32_t at = id; at != 0; at = _packages[at].parent) chain.push_back(at);
    std::string name;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Package& package = _packages[*it];
        if (it != chain.rbegin() || package.underLeadingDot) name.append(1, '.');
        name.append(package.name);
    }
    return name;
}

std::string VQZipFileStore::indexDescription() const {
    ensureIndexed();
    // Packages sorted by name, each with its contents list as the index keeps it:
    // subpackages newest first, then classes in archive order.
    std::vector<std::pair<std::string, uint32_t>> packages;
    packages.reserve(_packages.size());
    for (uint32_t id = 0; id < _packages.size(); ++id) packages.emplace_back(dottedName(id), id);
    std::sort(packages.begin(), packages.end());
    std::string text = "{";
    for (const auto& [name, id] : packages) {
        const Package& package = _packages[id];
        text.append("\n    \"").append(name).append("\" = (");
        bool first = true;
        for (auto it = package.subpackages.rbegin(); it != package.subpackages.rend(); ++it) {
            text.append(first ? "" : ", ").append(_packages[*it].name);
            first = false;
        }
        for (const auto& entry : package.classes) {
            text.append(first ? "" : ", ").append(entry.description());
            first = false;
        }
        text.append(");");
    }
    text.append(packages.empty() ? "}" : "\n}");
    return text;
}

std::string VQZipFileStore::description() const {
    return "Zip File: " + indexDescription();
}

}  // namespace ornith
