#pragma once
// The store for a jar archive: a zip store that accepts ".jar" names and says so. The
// index, the reads through the store's own archive and indexFailure() are the zip
// store's.

#include "ornith/stores/VQZipFileStore.h"

namespace ornith {

class VQJarFileStore : public VQZipFileStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the name ends in ".jar" or ".JAR" and names something that is not a directory.
    static bool canGrokName(const std::string& name);
    // Indexed when a question first reaches it, as for the zip store.
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    explicit VQJarFileStore(std::string name);
    // A jar inside another archive, as for the zip store.
    VQJarFileStore(std::string name, VQZipArchive archive, std::string_view memberPrefix);

    std::string kindName() const override;
    // "Jar File: " and the index.
    std::string description() const override;

protected:
    VQJarFileStore(std::string name, std::string_view memberPrefix,
                   Indexing indexing = Indexing::AtConstruction);
};

}  // namespace ornith
