// The class library's archive options: wildcard entries, manifest Class-Path following,
// multi-release jars and archives kept open between reads.

#include <algorithm>
#include <filesystem>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
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

}  // namespace

void VQClassLibrary::setArchiveOptions(VQClassLibraryArchiveOptions options) {
    _archiveOptions = std::move(options);
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
        configureArchiveStore(*store);
        _classStores.push_back(std::move(store));
        followManifestClassPath(_classStores.size() - 1);
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
        if (!VQFileExists(next.path)) {
            if (_archiveOptions.onMissingClassPathEntry)
                _archiveOptions.onMissingClassPathEntry(next.jar, next.path);
            continue;
        }
        auto store = VQClassStore::classStoreForName(next.path);
        if (!store) continue;
        configureArchiveStore(*store);
        VQClassStore& added = *store;
        _classStores.insert(_classStores.begin() + static_cast<std::ptrdiff_t>(insertAt++),
                            std::move(store));
        if (VQZipFileStore* zip = manifestStore(added)) pushNamedBy(*zip);
    }
}

}  // namespace ornith
