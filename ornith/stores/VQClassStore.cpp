#include "ornith/stores/VQClassStore.h"

#include <algorithm>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/stores/VQClassFileStore.h"
#include "ornith/stores/VQFileSystemStore.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQJmodFileStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith {
namespace {

// Created on first use, already holding the library's own kinds, so no lookup can ever
// see a registry without them and start-up order does not matter. The order is part of
// the behaviour: a directory named Foo.class must be claimed by the directory kind, which
// is asked before the single-class-file kind because it was registered after it.
std::vector<const VQClassStoreKind*>& registry() {
    static std::vector<const VQClassStoreKind*> kinds{
        &VQClassFileStore::storeKind,
        &VQFileSystemStore::storeKind,
        &VQZipFileStore::storeKind,
        &VQJarFileStore::storeKind,
        // JDK module files, asked before everything else.
        &VQJmodFileStore::storeKind,
        // A JDK's runtime image (lib/modules), asked before the module files.
        &VQRuntimeImageStore::storeKind,
    };
    return kinds;
}

}  // namespace

void VQClassStore::registerClassStore(const VQClassStoreKind* kind) {
    if (!kind) return;
    auto& kinds = registry();
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
}

std::shared_ptr<VQClassStore> VQClassStore::classStoreForName(const std::string& name) {
    const auto& kinds = registry();
    for (auto it = kinds.rbegin(); it != kinds.rend(); ++it) {
        const VQClassStoreKind* kind = *it;
        if (kind->canGrokName && kind->canGrokName(name))
            return kind->initWithName ? kind->initWithName(name) : nullptr;
    }
    return nullptr;
}

std::vector<const VQClassStoreKind*> VQClassStore::registeredClassStores() {
    return registry();
}

bool VQClassStore::canGrokName(const std::string&) {
    return false;
}

void VQClassStore::_notImplemented(const char* operation) const {
    throw VQInvalidArgumentException(VQFormat("%s does not implement the class store operation %s",
                                              kindName().c_str(), operation),
                                     VQErrorKind::notImplemented);
}

std::string VQClassStore::kindName() const {
    return "VQClassStore";
}

const std::string& VQClassStore::name() const {
    _notImplemented("name");
}

std::optional<std::vector<std::string>> VQClassStore::classNamesInPackage(
    std::optional<std::string_view>) const {
    _notImplemented("classNamesInPackage");
}

std::optional<std::vector<std::string>> VQClassStore::packageNamesInPackage(
    std::optional<std::string_view>) const {
    _notImplemented("packageNamesInPackage");
}

bool VQClassStore::containsClassName(std::string_view) const {
    _notImplemented("containsClassName");
}

std::optional<VQClassStore::PackageContents> VQClassStore::contentsOfPackage(
    std::string_view packageName) const {
    if (!containsPackageName(packageName)) return std::nullopt;
    PackageContents contents;
    if (auto names = classNamesInPackage(packageName)) contents.classNames = std::move(*names);
    if (auto names = packageNamesInPackage(packageName)) contents.packageNames = std::move(*names);
    return contents;
}

bool VQClassStore::containsPackageName(std::string_view) const {
    _notImplemented("containsPackageName");
}

std::shared_ptr<const VQByteBuffer> VQClassStore::dataForClassName(std::string_view) const {
    _notImplemented("dataForClassName");
}

}  // namespace ornith
