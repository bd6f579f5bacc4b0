#include "ToolNames.h"

#include <algorithm>

#include "ToolClassPath.h"
#include "ToolReport.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQFileSystemStore.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith::tool {

std::string typedBinaryName(std::string_view typed) {
    std::string name(typed);
    if (name.ends_with(".class")) name.resize(name.size() - 6);
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

std::optional<std::string> findClassName(ToolLibrary& found, std::string_view typed) {
    const std::string name = typedBinaryName(typed);
    if (!name.empty()) {
        do {
            if (found.library->classStoreNameForClassWithName(name)) return name;
        } while (addNextPendingEntry(found));
    }
    addPendingEntries(found);
    return findClassName(*found.library, typed);
}

std::optional<std::string> findClassName(const VQClassLibrary& library, std::string_view typed) {
    std::string name = typedBinaryName(typed);
    if (name.empty()) return std::nullopt;
    if (library.classStoreNameForClassWithName(name)) return name;
    // A nested class named with dots: the last dots may stand for '$'.
    for (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0;
         dot = name.rfind('.', dot - 1)) {
        name[dot] = '$';
        if (library.classStoreNameForClassWithName(name)) return name;
    }
    return std::nullopt;
}

namespace {

// What went wrong with a member, in the tool's words: a damaged member says how it is
// damaged; anything else gives the reader's reason.
std::string memberFailure(const std::exception& failure) {
    const auto* raised = dynamic_cast<const VQException*>(&failure);
    if (raised && raised->kind() == VQErrorKind::corruptArchive && !raised->detail().empty())
        return "corrupt member (" + raised->detail() + ")";
    return "cannot be read (" + std::string(failure.what()) + ")";
}

// The class's bytes from one store; a member that cannot be read is reported and null.
std::shared_ptr<const VQByteBuffer> readFromStore(ToolLibrary& found, const VQClassStore& store,
                                                  const std::string& className) {
    const std::string member = stringByConvertingJavaIdentifierToPath(className) + ".class";
    if (const auto* archive = dynamic_cast<const VQZipFileStore*>(&store)) {
        try {
            return archive->readClassData(className);
        } catch (const std::exception& failure) {
            reportUnusable(found, store.name() + ": " + member, memberFailure(failure));
            return nullptr;
        }
    }
    // Other stores answer a failed read with null and, at most, a logged line: that
    // line is the reason, under the tool's name for the member.
    const LibraryLogCapture capture;
    auto data = store.dataForClassName(className);
    if (!data)
        reportUnusable(found, store.name() + ": " + member,
                       capture.lines().empty() ? std::string("cannot be read")
                                               : "cannot be read (" + capture.lines().back() + ")");
    return data;
}

}  // namespace

std::shared_ptr<VQJavaClass> readableClass(ToolLibrary& found, const std::string& className,
                                           bool* failedRead) {
    *failedRead = false;
    size_t next = 0;
    do {
        // Stores are appended as entries are added: index, never hold on to the vector.
        for (; next < found.library->classStores().size(); ++next) {
            const VQClassStore& store = *found.library->classStores()[next];
            // A directory answers by reading: a class found costs no look ahead of the
            // read, and one missing no more than it did.
            if (const auto* directory = dynamic_cast<const VQFileSystemStore*>(&store)) {
                VQFileStatus status;
                if (auto data = directory->readClassData(className, &status))
                    return VQJavaClass::classWithData(data);
                if (status == VQFileStatus::notFound) continue;
            }
            if (!store.containsClassName(className)) continue;
            // The tool prints what the class file says and asks nothing through the
            // class's library, so the class is made on its own.
            if (const auto data = readFromStore(found, store, className))
                return VQJavaClass::classWithData(data);
            *failedRead = true;
        }
    } while (addNextPendingEntry(found));
    return nullptr;
}

}  // namespace ornith::tool
