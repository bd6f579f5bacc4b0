#include "ornith/classfile/VQModuleAttributes.h"

#include <optional>
#include <span>
#include <utility>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQEndian.h"
#include "ornith/classfile/VQClassFileParsing.h"

namespace ornith {

namespace {

const std::string kModule = "Module";
const std::string kModulePackages = "ModulePackages";
const std::string kModuleMainClass = "ModuleMainClass";

// One attribute's bytes from the stream's position on, read against the pool. Every
// failure raises, with where in the class file it happened: "Truncated java .class
// file" for an attribute that ends before its own structure does, "bad constant pool
// index %d" for an index that does not name an entry of the kind wanted.
struct Reading {
    Reading(const VQByteStream& stream, const VQConstantPool& pool)
        : cursor(std::span<const uint8_t>(stream.bytes + stream.position, VQBytesLeft(stream))),
          reader(pool) {}

    uint16_t u2() {
        uint16_t value = 0;
        if (!cursor.be16(value))
            parsing::throwTruncated(reader.offsetOf(cursor.current()),
                                    VQErrorKind::malformedAttribute);
        return value;
    }
    // A count of records `recordSize` bytes long each, refused when the attribute cannot
    // hold that many: nothing is reserved for records that are not there.
    uint16_t count(size_t recordSize) {
        const uint8_t* at = cursor.current();
        const uint16_t n = u2();
        if (size_t{n} * recordSize > cursor.remaining())
            parsing::throwTruncated(reader.offsetOf(at), VQErrorKind::malformedAttribute);
        return n;
    }
    // The text of the Utf8 entry named by the body of the Module or Package entry whose
    // index comes next.
    std::string namedEntry(int tag) {
        const uint8_t* at = cursor.current();
        const uint8_t* body = reader.entry(u2(), tag, 2).orRaiseAt(reader.offsetOf(at));
        return reader.string(VQLoadBE16(body)).orRaiseAt(reader.offsetOf(at));
    }
    std::string packageName() {
        std::string name = namedEntry(kVQConstantPackage);
        for (char& c : name)
            if (c == '/') c = '.';
        return name;
    }
    // The text of the Utf8 entry whose index comes next; none for index 0.
    std::optional<std::string> version() {
        const uint8_t* at = cursor.current();
        const uint16_t index = u2();
        if (index == 0) return std::nullopt;
        return reader.string(index).orRaiseAt(reader.offsetOf(at));
    }
    // The dotted name of the Class entry whose index comes next.
    std::string className() {
        const uint8_t* at = cursor.current();
        return reader.className(u2()).orRaiseAt(reader.offsetOf(at));
    }
    std::vector<std::string> classNames() {
        const uint16_t n = count(2);
        std::vector<std::string> out;
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) out.push_back(className());
        return out;
    }
    std::vector<VQModulePackageDirective> packageDirectives() {
        const uint16_t n = count(6);
        std::vector<VQModulePackageDirective> out;
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            VQModulePackageDirective& directive = out.emplace_back();
            directive.package = packageName();
            directive.flags = u2();
            const uint16_t targets = count(2);
            directive.to.reserve(targets);
            for (uint32_t t = 0; t < targets; ++t)
                directive.to.push_back(namedEntry(kVQConstantModule));
        }
        return out;
    }

    VQByteCursor cursor;
    VQPoolReader reader;
};

}  // namespace

VQJavaModuleAttribute::VQJavaModuleAttribute(const std::string&, VQByteStream& stream,
                                             const VQConstantPool& pool) {
    Reading in(stream, pool);
    _moduleName = in.namedEntry(kVQConstantModule);
    _moduleFlags = in.u2();
    if (std::optional<std::string> version = in.version()) _version = std::move(*version);

    const uint16_t requiresCount = in.count(6);
    _requires.reserve(requiresCount);
    for (uint32_t i = 0; i < requiresCount; ++i) {
        VQModuleRequires& entry = _requires.emplace_back();
        entry.module = in.namedEntry(kVQConstantModule);
        entry.flags = in.u2();
        if (std::optional<std::string> version = in.version()) entry.version = std::move(*version);
    }
    _exports = in.packageDirectives();
    _opens = in.packageDirectives();
    _uses = in.classNames();

    const uint16_t providesCount = in.count(4);
    _provides.reserve(providesCount);
    for (uint32_t i = 0; i < providesCount; ++i) {
        VQModuleProvides& entry = _provides.emplace_back();
        entry.service = in.className();
        entry.with = in.classNames();
    }
}

const std::string& VQJavaModuleAttribute::typeName() const {
    return kModule;
}

VQJavaModulePackagesAttribute::VQJavaModulePackagesAttribute(const std::string&,
                                                             VQByteStream& stream,
                                                             const VQConstantPool& pool) {
    Reading in(stream, pool);
    const uint16_t n = in.count(2);
    _packages.reserve(n);
    for (uint32_t i = 0; i < n; ++i) _packages.push_back(in.packageName());
}

const std::string& VQJavaModulePackagesAttribute::typeName() const {
    return kModulePackages;
}

VQJavaModuleMainClassAttribute::VQJavaModuleMainClassAttribute(const std::string&,
                                                               VQByteStream& stream,
                                                               const VQConstantPool& pool) {
    Reading in(stream, pool);
    _mainClass = in.className();
}

const std::string& VQJavaModuleMainClassAttribute::typeName() const {
    return kModuleMainClass;
}

}  // namespace ornith
