#pragma once
// The store for a class-path entry that names one class file. Construction parses the
// file just far enough to learn the class's name; every question is then answered from
// that name, and only dataForClassName reads the file again.

#include "ornith/stores/VQClassStore.h"

namespace ornith {

class VQClassFileStore : public VQClassStore {
public:
    static const VQClassStoreKind storeKind;

    // True when the name ends in ".class" or ".CLASS"; the file is not looked at.
    static bool canGrokName(const std::string& name);
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name);
    // Null when the file cannot be read; a file that is not a class file raises the
    // parser's VQInvalidArgumentException.
    static std::shared_ptr<VQClassFileStore> classFileStoreWithName(const std::string& path);

    // The parser's one builder operation that this store takes: the class's dotted name.
    void setClassName(std::string className);

    std::string kindName() const override;
    // The dotted name of the class in the file, not the file's path.
    const std::string& name() const override;
    // The bare class name when the argument is the class's package (the root package may
    // be given as absent or ""); otherwise absent.
    std::optional<std::vector<std::string>> classNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    // The one component that follows the argument on the way to the class's package;
    // for the root (absent or ""), the top-level package; otherwise absent.
    std::optional<std::vector<std::string>> packageNamesInPackage(
        std::optional<std::string_view> packageName) const override;
    bool containsClassName(std::string_view className) const override;
    // A plain prefix test on the class name: java.la counts for java.lang.Object.
    bool containsPackageName(std::string_view packageName) const override;
    // The file's content at this call, for the one class; null otherwise or when unreadable.
    std::shared_ptr<const VQByteBuffer> dataForClassName(std::string_view className) const override;

private:
    explicit VQClassFileStore(std::string path);

    // The text before the last "." ("" in the root package) and after it.
    std::string_view packagePart() const;
    std::string_view barePart() const;

    std::string _classFilePath;
    std::string _className;
};

}  // namespace ornith
