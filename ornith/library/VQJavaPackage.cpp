#include "ornith/library/VQJavaPackage.h"

#include <functional>

#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith {

VQJavaPackage::VQJavaPackage(std::string packageName, std::shared_ptr<VQClassLibrary> classLibrary)
    : _packageName(std::move(packageName)), _classLibrary(std::move(classLibrary)) {}

VQJavaPackage::~VQJavaPackage() {
    // The library is still alive here: this package holds it until the members go.
    if (_classLibrary) _classLibrary->removePackage(*this);
}

std::vector<std::string> VQJavaPackage::classNames() const {
    return _classLibrary->classNamesInPackage(_packageName);
}

std::vector<std::string> VQJavaPackage::packageNames() const {
    return _classLibrary->packageNamesInPackage(_packageName);
}

std::string VQJavaPackage::_qualifiedName(std::string_view name) const {
    // The unnamed package qualifies nothing: its classes are named by their bare names.
    return _packageName.empty() ? std::string(name)
                                : stringByAppendingJavaComponent(_packageName, name);
}

std::shared_ptr<VQJavaClass> VQJavaPackage::classWithName(std::string_view name) const {
    return _classLibrary->classWithName(_qualifiedName(name));
}

std::shared_ptr<VQJavaPackage> VQJavaPackage::packageWithName(std::string_view name) const {
    return _classLibrary->packageWithName(std::string_view(_qualifiedName(name)));
}

std::optional<std::vector<std::shared_ptr<VQJavaClass>>> VQJavaPackage::classes() const {
    const auto names = classNames();
    if (names.empty()) return std::nullopt;
    std::vector<std::shared_ptr<VQJavaClass>> result;
    result.reserve(names.size());
    for (const auto& name : names)
        if (auto javaClass = classWithName(name)) result.push_back(std::move(javaClass));
    return result;
}

std::optional<std::vector<std::shared_ptr<VQJavaPackage>>> VQJavaPackage::packages() const {
    const auto names = packageNames();
    if (names.empty()) return std::nullopt;
    std::vector<std::shared_ptr<VQJavaPackage>> result;
    result.reserve(names.size());
    for (const auto& name : names)
        if (auto package = packageWithName(name)) result.push_back(std::move(package));
    return result;
}

std::shared_ptr<VQJavaPackage> VQJavaPackage::superpackage() const {
    if (_packageName.empty()) return nullptr;
    return _classLibrary->packageWithName(
        std::string_view(stringByDeletingLastJavaComponent(_packageName)));
}

std::shared_ptr<VQJavaPackageEnumerator> VQJavaPackage::classNameEnumerator() const {
    return std::make_shared<VQJavaPackageEnumerator>(*this);
}

std::string VQJavaPackage::description() const {
    return "VQJavaPackage(" + _packageName + ")";
}

size_t VQJavaPackage::hash() const noexcept {
    return std::hash<std::string>()(_packageName);
}

// ---- VQJavaPackageEnumerator ----

VQJavaPackageEnumerator::VQJavaPackageEnumerator(const VQJavaPackage& package)
    : _library(package.classLibrary()), _path(package.packageName()) {
    std::vector<const VQClassStore*> everyStore;
    for (const auto& store : _library->classStores()) everyStore.push_back(store.get());
    _enter(everyStore);
}

void VQJavaPackageEnumerator::_enter(const std::vector<const VQClassStore*>& candidates) {
    Level level{_path.size(), {}, {}, {}, 0, false};
    for (const VQClassStore* store : candidates) {
        std::optional<VQClassStore::PackageContents> contents = store->contentsOfPackage(_path);
        if (!contents) continue;
        level.stores.push_back(store);
        VQClassLibrary::appendNames(level.packages, std::move(contents->packageNames));
        VQClassLibrary::appendNames(level.classNames, std::move(contents->classNames));
    }
    VQClassLibrary::keepEachNameOnce(level.packages);
    VQClassLibrary::keepEachNameOnce(level.classNames);
    _levels.push_back(std::move(level));
}

std::optional<std::string> VQJavaPackageEnumerator::nextObject() {
    while (!_levels.empty()) {
        Level& level = _levels.back();
        if (!level.inClasses) {
            if (level.index < level.packages.size()) {
                // Down into the next subpackage; its lists are taken now. (The parent's
                // store list is copied: entering may move the levels.)
                const std::string& bare = level.packages[level.index++];
                // An archive member "./" makes its store list "" under the root, and "" at
                // the root names the root itself: entering it would repeat the walk for ever.
                if (level.nameLength == 0 && bare.empty()) continue;
                _path.resize(level.nameLength);
                if (!_path.empty()) _path.push_back('.');
                _path.append(bare);
                const std::vector<const VQClassStore*> candidates = level.stores;
                _enter(candidates);
                continue;
            }
            level.inClasses = true;
            level.index = 0;
        }
        if (level.index < level.classNames.size()) {
            std::string& bare = level.classNames[level.index++];
            if (level.nameLength == 0) return std::move(bare);
            return stringByAppendingJavaComponent(
                std::string_view(_path).substr(0, level.nameLength), bare);
        }
        // This package is done: back up to its parent.
        _levels.pop_back();
        if (!_levels.empty()) _path.resize(_levels.back().nameLength);
    }
    // Exhausted for ever: nothing is left on the stack, and nothing puts anything back.
    _library.reset();
    return std::nullopt;
}

}  // namespace ornith
