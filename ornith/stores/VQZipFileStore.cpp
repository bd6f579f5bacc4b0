#include "ornith/stores/VQZipFileStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

#include "ornith/base/VQFormat.h"
#include "ornith/base/VQLog.h"
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
    return std::make_shared<VQZipFileStore>(name);
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
        indexArchive(true);
}

void VQZipFileStore::indexArchive(bool throughRegistration) {
    // Cleared first: a walk that fails (or a callback that raises) is not repeated.
    // Whatever the walk's result, the store keeps what it indexed.
    _indexPending = false;
    struct ResetRunState {
        VQZipFileStore& store;
        ~ResetRunState() {
            store._lastDirectory = std::string();
            store._lastPackage = nullptr;
        }
    } reset{*this};
    if (!throughRegistration) {
        (void)_VQ_walk_zip_archive(_zipFilePath, &VQZipFileStore::memberCallback, this);
        return;
    }
    // The registration is process-wide; clear it however the walk ends.
    struct ClearRegistration {
        ~ClearRegistration() { _VQ_register_zip_archive_callback(nullptr, nullptr); }
    } clear;
    _VQ_register_zip_archive_callback(&VQZipFileStore::memberCallback, this);
    (void)_VQ_read_zip_archive(_zipFilePath);
}

void VQZipFileStore::memberCallback(const char* name, uint32_t location, uint32_t length,
                                    int32_t compressionMethod, uint32_t compressedLength,
                                    void* context) {
    static_cast<VQZipFileStore*>(context)->addMember(name, location, length, compressionMethod,
                                                     compressedLength);
}

void VQZipFileStore::addMember(std::string_view name, uint32_t location, uint32_t length,
                               int32_t compressionMethod, uint32_t compressedLength) {
    if (!_memberPrefix.empty()) {
        if (!name.starts_with(_memberPrefix)) return;
        name.remove_prefix(_memberPrefix.size());
    }
    if (name.find("META-INF") != std::string_view::npos) return;

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
    _lastPackage->classes.push_back(VQZipFileEntry(VQZipFileEntry::InStore(), keepName(bareName),
                                                   location, length, compressionMethod,
                                                   compressedLength));
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
    _packages[makePackage(packageName)].classes.push_back(
        VQZipFileEntry(VQZipFileEntry::InStore(), keepName(entry.name()), entry.locationInZipFile(),
                       entry.length(), entry.compressionMethod(), entry.compressedLength()));
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
    return entryForClassName(className) != nullptr;
}

bool VQZipFileStore::containsPackageName(std::string_view packageName) const {
    return findPackage(packageName) != nullptr;
}

std::shared_ptr<const VQByteBuffer> VQZipFileStore::dataForClassName(
    std::string_view className) const {
    const VQZipFileEntry* entry = entryForClassName(className);
    if (!entry) return nullptr;
    try {
        return _VQ_read_zip_data(_zipFilePath, entry->locationInZipFile(), entry->length(),
                                 entry->compressionMethod(), entry->compressedLength());
    } catch (const std::exception& e) {
        // A member that cannot be read is as good as absent: a later class-path entry may
        // still supply the class. The line says why.
        VQLog(VQFormat("Exception raised reading class %.*s: %s",
                       static_cast<int>(className.size()), className.data(), e.what()));
        return nullptr;
    }
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
