// The class library's archive options: wildcard entries, manifest Class-Path following,
// multi-release jars, archives kept open between reads, archives inside archives and
// application layouts.

#include <algorithm>
#include <filesystem>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQJarManifest.h"
#include "ornith/stores/VQJmodFileStore.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith {
namespace {

// The key under which an archive is followed once: its absolute path, lexically
// normalised (no file-system access, so a missing archive has a key too).
std::string archiveKey(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

// The stores whose manifests a class path follows: zip and jar archives, not modules.
VQZipFileStore* manifestStore(VQClassStore& store) {
    auto* zip = dynamic_cast<VQZipFileStore*>(&store);
    return zip && !dynamic_cast<VQJmodFileStore*>(zip) ? zip : nullptr;
}

bool hasSuffix(std::string_view name, std::string_view lower, std::string_view upper) {
    return name.ends_with(lower) || name.ends_with(upper);
}

}  // namespace

void VQClassLibrary::setArchiveOptions(VQClassLibraryArchiveOptions options) {
    _archiveOptions = std::move(options);
    const bool nesting =
        _archiveOptions.nestedEntries || _archiveOptions.layout != VQArchiveLayout::plain;
    if (!nesting)
        _nested.reset();
    else if (!_nested || _nested->options().maxDepth != _archiveOptions.nesting.maxDepth ||
             _nested->options().inflateBudget != _archiveOptions.nesting.inflateBudget)
        _nested = std::make_shared<VQNestedArchives>(_archiveOptions.nesting);
    if (_archiveOptions.maxOpenArchives == 0)
        _openArchives.reset();
    else if (!_openArchives || _openArchives->limit() != _archiveOptions.maxOpenArchives)
        _openArchives = std::make_shared<VQOpenArchives>(_archiveOptions.maxOpenArchives);
}

bool VQClassLibrary::addWildcardEntry(const std::string& entry) {
    if (!_archiveOptions.expandWildcards) return false;
    if (entry != "*" && !entry.ends_with("/*")) return false;
    const std::string directory = entry == "*" ? "." : entry.substr(0, entry.size() - 2);
    std::vector<std::string> jars;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory.empty() ? "/" : directory, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.ends_with(".jar") && !name.ends_with(".JAR")) continue;
        std::error_code notFile;
        if (!it->is_regular_file(notFile)) continue;
        jars.push_back((directory.empty() ? "" : directory) + "/" + name);
    }
    // The launcher leaves the order open; name order makes it reproducible.
    std::sort(jars.begin(), jars.end());
    for (const std::string& jar : jars) {
        auto store = VQClassStore::classStoreForName(jar);
        if (!store) continue;
        addArchiveStore(std::move(store), true);
    }
    return true;
}

std::shared_ptr<VQClassStore> VQClassLibrary::storeForEntry(const std::string& entry) {
    // A file whose name merely holds "!/" is still that file.
    if (_nested && VQIsNestedEntry(entry) && !VQFileExists(entry))
        return _nested->storeForEntry(entry);
    auto store = VQClassStore::classStoreForName(entry);
    if (!store && _nested && _archiveOptions.layout != VQArchiveLayout::plain &&
        (hasSuffix(entry, ".war", ".WAR") || hasSuffix(entry, ".ear", ".EAR")) &&
        VQIsRegularFile(entry))
        store = VQJarFileStore::storeWithName(entry);
    return store;
}

void VQClassLibrary::addArchiveStore(std::shared_ptr<VQClassStore> store, bool applyLayout) {
    // Configured before the layout's question, which indexes the archive: a release set
    // afterwards would make it index the archive again.
    configureArchiveStore(*store);
    if (applyLayout && addLayoutStores(*store)) return;
    _classStores.push_back(std::move(store));
    followManifestClassPath(_classStores.size() - 1);
}

bool VQClassLibrary::addLayoutStores(const VQClassStore& store) {
    const VQArchiveLayout layout = _archiveOptions.layout;
    if (!_nested || layout == VQArchiveLayout::plain) return false;
    const auto* zip = dynamic_cast<const VQZipFileStore*>(&store);
    if (!zip || dynamic_cast<const VQJmodFileStore*>(zip)) return false;
    // The store's own index answers whether a layout could apply, so that a class path
    // of plain jars reads no directory twice.
    if (layout == VQArchiveLayout::automatic && !zip->containsPackageName("BOOT-INF") &&
        !zip->containsPackageName("WEB-INF") && !hasSuffix(zip->name(), ".ear", ".EAR"))
        return false;
    const std::vector<std::string> entries = _nested->layoutEntries(zip->name(), layout);
    if (entries.empty()) return false;
    for (const std::string& entry : entries) {
        // A jar that an earlier one's Class-Path already brought in comes once.
        if (_archiveOptions.followManifestClassPath && _archivesOnPath.count(archiveKey(entry)))
            continue;
        // One bad member costs only itself, as one bad entry of a class path does.
        try {
            addArchiveStore(_nested->storeForEntry(entry), false);
        } catch (const std::exception& failure) {
            if (_droppedEntryHandler && *_droppedEntryHandler)
                (*_droppedEntryHandler)(entry, failure);
        }
    }
    return true;
}

void VQClassLibrary::configureArchiveStore(VQClassStore& store) {
    auto* zip = dynamic_cast<VQZipFileStore*>(&store);
    if (!zip) return;
    if (_archiveOptions.multiReleaseVersion == 0 && !_openArchives) return;
    zip->setOptions({_archiveOptions.multiReleaseVersion, _openArchives});
}

void VQClassLibrary::followManifestClassPath(size_t storeIndex) {
    if (!_archiveOptions.followManifestClassPath) return;
    VQZipFileStore* root = manifestStore(*_classStores[storeIndex]);
    if (!root) return;
    // Each archive once: one already on the path is not added again, which also ends
    // cycles. Archives named on the class path itself are always added, as before.
    _archivesOnPath.insert(archiveKey(root->name()));

    // As java's class loader does, depth first: the archives a jar names come right
    // after it, each followed by those it names in turn. A stack of (naming jar, path).
    struct Pending {
        std::string jar, path;
    };
    std::vector<Pending> stack;
    auto pushNamedBy = [&](const VQZipFileStore& store) {
        const std::vector<std::string> entries = store.manifestClassPath();
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (auto path = VQResolveClassPathEntry(store.name(), *it))
                stack.push_back({store.name(), std::move(*path)});
    };
    pushNamedBy(*root);
    size_t insertAt = storeIndex + 1;
    while (!stack.empty()) {
        const Pending next = std::move(stack.back());
        stack.pop_back();
        if (!_archivesOnPath.insert(archiveKey(next.path)).second) continue;
        std::shared_ptr<VQClassStore> store;
        bool missing = false;
        if (_nested && VQIsNestedEntry(next.path) && !VQFileExists(next.path)) {
            // A jar inside an archive names its neighbours inside the same archive.
            try {
                store = _nested->storeForEntry(next.path);
            } catch (const std::exception&) {
                missing = true;
            }
        } else if (!VQFileExists(next.path)) {
            missing = true;
        } else {
            store = VQClassStore::classStoreForName(next.path);
        }
        if (missing) {
            if (_archiveOptions.onMissingClassPathEntry)
                _archiveOptions.onMissingClassPathEntry(next.jar, next.path);
            continue;
        }
        if (!store) continue;
        configureArchiveStore(*store);
        VQClassStore& added = *store;
        _classStores.insert(_classStores.begin() + static_cast<std::ptrdiff_t>(insertAt++),
                            std::move(store));
        if (VQZipFileStore* zip = manifestStore(added)) pushNamedBy(*zip);
    }
}

}  // namespace ornith
