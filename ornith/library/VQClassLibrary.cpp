#include "ornith/library/VQClassLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith {

VQClassLibrary::VQClassLibrary() = default;

VQClassLibrary::~VQClassLibrary() = default;

std::shared_ptr<VQClassLibrary> VQClassLibrary::defaultClassLibrary() {
    // Initialisation of a function-local static is done once even when the first calls
    // race. The library is never destroyed: classes and packages held in other statics
    // may still reach it while the process exits.
    static const std::shared_ptr<VQClassLibrary>& library =
        *new std::shared_ptr<VQClassLibrary>([] {
            const char* path = std::getenv("CLASSPATH");
            return classLibraryWithClassPath(path ? std::optional<std::string>(path)
                                                  : std::nullopt);
        }());
    return library;
}

std::shared_ptr<VQClassLibrary> VQClassLibrary::classLibrary() {
    return std::shared_ptr<VQClassLibrary>(new VQClassLibrary());
}

std::shared_ptr<VQClassLibrary> VQClassLibrary::classLibraryWithClassPath(
    std::optional<std::string> classPath) {
    return classLibraryWithClassPath(std::move(classPath), DroppedEntryHandler());
}

std::shared_ptr<VQClassLibrary> VQClassLibrary::classLibraryWithClassPath(
    std::optional<std::string> classPath, const DroppedEntryHandler& onDroppedEntry) {
    auto library = classLibrary();
    library->_classPath = std::move(classPath);
    library->_addClassStoresForPath(library->_classPath,
                                    onDroppedEntry ? &onDroppedEntry : nullptr);
    return library;
}

std::vector<std::string> VQClassLibrary::platformEntriesForJavaHome(const std::string& javaHome) {
    // The image is what the JVM itself runs from, and every JDK and JRE since 9 has one;
    // module files are what a JDK links images from, and recent JDKs ship without them.
    const std::string home = javaHome.ends_with('/') ? javaHome : javaHome + "/";
    if (VQIsRegularFile(home + "lib/modules")) return {home + "lib/modules"};
    std::vector<std::string> modules;
    std::error_code error;
    for (std::filesystem::directory_iterator it(home + "jmods", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.ends_with(".jmod") && it->is_regular_file(error))
            modules.push_back(it->path().string());
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

std::shared_ptr<VQClassLibrary> VQClassLibrary::classLibraryWithJavaHome(
    const std::string& javaHome, const std::optional<std::string>& classPath,
    const DroppedEntryHandler& onDroppedEntry) {
    auto library = classLibrary();
    for (const std::string& entry : platformEntriesForJavaHome(javaHome))
        library->appendToClassPath(entry, onDroppedEntry);
    if (classPath) library->appendToClassPath(*classPath, onDroppedEntry);
    return library;
}

void VQClassLibrary::appendToClassPath(const std::string& path) {
    appendToClassPath(path, DroppedEntryHandler());
}

void VQClassLibrary::appendToClassPath(const std::string& path,
                                       const DroppedEntryHandler& onDroppedEntry) {
    if (_classPath) {
        _classPath->push_back(';');
        _classPath->append(path);
    } else {
        _classPath = path;
    }
    _addClassStoresForPath(path, onDroppedEntry ? &onDroppedEntry : nullptr);
}

void VQClassLibrary::_addClassStoresForPath(const std::optional<std::string>& path,
                                            const DroppedEntryHandler* onDroppedEntry) {
    if (!path) return;
    struct RestoreHandler {
        const DroppedEntryHandler*& slot;
        const DroppedEntryHandler* saved;
        ~RestoreHandler() { slot = saved; }
    } restore{_droppedEntryHandler, _droppedEntryHandler};
    _droppedEntryHandler = onDroppedEntry;
    const std::string_view text(*path);
    size_t start = 0;
    for (;;) {
        const size_t stop = text.find(';', start);
        const std::string entry(text.substr(
            start, stop == std::string_view::npos ? std::string_view::npos : stop - start));
        // One bad entry must not cost the host the rest of its class path.
        try {
            _addClassStoreForName(entry);
        } catch (const std::exception& failure) {
            if (onDroppedEntry) (*onDroppedEntry)(entry, failure);
        }
        if (stop == std::string_view::npos) break;
        start = stop + 1;
    }
}

void VQClassLibrary::_addClassStoreForName(const std::string& name) {
    const std::string expanded = stringByExpandingEnvironmentVariables(name);
    if (addWildcardEntry(expanded)) return;
    auto store = storeForEntry(expanded);
    if (!store)
        throw VQInvalidArgumentException("Unknown source of class files '" + expanded + "'",
                                         VQErrorKind::noStoreForEntry);
    addArchiveStore(std::move(store), true);
}

std::shared_ptr<const VQByteBuffer> VQClassLibrary::dataForClassName(
    std::string_view className) const {
    for (const auto& store : _classStores)
        if (auto data = store->dataForClassName(className)) return data;
    return nullptr;
}

std::shared_ptr<VQJavaClass> VQClassLibrary::classWithName(std::string_view className) {
    auto data = dataForClassName(className);
    if (!data) return nullptr;
    auto javaClass = VQJavaClass::classWithData(std::move(data), _classOptions);
    javaClass->_setClassLibrary(shared_from_this());
    return javaClass;
}

std::optional<std::string> VQClassLibrary::classStoreNameForClassWithName(
    std::string_view className) const {
    for (const auto& store : _classStores)
        if (store->containsClassName(className)) return store->name();
    return std::nullopt;
}

std::shared_ptr<VQJavaPackage> VQClassLibrary::packageWithName(
    std::optional<std::string_view> packageName) {
    const std::string name(packageName.value_or(std::string_view()));
    if (auto cached = _packageCache.find(name); cached != _packageCache.end())
        if (auto package = cached->second.reference.lock()) return package;

    if (!name.empty() &&
        std::none_of(_classStores.begin(), _classStores.end(),
                     [&](const auto& store) { return store->containsPackageName(name); }))
        return nullptr;

    std::shared_ptr<VQJavaPackage> package(new VQJavaPackage(name, shared_from_this()));
    _packageCache.insert_or_assign(name, CachedPackage{package.get(), package});
    return package;
}

void VQClassLibrary::removePackage(const VQJavaPackage& package) {
    // Only the entry that names this very object: a package that was never cached, or
    // one already replaced by a newer object of the same name, must not evict another.
    auto cached = _packageCache.find(package.packageName());
    if (cached != _packageCache.end() && cached->second.package == &package)
        _packageCache.erase(cached);
}

std::vector<std::string> VQClassLibrary::classNamesInPackage(std::string_view packageName) const {
    return namesInPackage(packageName, &VQClassStore::classNamesInPackage);
}

std::vector<std::string> VQClassLibrary::packageNamesInPackage(std::string_view packageName) const {
    return namesInPackage(packageName, &VQClassStore::packageNamesInPackage);
}

std::vector<std::string> VQClassLibrary::namesInPackage(std::string_view packageName,
                                                        PackageListing listing) const {
    std::vector<const VQClassStore*> stores;
    stores.reserve(_classStores.size());
    for (const auto& store : _classStores) stores.push_back(store.get());
    return mergedNamesInPackage(stores, packageName, listing);
}

std::vector<std::string> VQClassLibrary::mergedNamesInPackage(
    const std::vector<const VQClassStore*>& stores, std::string_view packageName,
    PackageListing listing) {
    std::vector<std::string> names;
    for (const VQClassStore* store : stores)
        if (auto listed = (store->*listing)(packageName)) appendNames(names, std::move(*listed));
    keepEachNameOnce(names);
    return names;
}

void VQClassLibrary::appendNames(std::vector<std::string>& names, std::vector<std::string>&& more) {
    if (names.empty()) {
        names = std::move(more);
    } else {
        names.insert(names.end(), std::make_move_iterator(more.begin()),
                     std::make_move_iterator(more.end()));
    }
}

void VQClassLibrary::keepEachNameOnce(std::vector<std::string>& names) {
    // Sorted, because the stores' own orders differ by kind and a merged listing should
    // not depend on which entry answered first. One store's sorted listing is left as it is.
    if (!std::is_sorted(names.begin(), names.end())) std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

std::shared_ptr<VQJavaPackageEnumerator> VQClassLibrary::classNameEnumerator() {
    return packageWithName(std::string_view())->classNameEnumerator();
}

std::string VQClassLibrary::description() const {
    return "VQClassLibrary(" + _classPath.value_or("") + ")";
}

std::shared_ptr<VQClassLibrary> VQClassLibrary::copyWithZone() const {
    auto copy = classLibrary();
    copy->_classPath = _classPath;
    copy->_classStores = _classStores;
    // Entries appended to the copy are treated alike, and share the open-archive bound.
    copy->_archiveOptions = _archiveOptions;
    copy->_classOptions = _classOptions;
    copy->_openArchives = _openArchives;
    copy->_archivesOnPath = _archivesOnPath;
    copy->_nested = _nested;
    return copy;
}

}  // namespace ornith
