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
// bytes that precede it. A JDK has some seventy modules, and most work needs java.base
// alone: each module is indexed when it is first asked.
VQJmodFileStore::VQJmodFileStore(std::string name)
    : VQJarFileStore(std::move(name), "classes/", Indexing::OnFirstUse) {}

std::string VQJmodFileStore::kindName() const {
    return "VQJmodFileStore";
}

std::string VQJmodFileStore::description() const {
    return "Jmod File: " + indexDescription();
}

}  // namespace ornith
