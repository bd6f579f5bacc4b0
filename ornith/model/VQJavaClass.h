#pragma once
// The model of one class file: name, access flags, superclass and interface names,
// fields, methods, constructors and class attributes.
//
// A class is its own builder: construction hands the bytes and the class to
// VQParseClassFile, which calls the nine ClassFileParsing operations below in file order.
// Nothing of the bytes is kept, so the buffer may go as soon as construction returns.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQModuleAttributes.h"
#include "ornith/classfile/VQNestingAttributes.h"
#include "ornith/classfile/VQRecordAttribute.h"
#include "ornith/model/VQJavaConstructor.h"
#include "ornith/model/VQJavaField.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/model/VQJavaSignature.h"

namespace ornith {

class VQClassLibrary;
class VQJavaPackage;

class VQJavaClass {
public:
    using FieldList = std::vector<std::shared_ptr<const VQJavaField>>;
    using MethodList = std::vector<std::shared_ptr<const VQJavaMethod>>;
    using ConstructorList = std::vector<std::shared_ptr<const VQJavaConstructor>>;

    // Parse failures ("Not a java .class file", ...) pass to the caller unchanged.
    static std::shared_ptr<VQJavaClass> classWithData(std::span<const uint8_t> data);
    static std::shared_ptr<VQJavaClass> classWithData(const VQByteBuffer& data);
    // Raises VQInvalidArgumentException "Can't map java class file PATH" when the path
    // names no readable regular file. The file is viewed only for the length of the call.
    static std::shared_ptr<VQJavaClass> classWithContentsOfFile(const std::string& path);

    explicit VQJavaClass(std::span<const uint8_t> data);
    explicit VQJavaClass(const VQByteBuffer& data);
    ~VQJavaClass();

    VQJavaClass(const VQJavaClass&) = delete;
    VQJavaClass& operator=(const VQJavaClass&) = delete;

    // Dotted names (java.util.Vector, Outer$Inner). The superclass name is absent for a
    // class file that names none.
    const std::optional<std::string>& className() const noexcept { return _className; }
    const std::optional<std::string>& superclassName() const noexcept { return _superclassName; }
    uint32_t accessFlags() const noexcept { return _accessFlags; }

    // Each list is absent until its first entry, so a class without fields has no field
    // list rather than an empty one. File order throughout.
    const std::optional<std::vector<std::string>>& interfaces() const noexcept {
        return _interfaces;
    }
    const std::optional<FieldList>& fields() const noexcept { return _fields; }
    // Every method whose name does not begin with '<'.
    const std::optional<MethodList>& methods() const noexcept { return _methods; }
    // Instance constructors and the static initializer, named with the class's dotted name.
    const std::optional<ConstructorList>& constructors() const noexcept { return _constructors; }
    const std::optional<VQAttributeList>& attributes() const noexcept { return _attributes; }

    bool isPublic() const noexcept { return _accessFlags & kVQAccessPublic; }
    bool isFinal() const noexcept { return _accessFlags & kVQAccessFinal; }
    bool isInterface() const noexcept { return _accessFlags & kVQAccessInterface; }
    bool isAbstract() const noexcept { return _accessFlags & kVQAccessAbstract; }

    // The name given by the first SourceFile attribute; null when there is none.
    const std::string* sourceFile() const;

    // The library that made the class; null for a class read from a file or from bytes.
    const std::shared_ptr<VQClassLibrary>& classLibrary() const noexcept { return _classLibrary; }
    // Looked up through the class library; null for a class without one.
    std::shared_ptr<VQJavaClass> superclass() const;
    std::shared_ptr<VQJavaPackage> package() const;

    // The declaration header, then one line per field, constructor and method inside
    // braces, with no newline after the closing brace.
    std::string description() const;

    // ---- Nesting, records, sealed classes and annotations ----------------------------
    // Read from the class's attributes on each call; nothing is kept beside them. An
    // attribute that is malformed, or decoded by a host's own kind, answers as absent.

    // The InnerClasses attribute: every nested class that the class file names, its own
    // entry among them when it is nested itself.
    const VQJavaInnerClassesAttribute* innerClasses() const;
    // The class's own InnerClasses entry; absent for a top-level class.
    std::optional<VQInnerClassEntry> innerClassEntry() const;
    // The modifiers as declared in source: the own entry's flags for a nested class (with
    // private, protected and static, which a class file's own flags cannot carry), else
    // accessFlags().
    uint32_t declaredAccessFlags() const;
    // The name in source: the own entry's for a nested class ("" for an anonymous one),
    // else the class name after its package.
    std::string simpleName() const;
    // The EnclosingMethod attribute of a local or anonymous class.
    const VQJavaEnclosingMethodAttribute* enclosingMethod() const;
    // The dotted name of the nest host; null for a class that names none.
    const std::string* nestHost() const;
    // The NestMembers and PermittedSubclasses attributes (dotted names, file order).
    const VQJavaClassListAttribute* nestMembers() const;
    const VQJavaClassListAttribute* permittedSubclasses() const;
    // The components of a record class; null for a class without a Record attribute.
    const std::vector<VQRecordComponent>* recordComponents() const;
    // The annotations of both retentions: visible ones first, each in file order.
    std::vector<const VQAnnotation*> annotations() const;
    const VQJavaAnnotationsAttribute* visibleAnnotations() const;
    const VQJavaAnnotationsAttribute* invisibleAnnotations() const;
    // A Deprecated attribute or a visible @java.lang.Deprecated.
    bool isDeprecated() const;
    // The synthetic flag (0x1000) or a Synthetic attribute.
    bool isSynthetic() const;

    // --- Generic signatures and modules ---
    // The text of the class's Signature attribute (it lives as long as the class); absent
    // when there is none.
    std::optional<std::string_view> genericSignature() const;
    // The class signature parsed from that text; absent without one or when it is
    // malformed (the header's names then stand: superclassName and interfaces).
    std::optional<VQClassSignature> classSignature() const;
    // The type parameters of the class signature; empty without one.
    std::vector<VQTypeParameter> typeParameters() const;
    // The name with type parameters, then extends and implements as a declaration says
    // them: "p.Box<T extends java.lang.Number> extends p.Base<T> implements
    // java.lang.Comparable<p.Box<T>>". An interface lists its superinterfaces after
    // extends; a class leaves out extends java.lang.Object. From the header's names when
    // the class has no usable signature.
    std::string genericText() const;

    // A module-info class: the ACC_MODULE flag.
    bool isModule() const noexcept { return _accessFlags & 0x8000; }
    // The Module, ModulePackages and ModuleMainClass attributes; null when absent.
    const VQJavaModuleAttribute* moduleDescriptor() const;
    const std::vector<std::string>* modulePackages() const;
    const std::string* moduleMainClass() const;

    // Builder operations (ClassFileParsing), called by the parser during construction.
    void setClassAccess(int32_t flags);
    void setClassName(std::string dottedName);
    void setSuperClassName(std::optional<std::string> dottedName);
    void addInterfaceName(std::string dottedName);
    // A capacity hint for the fields that follow; the parser does not call it.
    void setFieldCount(int32_t count);
    void addFieldName(std::string name, std::string signature, int32_t flags,
                      std::optional<VQAttributeList> attributes);
    void addConstructorName(std::string dottedClassName, std::string signature, int32_t flags,
                            std::optional<VQAttributeList> attributes);
    void addMethodName(std::string name, std::string signature, int32_t flags,
                       std::optional<VQAttributeList> attributes);
    void setClassAttributes(std::optional<VQAttributeList> attributes);

private:
    friend class VQClassLibrary;

    // Called once by the class library on every class it makes; the class keeps it alive.
    void _setClassLibrary(std::shared_ptr<VQClassLibrary> library) {
        _classLibrary = std::move(library);
    }

    // "    TEXT;\n" per element; nothing for an absent or empty list.
    static void _appendDescriptions(const std::optional<FieldList>& list, std::string& out);
    static void _appendDescriptions(const std::optional<MethodList>& list, std::string& out);
    static void _appendDescriptions(const std::optional<ConstructorList>& list, std::string& out);

    std::optional<std::string> _className;
    std::optional<std::string> _superclassName;
    uint32_t _accessFlags = 0;
    uint32_t _methodTableSize = 0;  // methods and constructors added so far
    std::optional<std::vector<std::string>> _interfaces;
    std::optional<FieldList> _fields;
    std::optional<MethodList> _methods;
    std::optional<ConstructorList> _constructors;
    std::optional<VQAttributeList> _attributes;
    std::shared_ptr<VQClassLibrary> _classLibrary;
};

}  // namespace ornith
