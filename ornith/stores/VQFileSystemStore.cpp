#include "ornith/stores/VQFileSystemStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

const VQClassStoreKind VQFileSystemStore::storeKind{
    "VQFileSystemStore", &VQFileSystemStore::canGrokName, &VQFileSystemStore::storeWithName};

namespace {

// Closes a directory stream on every path out of a listing.
struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

DirHandle openDirectory(const std::string& path) {
    if (path.find('\0') != std::string::npos) return nullptr;
    return DirHandle(::opendir(path.c_str()));
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position of the last ".class" in the name, letters compared without regard to case;
// npos when there is none. Not tied to the end: Foo.class.bak has one at 3.
size_t lastClassSuffix(std::string_view name) {
    static constexpr std::string_view suffix = ".class";
    if (name.size() < suffix.size()) return std::string_view::npos;
    for (size_t at = name.size() - suffix.size() + 1; at-- > 0;) {
        size_t i = 0;
        while (i < suffix.size() && asciiLower(name[at + i]) == suffix[i]) ++i;
        if (i == suffix.size()) return at;
    }
    return std::string_view::npos;
}

}  // namespace

bool VQFileSystemStore::canGrokName(const std::string& name) {
    bool isDirectory = false;
    return VQFileExists(name, &isDirectory) && isDirectory;
}

std::shared_ptr<VQClassStore> VQFileSystemStore::storeWithName(const std::string& name) {
    return std::make_shared<VQFileSystemStore>(name);
}

VQFileSystemStore::VQFileSystemStore(std::string name) : _rootPath(std::move(name)) {}

std::string VQFileSystemStore::kindName() const {
    return "VQFileSystemStore";
}

const std::string& VQFileSystemStore::name() const {
    return _rootPath;
}

std::string VQFileSystemStore::pathForPackageName(
    std::optional<std::string_view> packageName) const {
    if (!packageName || packageName->empty()) return _rootPath;
    std::string path;
    path.reserve(_rootPath.size() + 1 + packageName->size());
    path.append(_rootPath).append(1, '/').append(
        stringByConvertingJavaIdentifierToPath(*packageName));
    return path;
}

std::string VQFileSystemStore::_pathForClassName(std::string_view className) const {
    std::string path;
    path.reserve(_rootPath.size() + className.size() + 7);
    path.append(_rootPath)
        .append(1, '/')
        .append(stringByConvertingJavaIdentifierToPath(className))
        .append(".class");
    return path;
}

namespace {

// Whether a listed entry names a directory. The entry's type from the listing is exact for
// everything but symbolic links (which count by what they point at) and file systems that
// do not report it.
bool entryIsDirectory(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    struct stat st;
    return ::fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// One pass over a package's directory: each entry whose name holds ".class" gives a class
// (the name before it), and each directory a subpackage. Either list may be left out.
void listDirectory(DIR* dir, std::vector<std::string>* classNames,
                   std::vector<std::string>* packageNames) {
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name)) continue;
        const std::string_view entryName(entry->d_name);
        if (classNames) {
            const size_t at = lastClassSuffix(entryName);
            if (at != std::string_view::npos) classNames->emplace_back(entryName.substr(0, at));
        }
        if (packageNames && entryIsDirectory(dirFd, *entry)) packageNames->emplace_back(entryName);
    }
    if (classNames) std::sort(classNames->begin(), classNames->end());
    if (packageNames) std::sort(packageNames->begin(), packageNames->end());
}

}  // namespace

std::optional<std::vector<std::string>> VQFileSystemStore::classNamesInPackage(
    std::optional<std::string_view> packageName) const {
    std::vector<std::string> names;
    if (packageName && !_isUsableName(*packageName)) return names;
    if (DirHandle dir = openDirectory(pathForPackageName(packageName)))
        listDirectory(dir.get(), &names, nullptr);
    return names;
}

std::optional<std::vector<std::string>> VQFileSystemStore::packageNamesInPackage(
    std::optional<std::string_view> packageName) const {
    std::vector<std::string> names;
    if (packageName && !_isUsableName(*packageName)) return names;
    if (DirHandle dir = openDirectory(pathForPackageName(packageName)))
        listDirectory(dir.get(), nullptr, &names);
    return names;
}

std::optional<VQClassStore::PackageContents> VQFileSystemStore::contentsOfPackage(
    std::string_view packageName) const {
    if (!_isUsableName(packageName)) return std::nullopt;
    DirHandle dir = openDirectory(pathForPackageName(packageName));
    // A directory that is there but cannot be read is held, with nothing listed.
    if (!dir)
        return containsPackageName(packageName) ? std::optional(PackageContents{}) : std::nullopt;
    PackageContents contents;
    listDirectory(dir.get(), &contents.classNames, &contents.packageNames);
    return contents;
}

bool VQFileSystemStore::containsClassName(std::string_view className) const {
    if (!_isUsableName(className)) return false;
    return VQFileExists(_pathForClassName(className));
}

bool VQFileSystemStore::containsPackageName(std::string_view packageName) const {
    if (!_isUsableName(packageName)) return false;
    std::string path;
    path.reserve(_rootPath.size() + 1 + packageName.size());
    path.append(_rootPath).append(1, '/').append(
        stringByConvertingJavaIdentifierToPath(packageName));
    bool isDirectory = false;
    return VQFileExists(path, &isDirectory) && isDirectory;
}

std::shared_ptr<const VQByteBuffer> VQFileSystemStore::dataForClassName(
    std::string_view className) const {
    // Missing and unreadable both answer null; only regular files are read.
    VQFileStatus ignored;
    return readClassData(className, &ignored);
}

std::shared_ptr<const VQByteBuffer> VQFileSystemStore::readClassData(std::string_view className,
                                                                     VQFileStatus* status) const {
    if (!_isUsableName(className)) {
        *status = VQFileStatus::notFound;
        return nullptr;
    }
    return VQByteBuffer::bufferWithContentsOfFile(_pathForClassName(className), status);
}

}  // namespace ornith
