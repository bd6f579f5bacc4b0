// The whole class model over arbitrary bytes: construction, then every query a host can
// make of the class and each of its members (the nesting, record, parameter and
// annotation questions among them), and the declaration text of all of them.
// A class that is made must render the same text twice (the lazily decoded caches must
// not change what is shown), and whatever the full model accepts, the name-only parse
// that the single class-file store uses must accept too, with the same name. Read with
// lazy attributes, the same bytes must give the same answers.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapText.h"
#include "ornith/testing/AttributeQuestions.h"

using namespace ornith;

namespace {

struct NameOnly {
    std::string name;
    void setClassName(std::string dottedName) { name = std::move(dottedName); }
};

void touchType(const VQJavaType* type) {
    if (!type) return;
    (void)type->baseType();
    (void)type->dimensionality();
    if (const std::optional<std::string_view> name = type->className())
        ORNITH_FUZZ_CHECK(name->find('/') == std::string_view::npos);
    (void)type->description();
}

void touchAttributes(const std::optional<VQAttributeSpan>& attributes) {
    if (!attributes) return;
    ORNITH_FUZZ_CHECK(!attributes->empty());  // absent, never empty
    for (const auto& attribute : *attributes) {
        ORNITH_FUZZ_CHECK(attribute != nullptr);
        (void)attribute->typeName();
    }
}

void touchMethod(const VQJavaMethod& method) {
    touchAttributes(method.attributes());
    touchType(method.returnType());
    const uint32_t n = method.numberOfArguments();
    for (uint32_t i = 0; i < n; ++i) ORNITH_FUZZ_CHECK(method.argumentTypeAtIndex(i) != nullptr);
    ORNITH_FUZZ_CHECK(method.argumentTypeAtIndex(n) == nullptr);
    for (uint32_t i = 0; i < n; ++i) touchType(method.argumentTypeAtIndex(i));
    if (const auto* exceptions = method.exceptions())
        for (const auto& name : *exceptions) ORNITH_FUZZ_CHECK(name.find('/') == std::string::npos);
    (void)method.description();
}

// The bytes read with lazy attributes: what the eager parse reads must read the same, and
// anything else may fail at the factory or at a query, but only with the parser's failures.
void checkLazy(std::span<const uint8_t> bytes, const VQJavaClass* eager) {
    VQClassOptions options;
    options.lazyAttributes = true;
    std::shared_ptr<VQJavaClass> lazy;
    try {
        lazy = VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(bytes.data(), bytes.size()),
                                          options);
    } catch (const VQException&) {
        ORNITH_FUZZ_CHECK(eager == nullptr);
        return;
    }
    ORNITH_FUZZ_CHECK(lazy != nullptr);
    try {
        const size_t answers = testing::askAttributeQuestions(*lazy);
        const std::string text = lazy->description();
        if (eager) {
            ORNITH_FUZZ_CHECK(answers == testing::askAttributeQuestions(*eager));
            ORNITH_FUZZ_CHECK(text == eager->description());
        }
    } catch (const VQException&) {
        ORNITH_FUZZ_CHECK(eager == nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    std::shared_ptr<VQJavaClass> javaClass;
    try {
        javaClass = VQJavaClass::classWithData(bytes);
    } catch (const VQException&) {
        // the parser's failures; anything else escapes and counts as a crash
        checkLazy(bytes, nullptr);
        return 0;
    }
    ORNITH_FUZZ_CHECK(javaClass != nullptr);
    ORNITH_FUZZ_CHECK(javaClass->className().has_value());

    NameOnly nameOnly;
    try {
        VQParseClassFile(bytes, nameOnly);
    } catch (const VQException&) {
        fuzz::fail("the name-only parse refused a class that the model accepted");
    }
    ORNITH_FUZZ_CHECK(nameOnly.name == *javaClass->className());

    // Every member first on its own, each property decoded before any text is made ...
    if (const auto& fields = javaClass->fields()) {
        for (const auto& field : *fields) {
            touchAttributes(field->attributes());
            touchType(&field->type());
            if (const VQConstantValue* value = field->initialValue()) (void)value->description();
            (void)field->description();
        }
    }
    if (const auto& methods = javaClass->methods())
        for (const auto& method : *methods) touchMethod(*method);
    if (const auto& constructors = javaClass->constructors()) {
        for (const auto& constructor : *constructors) {
            ORNITH_FUZZ_CHECK(constructor->name() == *javaClass->className());
            ORNITH_FUZZ_CHECK(constructor->returnType() != nullptr);
            (void)constructor->isClassConstructor();
            touchMethod(*constructor);
        }
    }
    touchAttributes(javaClass->attributes());
    (void)javaClass->sourceFile();
    ORNITH_FUZZ_CHECK(javaClass->superclass() == nullptr && javaClass->package() == nullptr);

    // The questions about nesting, records, sealed classes, parameters and annotations,
    // whose answers must not change when asked again.
    const size_t answers = testing::askAttributeQuestions(*javaClass);
    ORNITH_FUZZ_CHECK(testing::askAttributeQuestions(*javaClass) == answers);

    // The generic and module questions and the javap view, which fall back on the
    // descriptors wherever a signature is malformed.
    (void)javaClass->genericText();
    (void)javaClass->typeParameters();
    (void)javaClass->moduleDescriptor();
    (void)javaClass->modulePackages();
    (void)javaClass->moduleMainClass();
    if (const auto& fields = javaClass->fields())
        for (const auto& field : *fields) (void)field->genericTypeText();
    if (const auto& methods = javaClass->methods())
        for (const auto& method : *methods) (void)method->methodSignature();
    const std::string javap = VQJavapText(*javaClass, {.showPrivate = true, .showConstants = true});
    ORNITH_FUZZ_CHECK(!javap.empty() && javap.back() == '\n');

    // ... then the class's text, which must not depend on which caches were filled first.
    const std::string text = javaClass->description();
    ORNITH_FUZZ_CHECK(javaClass->description() == text);
    const auto fresh = VQJavaClass::classWithData(bytes);
    ORNITH_FUZZ_CHECK(fresh->description() == text);
    checkLazy(bytes, javaClass.get());
    return 0;
}
