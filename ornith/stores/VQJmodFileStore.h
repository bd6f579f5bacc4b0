#pragma once
// The store for a JDK module file (.jmod): a zip archive behind a 4-byte header, whose
// class files lie under "classes/" (beside native libraries, commands and configuration
// files under other directories). Only the members under "classes/" are indexed, with
// that prefix removed, so java/lang/Object.class is found as java.lang.Object; in every
// other respect it is the jar store, except that the index is built on first use rather
// than at construction.

#include "ornith/stores/VQJarFileStore.h"

namespace ornith {

class VQJmodFileStore : public VQJarFileStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the name ends in ".jmod" or ".JMOD" and names an existing regular file.
    static bool canGrokName(const std::string& name);
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    explicit VQJmodFileStore(std::string name);

    std::string kindName() const override;
    // "Jmod File: " and the index.
    std::string description() const override;
};

}  // namespace ornith
