#include "ornith/classfile/VQModuleAttributes.h"

#include <span>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQEndian.h"
#include "ornith/classfile/VQClassFileParsing.h"

namespace ornith {

namespace {

const std::string kModule = "Module";
const std::string kModulePackages = "ModulePackages";
const std::string kModuleMainClass = "ModuleMainClass";

// The attribute's own bytes from the stream's position on.
VQByteCursor cursorOver(const VQByteStream& stream) {
    return VQByteCursor(
        std::span<const uint8_t>(stream.bytes + stream.position, VQBytesLeft(stream)));
}

uint16_t u2(VQByteCursor& cursor) {
    uint16_t value = 0;
    if (!cursor.be16(value)) parsing::throwTruncated();
    return value;
}

// A count of records `recordSize` bytes long each, refused when the attribute cannot
// hold that many: nothing is reserved for records that are not there.
uint16_t count(VQByteCursor& cursor, size_t recordSize) {
    const uint16_t n = u2(cursor);
    if (size_t{n} * recordSize > cursor.remaining()) parsing::throwTruncated();
    return n;
}

// The text of the Utf8 entry named by the body of a Module or Package entry.
std::string namedEntry(const VQConstantPool& pool, uint16_t index, int tag) {
    const uint8_t* body = VQEntryAtIndex(pool, index, tag, 2);
    return VQStringValueAtIndex(pool, VQLoadBE16(body));
}

std::string packageName(const VQConstantPool& pool, uint16_t index) {
    std::string name = namedEntry(pool, index, kVQConstantPackage);
    for (char& c : name)
        if (c == '/') c = '.';
    return name;
}

std::vector<VQModulePackageDirective> packageDirectives(VQByteCursor& cursor,
                                                        const VQConstantPool& pool) {
    const uint16_t n = count(cursor, 6);
    std::vector<VQModulePackageDirective> out;
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        VQModulePackageDirective& directive = out.emplace_back();
        directive.package = packageName(pool, u2(cursor));
        directive.flags = u2(cursor);
        const uint16_t targets = count(cursor, 2);
        directive.to.reserve(targets);
        for (uint32_t t = 0; t < targets; ++t)
            directive.to.push_back(namedEntry(pool, u2(cursor), kVQConstantModule));
    }
    return out;
}

std::vector<std::string> classNames(VQByteCursor& cursor, const VQConstantPool& pool) {
    const uint16_t n = count(cursor, 2);
    std::vector<std::string> out;
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i) out.push_back(VQClassNameAtIndex(pool, u2(cursor)));
    return out;
}

}  // namespace

VQJavaModuleAttribute::VQJavaModuleAttribute(const std::string&, VQByteStream& stream,
                                             const VQConstantPool& pool) {
    VQByteCursor cursor = cursorOver(stream);
    _moduleName = namedEntry(pool, u2(cursor), kVQConstantModule);
    _moduleFlags = u2(cursor);
    if (const uint16_t version = u2(cursor)) _version = VQStringValueAtIndex(pool, version);

    const uint16_t requiresCount = count(cursor, 6);
    _requires.reserve(requiresCount);
    for (uint32_t i = 0; i < requiresCount; ++i) {
        VQModuleRequires& entry = _requires.emplace_back();
        entry.module = namedEntry(pool, u2(cursor), kVQConstantModule);
        entry.flags = u2(cursor);
        if (const uint16_t version = u2(cursor))
            entry.version = VQStringValueAtIndex(pool, version);
    }
    _exports = packageDirectives(cursor, pool);
    _opens = packageDirectives(cursor, pool);
    _uses = classNames(cursor, pool);

    const uint16_t providesCount = count(cursor, 4);
    _provides.reserve(providesCount);
    for (uint32_t i = 0; i < providesCount; ++i) {
        VQModuleProvides& entry = _provides.emplace_back();
        entry.service = VQClassNameAtIndex(pool, u2(cursor));
        entry.with = classNames(cursor, pool);
    }
}

const std::string& VQJavaModuleAttribute::typeName() const {
    return kModule;
}

VQJavaModulePackagesAttribute::VQJavaModulePackagesAttribute(const std::string&,
                                                             VQByteStream& stream,
                                                             const VQConstantPool& pool) {
    VQByteCursor cursor = cursorOver(stream);
    const uint16_t n = count(cursor, 2);
    _packages.reserve(n);
    for (uint32_t i = 0; i < n; ++i) _packages.push_back(packageName(pool, u2(cursor)));
}

const std::string& VQJavaModulePackagesAttribute::typeName() const {
    return kModulePackages;
}

VQJavaModuleMainClassAttribute::VQJavaModuleMainClassAttribute(const std::string&,
                                                               VQByteStream& stream,
                                                               const VQConstantPool& pool) {
    VQByteCursor cursor = cursorOver(stream);
    _mainClass = VQClassNameAtIndex(pool, u2(cursor));
}

const std::string& VQJavaModuleMainClassAttribute::typeName() const {
    return kModuleMainClass;
}

}  // namespace ornith
