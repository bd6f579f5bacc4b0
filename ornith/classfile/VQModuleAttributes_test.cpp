#include "ornith/classfile/VQModuleAttributes.h"

#include <gtest/gtest.h>

#include <functional>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQSignatureAttribute.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;

struct AttributesOnly {
    std::optional<VQAttributeList> attributes;
    void setClassAttributes(std::optional<VQAttributeList> list) { attributes = std::move(list); }
};

uint16_t moduleEntry(ClassFileWriter& w, std::string_view name) {
    Bytes body;
    putU2(body, w.utf8(name));
    return w.raw(kVQConstantModule, std::move(body));
}
uint16_t packageEntry(ClassFileWriter& w, std::string_view name) {
    Bytes body;
    putU2(body, w.utf8(name));
    return w.raw(kVQConstantPackage, std::move(body));
}

// The Module attribute of a module with one directive of every kind; `edit` may change
// its bytes before the class is written.
Bytes moduleClass(const std::function<void(ClassFileWriter&, Bytes&)>& edit = nullptr) {
    ClassFileWriter w;
    w.setAccess(0x8000);
    w.setThisClass("module-info");
    w.setSuperClassIndex(0);
    Bytes info;
    putU2(info, moduleEntry(w, "org.example"));
    putU2(info, kVQModuleOpen);
    putU2(info, w.utf8("2.1"));
    putU2(info, 2);  // requires
    putU2(info, moduleEntry(w, "java.base"));
    putU2(info, kVQModuleMandated);
    putU2(info, w.utf8("25"));
    putU2(info, moduleEntry(w, "java.sql"));
    putU2(info, kVQRequiresStaticPhase | kVQRequiresTransitive);
    putU2(info, 0);
    putU2(info, 1);  // exports
    putU2(info, packageEntry(w, "org/example/api"));
    putU2(info, 0);
    putU2(info, 2);
    putU2(info, moduleEntry(w, "a.b"));
    putU2(info, moduleEntry(w, "c.d"));
    putU2(info, 1);  // opens
    putU2(info, packageEntry(w, "org/example/impl"));
    putU2(info, 0);
    putU2(info, 0);
    putU2(info, 1);  // uses
    putU2(info, w.classRef("org/example/Service"));
    putU2(info, 1);  // provides
    putU2(info, w.classRef("org/example/Service"));
    putU2(info, 2);
    putU2(info, w.classRef("org/example/impl/One"));
    putU2(info, w.classRef("org/example/impl/Two"));
    if (edit) edit(w, info);
    w.addClassAttribute(w.attribute("Module", std::move(info)));

    Bytes packages;
    putU2(packages, 2);
    putU2(packages, packageEntry(w, "org/example/api"));
    putU2(packages, packageEntry(w, "org/example/impl"));
    w.addClassAttribute(w.attribute("ModulePackages", std::move(packages)));
    Bytes mainClass;
    putU2(mainClass, w.classRef("org/example/Main"));
    w.addClassAttribute(w.attribute("ModuleMainClass", std::move(mainClass)));
    return w.bytes();
}

template <class Kind>
const Kind* find(const AttributesOnly& parsed) {
    for (const auto& attribute : parsed.attributes.value())
        if (const auto* found = dynamic_cast<const Kind*>(attribute.get())) return found;
    return nullptr;
}

TEST(VQModuleAttributes, DecodesEveryDirective) {
    AttributesOnly parsed;
    VQParseClassFile(std::span<const uint8_t>(moduleClass()), parsed);
    const auto* module = find<VQJavaModuleAttribute>(parsed);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->typeName(), "Module");
    EXPECT_EQ(module->moduleName(), "org.example");
    EXPECT_TRUE(module->isOpen());
    EXPECT_EQ(module->version(), "2.1");
    ASSERT_EQ(module->requiresDirectives().size(), 2u);
    EXPECT_EQ(module->requiresDirectives()[0].module, "java.base");
    EXPECT_EQ(module->requiresDirectives()[0].version, "25");
    EXPECT_EQ(module->requiresDirectives()[0].flags, kVQModuleMandated);
    EXPECT_FALSE(module->requiresDirectives()[1].version);
    ASSERT_EQ(module->exports().size(), 1u);
    EXPECT_EQ(module->exports()[0].package, "org.example.api");
    EXPECT_EQ(module->exports()[0].to, (std::vector<std::string>{"a.b", "c.d"}));
    ASSERT_EQ(module->opens().size(), 1u);
    EXPECT_TRUE(module->opens()[0].to.empty());
    EXPECT_EQ(module->uses(), std::vector<std::string>{"org.example.Service"});
    ASSERT_EQ(module->provides().size(), 1u);
    EXPECT_EQ(module->provides()[0].service, "org.example.Service");
    EXPECT_EQ(module->provides()[0].with,
              (std::vector<std::string>{"org.example.impl.One", "org.example.impl.Two"}));

    const auto* packages = find<VQJavaModulePackagesAttribute>(parsed);
    ASSERT_TRUE(packages);
    EXPECT_EQ(packages->packages(),
              (std::vector<std::string>{"org.example.api", "org.example.impl"}));
    const auto* mainClass = find<VQJavaModuleMainClassAttribute>(parsed);
    ASSERT_TRUE(mainClass);
    EXPECT_EQ(mainClass->mainClass(), "org.example.Main");
}

TEST(VQModuleAttributes, EveryCutOfTheModuleAttributeIsTruncated) {
    const Bytes whole = moduleClass();
    size_t cuts = 0;
    for (size_t keep = 0;; ++keep) {
        bool cut = false;
        const Bytes bytes = moduleClass([&](ClassFileWriter&, Bytes& info) {
            if (keep < info.size()) {
                info.resize(keep);
                cut = true;
            }
        });
        if (!cut) break;
        ++cuts;
        AttributesOnly parsed;
        try {
            VQParseClassFile(std::span<const uint8_t>(bytes), parsed);
            ADD_FAILURE() << "a Module attribute of " << keep << " bytes was accepted";
        } catch (const VQInvalidArgumentException& e) {
            EXPECT_EQ(e.reason(), "Truncated java .class file") << keep;
        }
    }
    EXPECT_EQ(cuts, 54u);  // every shorter length of the 54-byte attribute
}

TEST(VQModuleAttributes, CountsBeyondTheAttributeAreRefusedBeforeAllocating) {
    // A requires count of 65535 in an attribute that holds two requires records.
    const Bytes bytes = moduleClass([](ClassFileWriter&, Bytes& info) {
        info[6] = 0xFF;
        info[7] = 0xFF;
    });
    AttributesOnly parsed;
    EXPECT_THROW(VQParseClassFile(std::span<const uint8_t>(bytes), parsed),
                 VQInvalidArgumentException);
}

TEST(VQModuleAttributes, NamesOfTheWrongKindAreBadIndexes) {
    // The module name given as a Utf8 entry rather than a Module entry.
    const Bytes bytes = moduleClass([](ClassFileWriter& w, Bytes& info) {
        const uint16_t utf8 = w.utf8("org.example");
        info[0] = static_cast<uint8_t>(utf8 >> 8);
        info[1] = static_cast<uint8_t>(utf8);
    });
    AttributesOnly parsed;
    try {
        VQParseClassFile(std::span<const uint8_t>(bytes), parsed);
        ADD_FAILURE() << "accepted";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_TRUE(e.reason().starts_with("bad constant pool index ")) << e.reason();
    }
}

TEST(VQSignatureAttribute, KeepsTheTextAndRefusesAShortAttribute) {
    for (bool whole : {true, false}) {
        ClassFileWriter w;
        w.setThisClass("p/G");
        w.setSuperClass("java/lang/Object");
        Bytes info;
        putU2(info, w.utf8("<T:Ljava/lang/Object;>Ljava/lang/Object;"));
        if (!whole) info.pop_back();
        w.addClassAttribute(w.attribute("Signature", std::move(info)));
        const Bytes bytes = w.bytes();
        AttributesOnly parsed;
        if (!whole) {
            EXPECT_THROW(VQParseClassFile(std::span<const uint8_t>(bytes), parsed),
                         VQInvalidArgumentException);
            continue;
        }
        VQParseClassFile(std::span<const uint8_t>(bytes), parsed);
        const auto* signature = find<VQJavaSignatureAttribute>(parsed);
        ASSERT_TRUE(signature);
        EXPECT_EQ(signature->signature(), "<T:Ljava/lang/Object;>Ljava/lang/Object;");
    }
}

}  // namespace
}  // namespace ornith
