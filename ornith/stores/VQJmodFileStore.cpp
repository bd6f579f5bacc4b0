#include "ornith/stores/VQJmodFileStore.h"

namespace ornith {

const VQClassStoreKind VQJmodFileStore::storeKind{"VQJmodFileStore", &VQJmodFileStore::canGrokName,
                                                  &VQJmodFileStore::storeWithName};

bool VQJmodFileStore::canGrokName(const std::string& name) {
    const std::string_view n(name);
    // A regular file only: the zip reader refuses anything else anyway, and a FIFO named
    // like a module must not be taken for one.
    return (n.ends_with(".jmod") || n.ends_with(".JMOD")) && VQIsRegularFile(name);
}

std::shared_ptr<VQClassStore> VQJmodFileStore::storeWithName(const std::string& name) {
    return std::make_shared<VQJmodFileStore>(name);
}

// The 4-byte header needs nothing here: the zip reader finds the archive behind any
// bytes that precede it.
VQJmodFileStore::VQJmodFileStore(std::string name) : VQJarFileStore(std::move(name), "classes/") {}

std::string VQJmodFileStore::kindName() const { return "VQJmodFileStore"; }

std::string VQJmodFileStore::description() const { return "Jmod File: " + indexDescription(); }

}  // namespace ornith
