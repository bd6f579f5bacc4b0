#include "ornith/stores/VQJarFileStore.h"

namespace ornith {

const VQClassStoreKind VQJarFileStore::storeKind{"VQJarFileStore", &VQJarFileStore::canGrokName,
                                                 &VQJarFileStore::storeWithName};

bool VQJarFileStore::canGrokName(const std::string& name) {
    const std::string_view n(name);
    if (!n.ends_with(".jar") && !n.ends_with(".JAR")) return false;
    bool isDirectory = false;
    return VQFileExists(name, &isDirectory) && !isDirectory;
}

std::shared_ptr<VQClassStore> VQJarFileStore::storeWithName(const std::string& name) {
    return std::shared_ptr<VQClassStore>(
        new VQJarFileStore(name, std::string_view(), Indexing::OnFirstUse));
}

VQJarFileStore::VQJarFileStore(std::string name)
    : VQZipFileStore(std::move(name), std::string_view()) {}

VQJarFileStore::VQJarFileStore(std::string name, VQZipArchive archive,
                               std::string_view memberPrefix)
    : VQZipFileStore(std::move(name), std::move(archive), memberPrefix) {}

VQJarFileStore::VQJarFileStore(std::string name, std::string_view memberPrefix, Indexing indexing)
    : VQZipFileStore(std::move(name), memberPrefix, indexing) {}

std::string VQJarFileStore::kindName() const {
    return "VQJarFileStore";
}

std::string VQJarFileStore::description() const {
    return "Jar File: " + indexDescription();
}

}  // namespace ornith
