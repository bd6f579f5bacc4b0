#pragma once
// The store for a directory tree of class files (java/lang/Object.class under the root).
// It keeps only the root path and looks at the file system anew for every question, so
// files that appear or vanish later are seen at once.

#include "ornith/base/VQFile.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith {

class VQFileSystemStore : public VQClassStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the name is the path of an existing directory.
    static bool canGrokName(const std::string& name);
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);

    // Keeps the root path as given; never fails.
    explicit VQFileSystemStore(std::string name);

    std::string kindName() const override;
    // The root path as given at construction.
    const std::string& name() const override;
    // The package's directory: the root for the root package (absent or ""), otherwise
    // root + "/" + the package name with "." replaced by "/".
    std::string pathForPackageName(std::optional<std::string_view> packageName) const;

    // Every entry of the package's directory whose name contains ".class" in any case
    // (the part before the last occurrence), sorted; empty, never absent.
    std::optional<std::vector<std::string>> classNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    // Every subdirectory of the package's directory, sorted; empty, never absent.
    std::optional<std::vector<std::string>> packageNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    // Both of the above from one read of the directory; absent when containsPackageName is
    // false.
    std::optional<PackageContents> contentsOfPackage(std::string_view packageName) const override;
    // True when anything exists at root/a/b/C.class.
    bool containsClassName(std::string_view className) const override;
    // True when root/a/b is a directory.
    bool containsPackageName(std::string_view packageName) const override;
    // The bytes of root/a/b/C.class, read at this call; null when missing or unreadable.
    std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const override;
    // The same, saying why there are none: notFound when nothing is at the path, so that
    // one read both finds and reads a class (an unusable name is notFound too).
    std::shared_ptr<const VQByteBuffer> readClassData(std::string_view className,
                                                      VQFileStatus* status) const;

private:
    std::string _pathForClassName(std::string_view className) const;

    std::string _rootPath;
};

}  // namespace ornith
