#include "ornith/stores/VQClassFileStore.h"

#include "ornith/classfile/VQClassFileParsing.h"

namespace ornith {

const VQClassStoreKind VQClassFileStore::storeKind{
    "VQClassFileStore", &VQClassFileStore::canGrokName, &VQClassFileStore::storeWithName};

bool VQClassFileStore::canGrokName(const std::string& name) {
    const std::string_view n(name);
    return n.ends_with(".class") || n.ends_with(".CLASS");
}

std::shared_ptr<VQClassStore> VQClassFileStore::storeWithName(const std::string& name) {
    return classFileStoreWithName(name);
}

std::shared_ptr<VQClassFileStore> VQClassFileStore::classFileStoreWithName(
    const std::string& path) {
    auto data = VQByteBuffer::bufferWithContentsOfFile(path);
    if (!data) return nullptr;
    std::shared_ptr<VQClassFileStore> store(new VQClassFileStore(path));
    // The store is a builder with setClassName only, so the parse stops after the name.
    VQParseClassFile(*data, *store);
    return store;
}

VQClassFileStore::VQClassFileStore(std::string path) : _classFilePath(std::move(path)) {}

void VQClassFileStore::setClassName(std::string className) {
    _className = std::move(className);
}

std::string VQClassFileStore::kindName() const {
    return "VQClassFileStore";
}

const std::string& VQClassFileStore::name() const {
    return _className;
}

std::string_view VQClassFileStore::packagePart() const {
    const size_t dot = _className.rfind('.');
    return dot == std::string::npos ? std::string_view()
                                    : std::string_view(_className).substr(0, dot);
}

std::string_view VQClassFileStore::barePart() const {
    const size_t dot = _className.rfind('.');
    return dot == std::string::npos ? std::string_view(_className)
                                    : std::string_view(_className).substr(dot + 1);
}

std::optional<std::vector<std::string>> VQClassFileStore::classNamesInPackage(
    std::optional<std::string_view> packageName) const {
    if (packageName && !_isUsableName(*packageName)) return std::nullopt;
    const bool root = !packageName || packageName->empty();
    if (_className.find('.') == std::string::npos) {
        if (!root) return std::nullopt;
        return std::vector<std::string>{_className};
    }
    if (root || *packageName != packagePart()) return std::nullopt;
    return std::vector<std::string>{std::string(barePart())};
}

std::optional<std::vector<std::string>> VQClassFileStore::packageNamesInPackage(
    std::optional<std::string_view> packageName) const {
    if (packageName && !_isUsableName(*packageName)) return std::nullopt;
    const std::string_view name(_className);
    if (!packageName || packageName->empty()) {
        const size_t dot = name.find('.');
        if (dot == std::string_view::npos) return std::nullopt;
        return std::vector<std::string>{std::string(name.substr(0, dot))};
    }
    const std::string_view prefix = *packageName;
    // The class must lie below the argument, deeper than the argument itself.
    if (name.size() <= prefix.size() || !name.starts_with(prefix) || name[prefix.size()] != '.' ||
        packagePart().size() <= prefix.size())
        return std::nullopt;
    const size_t start = prefix.size() + 1;
    const size_t stop = name.find('.', start);
    return std::vector<std::string>{std::string(name.substr(start, stop - start))};
}

bool VQClassFileStore::containsClassName(std::string_view className) const {
    return _isUsableName(className) && className == _className;
}

bool VQClassFileStore::containsPackageName(std::string_view packageName) const {
    return _isUsableName(packageName) && std::string_view(_className).starts_with(packageName);
}

std::shared_ptr<const VQByteBuffer> VQClassFileStore::dataForClassName(
    std::string_view className) const {
    if (!containsClassName(className)) return nullptr;
    return VQByteBuffer::bufferWithContentsOfFile(_classFilePath);
}

}  // namespace ornith
