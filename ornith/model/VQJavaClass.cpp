#include "ornith/model/VQJavaClass.h"

#include <algorithm>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/model/VQClassLibraryLookups.h"
#include "ornith/model/VQModernQueries.h"

namespace ornith {

static_assert(ClassFileParsing<VQJavaClass>);
// Only the variants with attributes: the parser must always decode member attributes.
static_assert(!parsing::HasAddField<VQJavaClass> && !parsing::HasAddMethod<VQJavaClass> &&
              !parsing::HasAddConstructor<VQJavaClass>);

VQJavaClass::VQJavaClass(std::span<const uint8_t> data) {
    VQParseClassFile(data, *this);
}

VQJavaClass::VQJavaClass(const VQByteBuffer& data) : VQJavaClass(data.span()) {}

VQJavaClass::~VQJavaClass() = default;

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(std::span<const uint8_t> data) {
    return std::make_shared<VQJavaClass>(data);
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithData(const VQByteBuffer& data) {
    return std::make_shared<VQJavaClass>(data.span());
}

std::shared_ptr<VQJavaClass> VQJavaClass::classWithContentsOfFile(const std::string& path) {
    // Read, not mapped: a file that shrinks while it is parsed must give a short read,
    // never SIGBUS in the host.
    const auto data = VQByteBuffer::bufferWithContentsOfFile(path);
    if (!data) throw VQInvalidArgumentException("Can't map java class file " + path);
    return std::make_shared<VQJavaClass>(data->span());
}

const std::string* VQJavaClass::sourceFile() const {
    if (!_attributes) return nullptr;
    for (const auto& attribute : *_attributes) {
        if (!attribute || attribute->typeName() != "SourceFile") continue;
        // A host may register its own decoder for the name; only ours carries the name.
        const auto* source = dynamic_cast<const VQJavaSourceAttribute*>(attribute.get());
        return source ? &source->sourceName() : nullptr;
    }
    return nullptr;
}

std::shared_ptr<VQJavaClass> VQJavaClass::superclass() const {
    // Asked of the library that made the class, through the entry points it installed
    // (the model itself is built without the library). Parsed anew at every call.
    if (!_classLibrary || !_superclassName) return nullptr;
    const VQClassLibraryLookups* lookups = _VQClassLibraryLookups.load(std::memory_order_acquire);
    return lookups ? lookups->classWithName(*_classLibrary, *_superclassName) : nullptr;
}

std::shared_ptr<VQJavaPackage> VQJavaClass::package() const {
    // A class in the unnamed package asks for "" and gets the root package.
    if (!_classLibrary) return nullptr;
    const VQClassLibraryLookups* lookups = _VQClassLibraryLookups.load(std::memory_order_acquire);
    if (!lookups) return nullptr;
    return lookups->packageWithName(*_classLibrary,
                                    stringByDeletingLastJavaComponent(_className.value_or("")));
}

namespace {

// Room made when a member list starts: a class has about five fields, nine methods and
// two constructors (instance and static initializer), so starting with this much saves
// the list's first few regrowths, each an allocation and a move of every entry so far.
constexpr size_t kFirstMemberCapacity = 8;
constexpr size_t kFirstConstructorCapacity = 2;

template <class List>
void makeList(std::optional<List>& list, size_t capacity) {
    list.emplace();
    list->reserve(capacity);
}

}  // namespace

void VQJavaClass::setClassAccess(int32_t flags) {
    _accessFlags = static_cast<uint32_t>(flags);
}

void VQJavaClass::setClassName(std::string dottedName) {
    _className = std::move(dottedName);
}

void VQJavaClass::setSuperClassName(std::optional<std::string> dottedName) {
    _superclassName = std::move(dottedName);
}

void VQJavaClass::addInterfaceName(std::string dottedName) {
    if (!_interfaces) _interfaces.emplace();
    _interfaces->push_back(std::move(dottedName));
}

void VQJavaClass::setFieldCount(int32_t count) {
    // A class file holds at most 65535 fields; a larger count reserves no more than that.
    // Fields already added stay: the hint must not lose them.
    if (!_fields) _fields.emplace();
    _fields->reserve(static_cast<size_t>(std::clamp<int32_t>(count, 0, 0xFFFF)));
}

void VQJavaClass::addFieldName(std::string name, std::string signature, int32_t flags,
                               std::optional<VQAttributeList> attributes) {
    auto field = std::make_shared<const VQJavaField>(
        std::move(name), std::move(signature), static_cast<uint32_t>(flags), std::move(attributes),
        static_cast<uint32_t>(_fields ? _fields->size() : 0));
    if (!_fields) makeList(_fields, kFirstMemberCapacity);
    _fields->push_back(std::move(field));
}

void VQJavaClass::addConstructorName(std::string dottedClassName, std::string signature,
                                     int32_t flags, std::optional<VQAttributeList> attributes) {
    auto constructor = std::make_shared<const VQJavaConstructor>(
        std::move(dottedClassName), std::move(signature), static_cast<uint32_t>(flags),
        std::move(attributes), _methodTableSize++);
    if (!_constructors) makeList(_constructors, kFirstConstructorCapacity);
    _constructors->push_back(std::move(constructor));
}

void VQJavaClass::addMethodName(std::string name, std::string signature, int32_t flags,
                                std::optional<VQAttributeList> attributes) {
    auto method = std::make_shared<const VQJavaMethod>(std::move(name), std::move(signature),
                                                       static_cast<uint32_t>(flags),
                                                       std::move(attributes), _methodTableSize++);
    if (!_methods) makeList(_methods, kFirstMemberCapacity);
    _methods->push_back(std::move(method));
}

void VQJavaClass::setClassAttributes(std::optional<VQAttributeList> attributes) {
    _attributes = std::move(attributes);
}

namespace {

template <class List>
void appendMemberLines(const std::optional<List>& list, std::string& out) {
    if (!list) return;
    for (const auto& member : *list) {
        out.append("    ");
        member->appendDescription(out);
        out.append(";\n");
    }
}

}  // namespace

void VQJavaClass::_appendDescriptions(const std::optional<FieldList>& list, std::string& out) {
    appendMemberLines(list, out);
}

void VQJavaClass::_appendDescriptions(const std::optional<MethodList>& list, std::string& out) {
    appendMemberLines(list, out);
}

void VQJavaClass::_appendDescriptions(const std::optional<ConstructorList>& list,
                                      std::string& out) {
    appendMemberLines(list, out);
}

std::string VQJavaClass::description() const {
    std::string out;
    if (isPublic()) out.append("public ");
    if (isAbstract()) out.append("abstract ");
    if (isFinal()) out.append("final ");
    out.append(isInterface() ? "interface " : "class ");
    if (_className) out.append(*_className);
    if (_superclassName && !_superclassName->empty()) {
        out.append(" extends ");
        out.append(*_superclassName);
    }
    if (_interfaces && !_interfaces->empty()) {
        out.append(" implements ");
        for (size_t i = 0; i < _interfaces->size(); ++i) {
            if (i) out.append(", ");
            out.append((*_interfaces)[i]);
        }
    }
    out.append("\n{\n");
    _appendDescriptions(_fields, out);
    _appendDescriptions(_constructors, out);
    _appendDescriptions(_methods, out);
    out.push_back('}');
    return out;
}

// ---- Nesting, records, sealed classes and annotations --------------------------------

const VQJavaInnerClassesAttribute* VQJavaClass::innerClasses() const {
    return modern::decoded<VQJavaInnerClassesAttribute>(_attributes, "InnerClasses");
}

std::optional<VQInnerClassEntry> VQJavaClass::innerClassEntry() const {
    const VQJavaInnerClassesAttribute* list = innerClasses();
    if (!list || !_className) return std::nullopt;
    return list->entryForClassName(*_className);
}

uint32_t VQJavaClass::declaredAccessFlags() const {
    if (std::optional<VQInnerClassEntry> entry = innerClassEntry()) return entry->accessFlags;
    return _accessFlags;
}

std::string VQJavaClass::simpleName() const {
    if (std::optional<VQInnerClassEntry> entry = innerClassEntry())
        return std::string(entry->simpleName.value_or(std::string_view()));
    return lastJavaComponent(_className.value_or(""));
}

const VQJavaEnclosingMethodAttribute* VQJavaClass::enclosingMethod() const {
    return modern::decoded<VQJavaEnclosingMethodAttribute>(_attributes, "EnclosingMethod");
}

const std::string* VQJavaClass::nestHost() const {
    const auto* host = modern::decoded<VQJavaNestHostAttribute>(_attributes, "NestHost");
    return host ? &host->hostClassName() : nullptr;
}

const VQJavaClassListAttribute* VQJavaClass::nestMembers() const {
    return modern::decoded<VQJavaClassListAttribute>(_attributes, "NestMembers");
}

const VQJavaClassListAttribute* VQJavaClass::permittedSubclasses() const {
    return modern::decoded<VQJavaClassListAttribute>(_attributes, "PermittedSubclasses");
}

const std::vector<VQRecordComponent>* VQJavaClass::recordComponents() const {
    const auto* record = modern::decoded<VQJavaRecordAttribute>(_attributes, "Record");
    return record ? &record->components() : nullptr;
}

std::vector<const VQAnnotation*> VQJavaClass::annotations() const {
    return modern::annotationsIn(_attributes);
}

const VQJavaAnnotationsAttribute* VQJavaClass::visibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(_attributes, "RuntimeVisibleAnnotations");
}

const VQJavaAnnotationsAttribute* VQJavaClass::invisibleAnnotations() const {
    return modern::decoded<VQJavaAnnotationsAttribute>(_attributes, "RuntimeInvisibleAnnotations");
}

bool VQJavaClass::isDeprecated() const {
    return modern::deprecatedIn(_attributes);
}

bool VQJavaClass::isSynthetic() const {
    constexpr uint32_t kSyntheticFlag = 0x1000;
    return (_accessFlags & kSyntheticFlag) || modern::firstWithName(_attributes, "Synthetic");
}

}  // namespace ornith
