#pragma once
// The store for a Java runtime image: the file lib/modules of a JDK or JRE, from which the
// JVM itself loads the platform's classes.
//
// An image is one file: a header, an index (a hash table over every resource's full name,
// the resources' packed attributes and a string table) and the resources' contents. The
// store reads the header and the index into memory it owns when it is made (about 1.3 MB
// for a full JDK) and nothing else: every resource is read with one positioned read when
// it is asked for, so a file that shrinks under the store gives absent answers, never a
// crash. Nothing is mapped.
//
// Lookups go through the image's own hash table: a class is found in constant time,
// whichever module holds it. Listings come from the image's directories: /packages/P
// names the modules that hold package P, /modules/M/P/... lists a module's package. A
// module's module-info is a resource of no package and is never found as a class.
//
// Resources compressed by jlink with zip compression are inflated; one compressed by
// another method answers absent and logs one line naming the method.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQFile.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith {

class VQRuntimeImageStore : public VQClassStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the entry's last path component is "modules" and it names a regular file.
    static bool canGrokName(const std::string& name);
    // Raises VQInvalidArgumentException with the reason when the file is no image.
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    // Reads and checks the header and the index; raises VQInvalidArgumentException
    // ("not a runtime image", "runtime image version 2.0 not supported", "runtime image
    // truncated", or why the file could not be read) when they do not hold together.
    explicit VQRuntimeImageStore(std::string name);

    std::string kindName() const override;
    // The image path as given at construction.
    const std::string& name() const override;
    // The package's classes, sorted by bytes; absent when the image has no such package.
    // The root package holds no classes.
    std::optional<std::vector<std::string>> classNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    // The package's subpackages, sorted by bytes; absent when there is no such package.
    std::optional<std::vector<std::string>> packageNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    bool containsClassName(std::string_view className) const override;
    bool containsPackageName(std::string_view packageName) const override;
    // Read at this call. A resource that cannot be read or inflated answers null and logs
    // one line saying why.
    std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const override;

    // ---- Beyond the store interface ----

    // The number of resources the header declares.
    uint32_t resourceCount() const noexcept { return _resourceCount; }
    // Full names ("/java.base/java/lang/Object.class") of every resource in the index,
    // directories (/packages/..., /modules/...) included, sorted by bytes.
    std::vector<std::string> resourceNames() const;
    // The contents of a resource by its full name; null when there is none or it cannot
    // be read (logged as for classes).
    std::shared_ptr<const VQByteBuffer> dataForResourceName(std::string_view fullName) const;
    // The module that holds the class, or absent.
    std::optional<std::string> moduleNameForClassName(std::string_view className) const;
    // The first module, in image order, that holds resources of the package (dotted
    // name); absent when none does.
    std::optional<std::string> moduleNameForPackageName(std::string_view packageName) const;
    // The modules of the image (the children of /modules), sorted by bytes.
    std::vector<std::string> moduleNames() const;

    // The attributes of one resource, decoded from the index.
    struct Location {
        uint64_t module = 0, parent = 0, base = 0, extension = 0;  // string offsets
        uint64_t offset = 0, compressedLength = 0, length = 0;
    };

private:
    // Index access; every offset is checked against the table it points into.
    uint32_t loadU32(const uint8_t* p) const noexcept;
    std::optional<std::string_view> stringAt(uint64_t offset) const noexcept;
    bool locationAt(uint64_t offset, Location& location) const noexcept;
    bool nameMatches(const Location& location, std::string_view fullName) const noexcept;
    std::optional<std::string> fullNameOf(const Location& location) const;
    std::optional<Location> findLocation(std::string_view fullName) const;
    // A resource's contents, inflated; null (after logging) when unreadable.
    std::shared_ptr<const VQByteBuffer> readResource(const Location& location,
                                                     std::string_view what) const;
    // A directory's contents as 32-bit values in the image's byte order; empty when the
    // directory is missing or unreadable.
    std::vector<uint32_t> directoryValues(std::string_view fullName) const;

    // The modules that hold the package (as names in the string table), in image order;
    // null when the image has no such package. Cached per package.
    const std::vector<std::string_view>* modulesOfPackage(std::string_view packageName) const;
    std::optional<Location> classLocation(std::string_view className,
                                          std::string_view* moduleName = nullptr) const;
    // Every package of the image, sorted by bytes; built on the first listing.
    const std::vector<std::string>& allPackageNames() const;

    std::string _name;
    VQFile _file;
    bool _bigEndian = false;
    uint32_t _resourceCount = 0;
    uint32_t _tableLength = 0;
    uint64_t _indexLength = 0;  // header and index: where the contents begin
    // The index after the header: redirect table, offsets table, locations, strings.
    VQLargeBytes _index;
    size_t _offsetsStart = 0, _locationsStart = 0, _stringsStart = 0;
    size_t _locationsLength = 0, _stringsLength = 0;

    mutable std::unordered_map<std::string, std::vector<std::string_view>> _packageModules;
    mutable std::optional<std::vector<std::string>> _packageNames;
};

}  // namespace ornith
