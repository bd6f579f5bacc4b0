// `ornith describe --format json`: every line parses back, and what it holds is what the
// model answers for the same class.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "JsonFormat.h"
#include "RunTool.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith::tool::testing {
namespace {

using nlohmann::json;

std::vector<json> parseLines(const std::string& text) {
    std::vector<json> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(json::parse(line));
    return out;
}

std::vector<std::string> annotationTypes(const std::vector<const VQAnnotation*>& annotations) {
    std::vector<std::string> out;
    for (const VQAnnotation* a : annotations) out.push_back(a->typeName());
    return out;
}

std::vector<std::string> annotationTypes(const json& list) {
    std::vector<std::string> out;
    for (const json& a : list) out.push_back(a.at("type").get<std::string>());
    return out;
}

// The object against the model's answers, member by member.
void expectMatchesModel(const json& object, const VQJavaClass& c) {
    SCOPED_TRACE(c.className().value_or("?"));
    EXPECT_EQ(object.at("name"), *c.className());
    EXPECT_EQ(object.at("simpleName"), c.simpleName());
    EXPECT_EQ(object.at("accessFlags"), c.accessFlags());
    EXPECT_EQ(object.at("declaredAccessFlags"), c.declaredAccessFlags());
    EXPECT_EQ(object.at("superclass").is_null(), !c.superclassName());
    EXPECT_EQ(object.at("deprecated"), c.isDeprecated());
    EXPECT_EQ(object.at("genericText"), c.genericText());
    EXPECT_EQ(annotationTypes(object.at("annotations")), annotationTypes(c.annotations()));
    const auto* inner = c.innerClasses();
    ASSERT_EQ(object.at("innerClasses").size(), inner ? inner->numberOfEntries() : 0u);
    for (size_t i = 0; inner && i < inner->numberOfEntries(); ++i) {
        const VQInnerClassEntry entry = inner->entryAtIndex(i);
        const json& e = object.at("innerClasses")[i];
        EXPECT_EQ(e.at("innerClass"), std::string(entry.innerClassName));
        EXPECT_EQ(e.at("accessFlags"), entry.accessFlags);
        if (entry.simpleName) {
            EXPECT_EQ(e.at("simpleName"), std::string(*entry.simpleName));
        } else {
            EXPECT_TRUE(e.at("simpleName").is_null());
        }
    }
    EXPECT_EQ(object.at("nestHost").is_null(), c.nestHost() == nullptr);
    if (c.nestHost()) {
        EXPECT_EQ(object.at("nestHost"), *c.nestHost());
    }
    if (const auto* members = c.nestMembers()) {
        EXPECT_EQ(object.at("nestMembers").get<std::vector<std::string>>(), members->classNames());
    }
    if (const auto* permitted = c.permittedSubclasses())
        EXPECT_EQ(object.at("permittedSubclasses").get<std::vector<std::string>>(),
                  permitted->classNames());
    else {
        EXPECT_TRUE(object.at("permittedSubclasses").is_null());
    }
    if (const auto* components = c.recordComponents()) {
        ASSERT_EQ(object.at("recordComponents").size(), components->size());
        for (size_t i = 0; i < components->size(); ++i)
            EXPECT_EQ(object.at("recordComponents")[i].at("name"), (*components)[i].name());
    } else {
        EXPECT_TRUE(object.at("recordComponents").is_null());
    }
    EXPECT_EQ(object.at("module").is_null(), c.moduleDescriptor() == nullptr);
    if (const auto* module = c.moduleDescriptor()) {
        EXPECT_EQ(object.at("module").at("name"), module->moduleName());
        EXPECT_EQ(object.at("module").at("requires").size(), module->requiresDirectives().size());
    }

    const size_t fields = c.fields() ? c.fields()->size() : 0;
    ASSERT_EQ(object.at("fields").size(), fields);
    for (size_t i = 0; i < fields; ++i) {
        const VQJavaField& field = *c.fields()->at(i);
        const json& f = object.at("fields")[i];
        EXPECT_EQ(f.at("name"), field.name());
        EXPECT_EQ(f.at("genericType"), field.genericTypeText());
        EXPECT_EQ(annotationTypes(f.at("annotations")), annotationTypes(field.annotations()));
        EXPECT_EQ(f.at("constantValue").is_null(), field.initialValue() == nullptr);
    }
    std::vector<const VQJavaMethod*> methods;
    if (c.constructors())
        for (const auto& m : *c.constructors()) methods.push_back(m.get());
    if (c.methods())
        for (const auto& m : *c.methods()) methods.push_back(m.get());
    ASSERT_EQ(object.at("methods").size(), methods.size());
    for (size_t i = 0; i < methods.size(); ++i) {
        const VQJavaMethod& method = *methods[i];
        const json& m = object.at("methods")[i];
        EXPECT_EQ(m.at("name"), method.name());
        EXPECT_EQ(m.at("descriptor"), method.signature());
        EXPECT_EQ(m.at("parameterTypes").size(), method.numberOfArguments());
        EXPECT_EQ(annotationTypes(m.at("annotations")), annotationTypes(method.annotations()));
        if (const auto* parameters = method.parameters()) {
            ASSERT_EQ(m.at("methodParameters").size(), parameters->size());
            for (size_t k = 0; k < parameters->size(); ++k)
                if ((*parameters)[k].name) {
                    EXPECT_EQ(m.at("methodParameters")[k].at("name"), *(*parameters)[k].name);
                }
        } else {
            EXPECT_TRUE(m.at("methodParameters").is_null());
        }
        if (const VQElementValue* value = method.annotationDefault()) {
            EXPECT_EQ(m.at("annotationDefault").at("text"), VQElementValueText(*value));
        } else {
            EXPECT_TRUE(m.at("annotationDefault").is_null());
        }
        const std::optional<VQMethodSignature> generic = method.methodSignature();
        if (method.genericSignature() && generic) {
            EXPECT_EQ(m.at("generic").at("returnType"), generic->result.javaText());
        }
    }
}

std::vector<std::string> classFilesBelow(const std::string& relative) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             std::string(ORNITH_SOURCE_DIR) + "/" + relative))
        if (entry.path().extension() == ".class") out.push_back(entry.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(DescribeJson, EveryExampleClassRoundTripsTheModelsAnswers) {
    std::vector<std::string> args = {"describe", "--format", "json"};
    std::vector<std::string> files = classFilesBelow("examples/attributes/classes");
    for (const std::string& f : classFilesBelow("examples/modern/classes")) files.push_back(f);
    ASSERT_GT(files.size(), 20u);
    args.insert(args.end(), files.begin(), files.end());
    ToolResult r = runTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<json> objects = parseLines(r.out);
    ASSERT_EQ(objects.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
        expectMatchesModel(objects[i], *VQJavaClass::classWithContentsOfFile(files[i]));
}

TEST(DescribeJson, ValuesOfTheModernAttributes) {
    ToolResult r = runTool({"describe", "--format", "json", "-cp", "examples/attributes/classes",
                            "attrs.Shape$Circle", "attrs.Outer$1Local", "attrs.Tag"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<json> o = parseLines(r.out);
    ASSERT_EQ(o.size(), 3u);
    const json& labels = o[0].at("recordComponents")[1];
    EXPECT_EQ(labels.at("type"), "java.util.List<java.lang.String>");
    EXPECT_EQ(labels.at("signature"), "Ljava/util/List<Ljava/lang/String;>;");
    const json& radius = o[0].at("recordComponents")[0].at("annotations")[0];
    EXPECT_EQ(radius.at("type"), "attrs.Tag");
    EXPECT_EQ(radius.at("visible"), true);
    EXPECT_EQ(radius.at("elements")[0].at("value").at("value"), "r");
    EXPECT_EQ(o[1].at("enclosingMethod").at("name"), "local");
    EXPECT_EQ(o[1].at("simpleName"), "Local");
    // Defaults keep their kinds: a long is a number, an array its values.
    for (const json& m : o[2].at("methods")) {
        if (m.at("name") == "big") {
            EXPECT_EQ(m.at("annotationDefault").at("value"), 1LL << 40);
        }
        if (m.at("name") == "numbers") {
            EXPECT_EQ(m.at("annotationDefault").at("values").size(), 2u);
        }
        if (m.at("name") == "flag") {
            EXPECT_EQ(m.at("annotationDefault").at("value"), true);
        }
    }
}

TEST(DescribeJson, TextBeyondAsciiIsEscapedUnlessRaw) {
    ornith::testing::ClassFileWriter w;
    w.setThisClass("p/Caf\xC3\xA9\x1B[31m");
    w.setSuperClass("java/lang/Object");
    w.addField(0x0019, "s", "Ljava/lang/String;", {w.constantValue(w.string("a\xE2\x80\xA8z"))});
    const auto bytes = w.bytes();
    const std::string path = std::string(::testing::TempDir()) + "ornith_json_escape.class";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    ToolResult safe = runTool({"describe", "--format", "json", path});
    ASSERT_EQ(safe.status, 0) << safe.err;
    for (const char c : safe.out)
        ASSERT_TRUE(static_cast<unsigned char>(c) < 0x7F && (c >= 0x20 || c == '\n'));
    ToolResult raw = runTool({"describe", "--format", "json", "--raw", path});
    EXPECT_NE(raw.out, safe.out);
    EXPECT_EQ(json::parse(raw.out), json::parse(safe.out));
    EXPECT_EQ(json::parse(safe.out).at("name"), "p.Caf\xC3\xA9\x1B[31m");
    EXPECT_EQ(json::parse(safe.out).at("fields")[0].at("constantValue").at("value"),
              "a\xE2\x80\xA8z");
}

TEST(DescribeJson, AFailedNameIsReportedAndTheOthersStillWritten) {
    ToolResult r = runTool({"describe", "--format", "json", "examples/classes/p/Missing.class",
                            "examples/classes/p/Point.class", "p.Nowhere"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ornith: examples/classes/p/Missing.class: "), std::string::npos);
    // One line per name asked for, a name that gives no class saying why.
    const auto lines = parseLines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].at("name"), "examples/classes/p/Missing.class");
    EXPECT_TRUE(lines[0].at("error").is_string());
    EXPECT_EQ(lines[1].at("name"), "p.Point");
    EXPECT_EQ(lines[2], (json{{"name", "p.Nowhere"}, {"error", "not found"}}));
    EXPECT_EQ(runTool({"describe", "--format", "yaml", "examples/classes/p/Point.class"}).status,
              2);
}

const json& methodNamed(const json& object, const std::string& name) {
    for (const json& m : object.at("methods"))
        if (m.at("name") == name) return m;
    throw std::runtime_error("no method " + name);
}

TEST(DescribeJson, CodeOfEachMethodWithCodeOption) {
    const std::string generics = "examples/modern/classes/m/impl/Generics.class";
    ToolResult r = runTool({"describe", "--format", "json", "--code", generics});
    ASSERT_EQ(r.status, 0) << r.err;
    const json object = json::parse(r.out);
    const json& sum = methodNamed(object, "sum").at("code");
    EXPECT_TRUE(methodNamed(object, "sum").at("codeError").is_null());
    const json& instructions = sum.at("instructions");
    auto at = [&](uint32_t offset) -> const json& {
        for (const json& i : instructions)
            if (i.at("offset") == offset) return i;
        throw std::runtime_error("no instruction at " + std::to_string(offset));
    };
    EXPECT_EQ(at(13).at("opcode"), "if_icmpge");
    EXPECT_EQ(at(13).at("target"), 33);
    EXPECT_EQ(at(27).at("opcode"), "iinc");
    EXPECT_EQ(at(27).at("local"), 4);
    EXPECT_EQ(at(27).at("increment"), 1);
    EXPECT_EQ(at(30).at("target"), 10);
    EXPECT_EQ(sum.at("lineNumbers")[1], (json{{"startPc", 2}, {"line", 48}}));
    const json& call = methodNamed(object, "mayThrow").at("code").at("instructions")[1];
    EXPECT_EQ(call.at("opcode"), "invokeinterface");
    EXPECT_EQ(call.at("count"), 1);
    EXPECT_EQ(call.at("constant").at("kind"), "InterfaceMethodref");
    EXPECT_EQ(call.at("constant").at("text"),
              "InterfaceMethod java/util/function/Supplier.get:()Ljava/lang/Object;");
    EXPECT_TRUE(methodNamed(object, "nativeCall").at("code").is_null());
    // Without the option the methods carry no code at all.
    const json plain = json::parse(runTool({"describe", "--format", "json", generics}).out);
    EXPECT_FALSE(methodNamed(plain, "sum").contains("code"));
    EXPECT_EQ(runTool({"describe", "--code", generics}).status, 2);

    // A method whose code does not decode says why; the tables of the next still print.
    ornith::testing::ClassFileWriter w;
    w.setThisClass("p/Bodies");
    w.setSuperClass("java/lang/Object");
    auto body = [&](ornith::testing::Bytes code, ornith::testing::Bytes attributes,
                    uint16_t attributeCount) {
        ornith::testing::Bytes info;
        ornith::testing::putU2(info, 2), ornith::testing::putU2(info, 1);
        ornith::testing::putU4(info, static_cast<uint32_t>(code.size()));
        info.insert(info.end(), code.begin(), code.end());
        ornith::testing::putU2(info, 1);  // one handler: 0-1, at 1, any
        for (uint32_t v : {0u, 1u, 1u, 0u}) ornith::testing::putU2(info, v);
        ornith::testing::putU2(info, attributeCount);
        info.insert(info.end(), attributes.begin(), attributes.end());
        return w.attribute("Code", info);
    };
    w.addMethod(9, "broken", "()V", {body({0x00, 0xFF}, {}, 0)});
    ornith::testing::Bytes locals;
    ornith::testing::putU2(locals, 1);
    for (uint32_t v : {0u, 2u, uint32_t{w.utf8("n")}, uint32_t{w.utf8("I")}, 0u})
        ornith::testing::putU2(locals, v);
    ornith::testing::Bytes table;
    ornith::testing::putU2(table, w.utf8("LocalVariableTable"));
    ornith::testing::putU4(table, static_cast<uint32_t>(locals.size()));
    table.insert(table.end(), locals.begin(), locals.end());
    w.addMethod(9, "fine", "(I)V", {body({0x1A, 0xB1}, table, 1)});
    const auto bytes = w.bytes();
    const std::string path = std::string(::testing::TempDir()) + "ornith_json_code.class";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    ToolResult written = runTool({"describe", "--format", "json", "--code", path});
    ASSERT_EQ(written.status, 0) << written.err;
    const json bodies = json::parse(written.out);
    EXPECT_TRUE(methodNamed(bodies, "broken").at("code").is_null());
    EXPECT_EQ(methodNamed(bodies, "broken").at("codeError"),
              "malformed Code: unknown opcode at offset 1");
    const json& fine = methodNamed(bodies, "fine").at("code");
    EXPECT_EQ(fine.at("instructions")[0], (json{{"offset", 0}, {"opcode", "iload_0"}}));
    EXPECT_EQ(fine.at("exceptionTable")[0],
              (json{{"start", 0}, {"end", 1}, {"handler", 1}, {"catchType", nullptr}}));
    EXPECT_EQ(fine.at("localVariables")[0],
              (json{{"start", 0}, {"length", 2}, {"slot", 0}, {"name", "n"}, {"descriptor", "I"}}));
}

}  // namespace
}  // namespace ornith::tool::testing
