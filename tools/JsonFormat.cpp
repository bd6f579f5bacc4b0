#include "JsonFormat.h"

#include <cmath>
#include <span>
#include <string_view>
#include <variant>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQCodeTables.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaSignature.h"

namespace ornith::tool {

namespace {

using json = nlohmann::ordered_json;

json optionalText(const std::string* text) {
    return text ? json(*text) : json(nullptr);
}

template <class T>
json optionalText(const std::optional<T>& text) {
    return text ? json(std::string(*text)) : json(nullptr);
}

json annotationJson(const VQAnnotation& annotation, std::optional<bool> visible);

// Numbers stay numbers where JSON can hold them; every value also carries its Java text.
json elementValueJson(const VQElementValue& value) {
    json out{{"tag", std::string(1, value.tag())}, {"text", VQElementValueText(value)}};
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
                if (value.tag() == 'Z')
                    out["value"] = v != 0;
                else
                    out["value"] = v;
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                if (std::isfinite(v)) out["value"] = v;
            } else if constexpr (std::is_same_v<T, std::string>) {
                out[value.tag() == 'c' ? "descriptor" : "value"] = v;
            } else if constexpr (std::is_same_v<T, VQEnumConstant>) {
                out["descriptor"] = v.typeDescriptor;
                out["constant"] = v.constantName;
            } else if constexpr (std::is_same_v<T, std::shared_ptr<const VQAnnotation>>) {
                if (v) out["annotation"] = annotationJson(*v, std::nullopt);
            } else {
                json values = json::array();
                for (const VQElementValue& element : v) values.push_back(elementValueJson(element));
                out["values"] = std::move(values);
            }
        },
        value.value());
    return out;
}

json annotationJson(const VQAnnotation& annotation, std::optional<bool> visible) {
    json elements = json::array();
    for (const auto& [name, value] : annotation.elements())
        elements.push_back({{"name", name}, {"value", elementValueJson(value)}});
    json out{{"type", annotation.typeName()},
             {"descriptor", annotation.typeDescriptor()},
             {"elements", std::move(elements)}};
    if (visible) out["visible"] = *visible;
    return out;
}

void appendAnnotations(json& list, const VQJavaAnnotationsAttribute* attribute, bool visible) {
    if (!attribute) return;
    for (const VQAnnotation& annotation : attribute->annotations())
        list.push_back(annotationJson(annotation, visible));
}

template <class Owner>
json annotationsJson(const Owner& owner) {
    json list = json::array();
    appendAnnotations(list, owner.visibleAnnotations(), true);
    appendAnnotations(list, owner.invisibleAnnotations(), false);
    return list;
}

json componentAnnotationsJson(const VQRecordComponent& component) {
    json list = json::array();
    appendAnnotations(list,
                      dynamic_cast<const VQJavaAnnotationsAttribute*>(
                          component.attributeWithName("RuntimeVisibleAnnotations")),
                      true);
    appendAnnotations(list,
                      dynamic_cast<const VQJavaAnnotationsAttribute*>(
                          component.attributeWithName("RuntimeInvisibleAnnotations")),
                      false);
    return list;
}

json stringList(const std::vector<std::string>& names) {
    return json(names);
}

json stringList(std::span<const std::string_view> names) {
    json list = json::array();
    for (std::string_view name : names) list.push_back(std::string(name));
    return list;
}

json typeParametersJson(const std::vector<VQTypeParameter>& parameters) {
    json list = json::array();
    for (const VQTypeParameter& parameter : parameters) {
        json bounds = json::array();
        for (const VQSignatureType& bound : parameter.interfaceBounds)
            bounds.push_back(bound.javaText());
        list.push_back({{"name", parameter.name},
                        {"classBound", parameter.classBound ? json(parameter.classBound->javaText())
                                                            : json(nullptr)},
                        {"interfaceBounds", std::move(bounds)}});
    }
    return list;
}

json typeTexts(const std::vector<VQSignatureType>& types) {
    json list = json::array();
    for (const VQSignatureType& type : types) list.push_back(type.javaText());
    return list;
}

json memberCommon(const VQJavaMember& member) {
    return {{"name", member.name()},
            {"descriptor", member.signature()},
            {"accessFlags", member.accessMask()},
            {"signature", optionalText(member.genericSignature())},
            {"deprecated", member.isDeprecated()},
            {"synthetic", member.isSynthetic()},
            {"annotations", annotationsJson(member)}};
}

json fieldJson(const VQJavaField& field) {
    json out = memberCommon(field);
    out["type"] = field.type().description().value_or(std::string(field.signature()));
    out["genericType"] = field.genericTypeText();
    if (const VQConstantValue* value = field.initialValue()) {
        json constant{{"text", value->description()}};
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                    if (std::isfinite(v)) constant["value"] = v;
                } else {
                    constant["value"] = v;
                }
            },
            value->value());
        out["constantValue"] = std::move(constant);
    } else {
        out["constantValue"] = nullptr;
    }
    return out;
}

json parameterAnnotationsJson(const VQJavaMethod& method) {
    const auto* visible = method.visibleParameterAnnotations();
    const auto* invisible = method.invisibleParameterAnnotations();
    if (!visible && !invisible) return nullptr;
    size_t count = 0;
    if (visible) count = visible->parameterAnnotations().size();
    if (invisible) count = std::max(count, invisible->parameterAnnotations().size());
    json lists = json::array();
    for (size_t i = 0; i < count; ++i) {
        json list = json::array();
        for (const auto* attribute : {visible, invisible})
            if (attribute && i < attribute->parameterAnnotations().size())
                for (const VQAnnotation& annotation : attribute->parameterAnnotations()[i])
                    list.push_back(annotationJson(annotation, attribute == visible));
        lists.push_back(std::move(list));
    }
    return lists;
}

// ---- Method bodies (--code) --------------------------------------------------------------

struct CodeContext {
    const VQConstantPoolEntries& pool;
    uint32_t thisClass;

    // The text of a Utf8 entry or of the Utf8 entry a Class names; null for another index.
    json text(uint32_t index) const {
        std::string s;
        if (!pool.text(index, s)) return nullptr;
        return s;
    }
    json constant(uint32_t index) const {
        std::string s;
        const int tag = pool.tag(index);
        if (!pool.appendJavapReference(index, thisClass, s)) s.clear();
        return {{"index", index}, {"kind", VQConstantPoolEntries::kindName(tag)}, {"text", s}};
    }
};

json instructionJson(const CodeContext& c, const VQInstruction& i) {
    json out{{"offset", i.offset}, {"opcode", i.mnemonic()}};
    if (i.wide) out["wide"] = true;
    switch (i.form) {
        case VQOperandForm::local:
            out["local"] = i.local;
            break;
        case VQOperandForm::increment:
            out["local"] = i.local;
            out["increment"] = i.value;
            break;
        case VQOperandForm::byteValue:
        case VQOperandForm::shortValue:
            out["value"] = i.value;
            break;
        case VQOperandForm::newArrayType:
            out["arrayType"] = VQNewArrayTypeName(static_cast<uint8_t>(i.value));
            break;
        case VQOperandForm::constant:
        case VQOperandForm::field:
        case VQOperandForm::method:
        case VQOperandForm::dynamic:
        case VQOperandForm::type:
            out["constant"] = c.constant(i.poolIndex);
            break;
        case VQOperandForm::interfaceMethod:
            out["constant"] = c.constant(i.poolIndex);
            out["count"] = i.value;
            break;
        case VQOperandForm::multiArray:
            out["constant"] = c.constant(i.poolIndex);
            out["dimensions"] = i.value;
            break;
        case VQOperandForm::branch:
            out["target"] = i.target;
            break;
        case VQOperandForm::tableSwitch:
        case VQOperandForm::lookupSwitch: {
            if (i.form == VQOperandForm::tableSwitch) {
                out["low"] = i.low;
                out["high"] = i.high;
            }
            out["default"] = i.target;
            json cases = json::array();
            const uint32_t n = i.caseCount();
            for (uint32_t k = 0; k < n; ++k)
                cases.push_back({{"match", i.caseMatch(k)}, {"target", i.caseTarget(k)}});
            out["cases"] = std::move(cases);
            break;
        }
        case VQOperandForm::none:
        case VQOperandForm::wide:
            break;
    }
    return out;
}

json localVariablesJson(const CodeContext& c, const VQLayoutAttribute* attribute,
                        const char* typeKey) {
    json list = json::array();
    if (!attribute) return list;
    const VQLocalVariableTable table = VQDecodeLocalVariableTable(attribute->info);
    for (const VQLocalVariable& v : table.entries)
        list.push_back({{"start", v.start},
                        {"length", v.length},
                        {"slot", v.slot},
                        {"name", c.text(v.nameIndex)},
                        {typeKey, c.text(v.descriptorIndex)}});
    return list;
}

std::string codeFaultText(const VQCodeAttribute::Fault& fault) {
    return std::string("malformed Code: ") + fault.reason + " at offset " +
           std::to_string(fault.offset);
}

// The body of a method as "code" (null for a method without one) and, when it does not
// decode, the reason as "codeError".
void addCodeJson(json& out, const VQJavaClass& owner, const VQJavaMethod& method) {
    const VQCodeAttribute* code = nullptr;
    const VQClassFileLayout* layout = nullptr;
    try {
        code = owner.code(method);
        layout = owner.classFileLayout();
    } catch (const VQException& e) {
        out["code"] = nullptr;
        out["codeError"] = std::string("malformed Code: ") + e.what();
        return;
    }
    if (!code) {
        out["code"] = nullptr;
        out["codeError"] = nullptr;
        return;
    }
    if (const std::optional<VQCodeAttribute::Fault> fault = code->fault()) {
        out["code"] = nullptr;
        out["codeError"] = codeFaultText(*fault);
        return;
    }
    const CodeContext c{code->pool(), layout ? layout->thisClass() : 0u};
    json instructions = json::array();
    VQInstructionDecoder decoder = code->instructions();
    VQInstruction instruction;
    while (decoder.next(instruction)) instructions.push_back(instructionJson(c, instruction));
    json handlers = json::array();
    for (const VQExceptionHandler& h : code->exceptionTable())
        handlers.push_back({{"start", h.start},
                            {"end", h.end},
                            {"handler", h.handler},
                            {"catchType", h.catchType ? c.text(h.catchType) : json(nullptr)}});
    json lines = json::array();
    if (const VQLayoutAttribute* a = code->attribute("LineNumberTable"))
        for (const VQLineNumber& e : VQDecodeLineNumberTable(a->info).entries)
            lines.push_back({{"startPc", e.startPc}, {"line", e.line}});
    out["code"] = {{"maxStack", code->maxStack()},
                   {"maxLocals", code->maxLocals()},
                   {"instructions", std::move(instructions)},
                   {"exceptionTable", std::move(handlers)},
                   {"lineNumbers", std::move(lines)},
                   {"localVariables",
                    localVariablesJson(c, code->attribute("LocalVariableTable"), "descriptor")},
                   {"localVariableTypes",
                    localVariablesJson(c, code->attribute("LocalVariableTypeTable"), "signature")}};
    out["codeError"] = nullptr;
}

json methodJson(const VQJavaMethod& method, bool constructor) {
    json out = memberCommon(method);
    out["constructor"] = constructor;
    const VQJavaType* result = method.returnType();
    out["returnType"] = result
                            ? json(result->description().value_or(std::string(result->signature())))
                            : json(nullptr);
    json types = json::array();
    for (uint32_t i = 0; i < method.numberOfArguments(); ++i) {
        const VQJavaType* type = method.argumentTypeAtIndex(i);
        types.push_back(type->description().value_or(std::string(type->signature())));
    }
    out["parameterTypes"] = std::move(types);
    const std::vector<std::string>* exceptions = method.exceptions();
    out["exceptions"] = exceptions ? stringList(*exceptions) : json::array();
    if (std::optional<VQMethodSignature> generic = method.methodSignature();
        generic && method.genericSignature()) {
        out["generic"] = {{"typeParameters", typeParametersJson(generic->typeParameters)},
                          {"parameterTypes", typeTexts(generic->parameters)},
                          {"returnType", generic->result.javaText()},
                          {"exceptions", typeTexts(generic->exceptions)}};
    } else {
        out["generic"] = nullptr;
    }
    if (const auto* parameters = method.parameters()) {
        json list = json::array();
        for (const VQMethodParameter& parameter : *parameters)
            list.push_back(
                {{"name", optionalText(parameter.name)}, {"accessFlags", parameter.accessFlags}});
        out["methodParameters"] = std::move(list);
    } else {
        out["methodParameters"] = nullptr;
    }
    out["parameterAnnotations"] = parameterAnnotationsJson(method);
    const VQElementValue* byDefault = method.annotationDefault();
    out["annotationDefault"] = byDefault ? elementValueJson(*byDefault) : json(nullptr);
    return out;
}

json moduleJson(const VQJavaClass& javaClass) {
    const VQJavaModuleAttribute* module = javaClass.moduleDescriptor();
    if (!module) return nullptr;
    json requiresList = json::array();
    for (const VQModuleRequires& r : module->requiresDirectives())
        requiresList.push_back(
            {{"module", r.module}, {"flags", r.flags}, {"version", optionalText(r.version)}});
    auto directives = [](const std::vector<VQModulePackageDirective>& list) {
        json out = json::array();
        for (const VQModulePackageDirective& d : list)
            out.push_back({{"package", d.package}, {"flags", d.flags}, {"to", d.to}});
        return out;
    };
    json provides = json::array();
    for (const VQModuleProvides& p : module->provides())
        provides.push_back({{"service", p.service}, {"with", p.with}});
    const std::vector<std::string>* packages = javaClass.modulePackages();
    return {{"name", module->moduleName()},
            {"flags", module->moduleFlags()},
            {"version", optionalText(module->version())},
            {"requires", std::move(requiresList)},
            {"exports", directives(module->exports())},
            {"opens", directives(module->opens())},
            {"uses", module->uses()},
            {"provides", std::move(provides)},
            {"packages", packages ? json(*packages) : json(nullptr)},
            {"mainClass", optionalText(javaClass.moduleMainClass())}};
}

// The class file's version from its header; null for a class that keeps no bytes.
json versionJson(const VQJavaClass& javaClass) {
    const std::span<const uint8_t> bytes = javaClass.classFileBytes();
    if (bytes.size() < 8) return nullptr;
    return {{"major", VQLoadBE16(bytes.data() + 6)}, {"minor", VQLoadBE16(bytes.data() + 4)}};
}

const char* kindText(const VQJavaClass& javaClass) {
    const uint32_t flags = javaClass.accessFlags();
    if (javaClass.isModule()) return "module";
    if (flags & 0x2000) return "annotation";
    if (javaClass.isInterface()) return "interface";
    if (flags & 0x4000) return "enum";
    if (javaClass.recordComponents()) return "record";
    return "class";
}

// The modifiers a declaration of the class says, in the JLS's order.
json modifierWords(const VQJavaClass& javaClass) {
    const uint32_t flags = javaClass.declaredAccessFlags();
    json words = json::array();
    static constexpr std::pair<uint32_t, const char*> kWords[] = {
        {kVQAccessPublic, "public"},   {kVQAccessProtected, "protected"},
        {kVQAccessPrivate, "private"}, {kVQAccessAbstract, "abstract"},
        {kVQAccessStatic, "static"},   {kVQAccessFinal, "final"}};
    for (const auto& [bit, word] : kWords) {
        // Every interface is abstract; no declaration says so.
        if (bit == kVQAccessAbstract && (flags & kVQAccessInterface)) continue;
        if (flags & bit) words.push_back(word);
    }
    if (javaClass.permittedSubclasses()) words.push_back("sealed");
    return words;
}

}  // namespace

json classJson(const VQJavaClass& javaClass, const ClassJsonOptions& options) {
    json out;
    out["name"] = optionalText(javaClass.className());
    out["version"] = versionJson(javaClass);
    out["kind"] = kindText(javaClass);
    out["modifiers"] = modifierWords(javaClass);
    out["classPathEntry"] = optionalText(options.classPathEntry);
    out["simpleName"] = javaClass.simpleName();
    out["accessFlags"] = javaClass.accessFlags();
    out["declaredAccessFlags"] = javaClass.declaredAccessFlags();
    out["superclass"] = optionalText(javaClass.superclassName());
    out["interfaces"] =
        javaClass.interfaces() ? stringList(*javaClass.interfaces()) : json::array();
    out["sourceFile"] = optionalText(javaClass.sourceFile());
    out["deprecated"] = javaClass.isDeprecated();
    out["synthetic"] = javaClass.isSynthetic();
    out["signature"] = optionalText(javaClass.genericSignature());
    out["typeParameters"] = typeParametersJson(javaClass.typeParameters());
    out["genericText"] = javaClass.genericText();
    out["annotations"] = annotationsJson(javaClass);

    json inner = json::array();
    if (const VQJavaInnerClassesAttribute* list = javaClass.innerClasses()) {
        for (size_t i = 0; i < list->numberOfEntries(); ++i) {
            const VQInnerClassEntry entry = list->entryAtIndex(i);
            inner.push_back({{"innerClass", std::string(entry.innerClassName)},
                             {"outerClass", optionalText(entry.outerClassName)},
                             {"simpleName", optionalText(entry.simpleName)},
                             {"accessFlags", entry.accessFlags}});
        }
    }
    out["innerClasses"] = std::move(inner);
    if (const VQJavaEnclosingMethodAttribute* enclosing = javaClass.enclosingMethod())
        out["enclosingMethod"] = {{"class", enclosing->className()},
                                  {"name", optionalText(enclosing->methodName())},
                                  {"descriptor", optionalText(enclosing->methodDescriptor())}};
    else
        out["enclosingMethod"] = nullptr;
    out["nestHost"] = optionalText(javaClass.nestHost());
    const VQJavaClassListAttribute* members = javaClass.nestMembers();
    out["nestMembers"] = members ? stringList(members->classNames()) : json(nullptr);
    const VQJavaClassListAttribute* permitted = javaClass.permittedSubclasses();
    out["permittedSubclasses"] = permitted ? stringList(permitted->classNames()) : json(nullptr);

    if (const std::vector<VQRecordComponent>* components = javaClass.recordComponents()) {
        json list = json::array();
        for (const VQRecordComponent& component : *components) {
            std::optional<VQSignatureType> type =
                VQParseTypeSignature(component.genericSignature().value_or(component.descriptor()));
            list.push_back({{"name", component.name()},
                            {"descriptor", component.descriptor()},
                            {"signature", optionalText(component.genericSignature())},
                            {"type", type ? json(type->javaText()) : json(component.descriptor())},
                            {"annotations", componentAnnotationsJson(component)}});
        }
        out["recordComponents"] = std::move(list);
    } else {
        out["recordComponents"] = nullptr;
    }
    out["module"] = moduleJson(javaClass);

    json fields = json::array();
    if (const auto& list = javaClass.fields())
        for (const auto& field : *list) fields.push_back(fieldJson(*field));
    out["fields"] = std::move(fields);
    // Constructors (and the static initializer) first, as description() lists them.
    json methods = json::array();
    if (const auto& list = javaClass.constructors())
        for (const auto& constructor : *list) {
            methods.push_back(methodJson(*constructor, true));
            if (options.code) addCodeJson(methods.back(), javaClass, *constructor);
        }
    if (const auto& list = javaClass.methods())
        for (const auto& method : *list) {
            methods.push_back(methodJson(*method, false));
            if (options.code) addCodeJson(methods.back(), javaClass, *method);
        }
    out["methods"] = std::move(methods);
    return out;
}

std::string classJsonLine(const VQJavaClass& javaClass, bool raw, const ClassJsonOptions& options) {
    std::string line =
        classJson(javaClass, options).dump(-1, ' ', !raw, json::error_handler_t::replace);
    line.push_back('\n');
    return line;
}

std::string missingJsonLine(const std::string& name, const std::string& reason, bool raw) {
    const json out{{"name", name}, {"error", reason}};
    std::string line = out.dump(-1, ' ', !raw, json::error_handler_t::replace);
    line.push_back('\n');
    return line;
}

}  // namespace ornith::tool
