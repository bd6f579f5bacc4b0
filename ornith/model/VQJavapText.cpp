#include "ornith/model/VQJavapText.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/model/VQBaseTypeText.h"
#include "ornith/model/VQJavapCode.h"
#include "ornith/model/VQJavapVerbose.h"

namespace ornith {

namespace {

constexpr uint32_t kAccessVarargs = 0x0080;
constexpr uint32_t kAccessStrict = 0x0800;

using LineWriter = VQJavapLineWriter;

void appendQuoted(std::string_view utf8, char quote, std::string& out) {
    out.push_back(quote);
    VQAppendEscapedText(utf8, out, VQEscapeStyle::javaLiteral, quote);
    out.push_back(quote);
}

// Everything one view of a class needs: the writer, the options, and the class file
// behind the class for what only its bytes tell (opened on first need).
struct View {
    LineWriter& w;
    const VQJavaClass& javaClass;
    const VQJavapOptions& options;
    VQJavapAccess access;
    VQJavapClassFile file;
    // The file's version, which says what its access flags may hold (0 when the class
    // keeps no bytes: read as the latest).
    uint16_t major = 0;
    uint16_t minor = 0;
    // Each method's Code block, laid out here first: one buffer for all of them.
    std::string codeText = {};
    // A method line's parameters and result, built here for every method.
    std::string parametersText = {};
    std::string resultText = {};
    VQMethodSignatureText signatureText = {};
    // The comments of the pool entries the class's instructions name, for all its methods.
    std::optional<VQJavapReferenceTexts> references = {};

    // The flags javap reads for a place, with its report of any others.
    uint32_t defined(uint32_t flags, VQJavapFlagPlace place) {
        return VQJavapDefinedFlags(w, flags, place, major, minor);
    }
};

// javap's -public, -protected, -package and -p: whether a member of these flags shows.
bool shown(uint32_t flags, VQJavapAccess access) {
    const bool isPublic = flags & kVQAccessPublic;
    const bool isProtected = flags & kVQAccessProtected;
    const bool isPrivate = flags & kVQAccessPrivate;
    switch (access) {
        case VQJavapAccess::publicOnly:
            return isPublic && !isProtected && !isPrivate;
        case VQJavapAccess::protectedOrMore:
            return (isPublic || isProtected) && !isPrivate;
        case VQJavapAccess::packageOrMore:
            return !isPrivate;
        case VQJavapAccess::all:
            break;
    }
    return true;
}

void printModifiers(LineWriter& w, uint32_t flags, bool isMethod) {
    struct Word {
        uint32_t bit;
        const char* text;
        bool field;
        bool method;
    };
    // In the order of the JDK's access-flag enumeration, which javap follows.
    static constexpr Word kWords[] = {
        {kVQAccessPublic, "public", true, true},
        {kVQAccessPrivate, "private", true, true},
        {kVQAccessProtected, "protected", true, true},
        {kVQAccessStatic, "static", true, true},
        {kVQAccessFinal, "final", true, true},
        {kVQAccessSynchronized, "synchronized", false, true},
        {kVQAccessVolatile, "volatile", true, false},
        {kVQAccessTransient, "transient", true, false},
        {kVQAccessNative, "native", false, true},
        {kVQAccessAbstract, "abstract", false, true},
        {kAccessStrict, "strictfp", false, true},
    };
    for (const Word& word : kWords) {
        if (!(flags & word.bit) || !(isMethod ? word.method : word.field)) continue;
        w.print(word.text);
        w.print(" ");
    }
}

void appendDotted(std::string_view text, std::string& out) {
    for (char c : text) out.push_back(c == '/' ? '.' : c);
}

// The layout's record of a member, matched by its place in its table; null when the class
// keeps no bytes that decode, or a hostile file's tables disagree with the model.
const VQLayoutMember* layoutMember(View& view, const VQJavaMember& member, bool isField) {
    const VQClassFileLayout* layout = view.file.layout();
    if (!layout) return nullptr;
    const auto members = isField ? layout->fields() : layout->methods();
    const uint32_t at = member.tablePosition();
    return at < members.size() ? &members[at] : nullptr;
}

// A string constant with a lone surrogate: the model holds U+FFFD in its place, so the
// units javap quotes are read again from the pool (only then: it is rare).
bool appendQuotedFromPool(View& view, const VQJavaField& field, std::string& out) {
    const VQLayoutMember* member = layoutMember(view, field, true);
    const VQConstantPoolEntries* pool = view.file.pool();
    const VQLayoutAttribute* attribute = member ? member->attribute("ConstantValue") : nullptr;
    if (!pool || !attribute || attribute->info.size() != 2) return false;
    std::u16string units;
    if (!pool->utf16(static_cast<uint32_t>(attribute->info[0] << 8 | attribute->info[1]), units))
        return false;
    out.push_back('"');
    for (char16_t unit : units) VQAppendEscapedUnit(unit, '"', out);
    out.push_back('"');
    return true;
}

void printConstant(View& view, const VQJavaField& field, const VQConstantValue& value) {
    std::string text;
    const auto& v = value.value();
    if (const auto* i = std::get_if<int32_t>(&v)) {
        if (field.signature() == "C") {
            text.push_back('\'');
            VQAppendEscapedUnit(static_cast<uint32_t>(*i) & 0xFFFF, '\'', text);
            text.push_back('\'');
        } else if (field.signature() == "Z")
            text = *i == 1 ? "true" : "false";
        else
            text = std::to_string(*i);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        if (s->find("\xEF\xBF\xBD") == std::string::npos ||
            !appendQuotedFromPool(view, field, text))
            appendQuoted(*s, '"', text);
    } else if (const auto* l = std::get_if<int64_t>(&v)) {
        text = std::to_string(*l) + "l";
    } else if (const auto* f = std::get_if<float>(&v)) {
        text = VQJavaFloatText(*f) + "f";
    } else if (const auto* d = std::get_if<double>(&v)) {
        text = VQJavaDoubleText(*d) + "d";
    }
    view.w.print(text);
}

void printField(View& view, const VQJavaField& field) {
    LineWriter& w = view.w;
    const VQJavapOptions& options = view.options;
    if (!shown(field.accessMask(), view.access)) return;
    printModifiers(w, view.defined(field.accessMask(), VQJavapFlagPlace::field), false);
    w.print(field.genericTypeText());
    w.print(" ");
    w.print(field.name());
    if (options.showConstants) {
        if (const VQConstantValue* value = field.initialValue()) {
            w.print(" = ");
            printConstant(view, field, *value);
        }
    }
    w.println(";");

    w.indent(+1);
    if (options.showDescriptors || options.verbose) {
        w.print("descriptor: ");
        w.println(field.signature());
    }
    if (options.verbose) {
        const VQLayoutMember* member = layoutMember(view, field, true);
        VQPrintJavapFlags(w, member ? member->accessFlags : field.accessMask(),
                          VQJavapFlagPlace::field, view.major, view.minor);
        if (member)
            VQPrintJavapAttributes(w, view.file, member->attributes, VQJavapPlace::field, 0,
                                   view.access, {});
    }
    w.indent(-1);
    if (options.verbose || options.disassemble || options.lineNumbers) w.println();
}

std::string typeListText(const std::vector<VQSignatureType>& types) {
    std::string out = "(";
    for (size_t i = 0; i < types.size(); ++i) {
        if (i) out.append(", ");
        types[i].appendJavaText(out);
    }
    out.push_back(')');
    return out;
}

// -v spells out a class bound of java.lang.Object, which the plain views leave out.
std::string typeParametersText(const std::vector<VQTypeParameter>& parameters, bool verbose) {
    if (!verbose) return VQTypeParametersText(parameters);
    std::string out;
    if (parameters.empty()) return out;
    out.push_back('<');
    for (size_t i = 0; i < parameters.size(); ++i) {
        const VQTypeParameter& parameter = parameters[i];
        if (i) out.append(", ");
        out.append(parameter.name);
        const char* separator = " extends ";
        if (parameter.classBound) {
            out.append(separator);
            parameter.classBound->appendJavaText(out);
            separator = " & ";
        }
        for (const VQSignatureType& bound : parameter.interfaceBounds) {
            out.append(separator);
            bound.appendJavaText(out);
            separator = " & ";
        }
    }
    out.push_back('>');
    return out;
}

// A plain descriptor's Java text, as the signature parse and appendDotted make it, with
// no tree of types between: "(int, java.lang.String[])" and the result. False for
// anything else (a void parameter, an empty name, signature syntax), which the parse
// then reads.
bool appendDescriptorText(std::string_view descriptor, std::string& parameters,
                          std::string& result) {
    size_t at = 0;
    auto type = [&](std::string& out, bool isResult) {
        size_t dimensions = 0;
        while (at < descriptor.size() && descriptor[at] == '[') ++dimensions, ++at;
        if (at >= descriptor.size() || dimensions > 255) return false;
        const char code = descriptor[at++];
        if (code == 'L') {
            const size_t end = descriptor.find(';', at);
            if (end == std::string_view::npos) return false;
            const std::string_view name = descriptor.substr(at, end - at);
            // Each '/'-separated part is an identifier of the signature grammar.
            if (name.empty() || name.front() == '/' || name.back() == '/' ||
                name.find("//") != std::string_view::npos ||
                name.find_first_of(".[<>:") != std::string_view::npos)
                return false;
            appendDottedName(name, out);
            at = end + 1;
        } else if (code == 'V') {
            if (!isResult || dimensions > 0) return false;
            out.append("void");
        } else {
            const std::string_view text = VQBaseTypeText(code);
            if (text.empty()) return false;
            out.append(text);
        }
        for (; dimensions > 0; --dimensions) out.append("[]");
        return true;
    };
    if (descriptor.empty() || descriptor[at++] != '(') return false;
    parameters.push_back('(');
    for (bool first = true; at < descriptor.size() && descriptor[at] != ')'; first = false) {
        if (!first) parameters.append(", ");
        if (!type(parameters, false)) return false;
    }
    if (at >= descriptor.size()) return false;
    ++at;
    parameters.push_back(')');
    return type(result, true) && at == descriptor.size();
}

void printMethodLine(View& view, const VQJavaMethod& method, bool isConstructor) {
    LineWriter& w = view.w;
    const VQJavaClass& javaClass = view.javaClass;
    const bool verbose = view.options.verbose;
    const uint32_t flags = method.accessMask();
    const bool isInitializer = isConstructor && method.isStatic();
    printModifiers(w, view.defined(flags, VQJavapFlagPlace::method), true);
    if (javaClass.isInterface() && !(flags & kVQAccessAbstract) && !isInitializer &&
        !(flags & (kVQAccessStatic | kVQAccessPrivate)))
        w.print("default ");

    // Most methods have no Signature attribute: their descriptor is read as it stands.
    std::string& parameters = view.parametersText;
    std::string& result = view.resultText;
    parameters.clear();
    result.clear();
    std::optional<VQMethodSignature> signature;
    // A generic method's signature is read into text as it stands, with no tree, when it
    // parses (the tree path below says what happens when it does not).
    const std::optional<std::string_view> generic = method.genericSignature();
    VQMethodSignatureText& generics = view.signatureText;
    const bool genericText = generic && VQMethodSignatureTextOf(*generic, verbose, generics);
    if (genericText) {
        parameters.swap(generics.parameters);
        result.swap(generics.result);
        if (!generics.typeParameters.empty()) {
            w.print(generics.typeParameters);
            w.print(" ");
        }
    } else if (generic || !appendDescriptorText(method.signature(), parameters, result)) {
        parameters.clear();
        result.clear();
        signature = method.methodSignature();
        if (!signature) {
            // Neither the signature nor the descriptor parses: the model's own text stands.
            std::string text;
            method.appendDescription(text);
            w.println(text + ";");
            return;
        }
        appendDotted(typeListText(signature->parameters), parameters);
        appendDotted(signature->result.javaText(), result);
        if (!signature->typeParameters.empty()) {
            w.print(typeParametersText(signature->typeParameters, verbose));
            w.print(" ");
        }
    }
    if (isInitializer) {
        w.print("{}");
    } else {
        if (flags & kAccessVarargs) {
            // javap marks the last "[]" of the whole list, wherever it stands.
            const size_t at = parameters.rfind("[]");
            if (at != std::string::npos && at > 0) parameters.replace(at, 2, "...");
        }
        if (isConstructor) {
            w.print(javaClass.className().value_or(""));
        } else {
            w.print(result);
            w.print(" ");
            w.print(method.name());
        }
        w.print(parameters);
    }
    if (const std::vector<std::string>* names = method.exceptions()) {
        w.print(" throws ");
        std::string text;
        if (genericText && !generics.exceptions.empty()) {
            text.swap(generics.exceptions);
        } else if (signature && !signature->exceptions.empty()) {
            for (size_t i = 0; i < signature->exceptions.size(); ++i) {
                if (i) text.append(", ");
                signature->exceptions[i].appendJavaText(text);
            }
        } else {
            for (size_t i = 0; i < names->size(); ++i) {
                if (i) text.append(", ");
                text.append((*names)[i]);
            }
        }
        w.print(text);
    }
    w.println(";");
}

struct CodeContext {
    View* view;
    const VQJavaMethod* method;
};

void printCodeAttribute(void* context, size_t, const VQLayoutAttribute&, VQJavapLineWriter& w) {
    const auto& code = *static_cast<const CodeContext*>(context);
    const VQJavapOptions& options = code.view->options;
    auto& references = code.view->references;
    if (!references)
        if (const VQConstantPoolEntries* pool = code.view->file.pool()) references.emplace(*pool);
    const VQJavapCodeOptions codeOptions{.instructions = true,
                                         .lines = options.lineNumbers || options.verbose,
                                         .verbose = options.verbose,
                                         .constants = options.showConstants,
                                         .references = references ? &*references : nullptr};
    // Straight into the output where nothing stands between; else laid out apart first.
    if (std::string* out = w.laidOutLines()) {
        const size_t start = out->size();
        VQAppendJavapCode(code.view->javaClass, *code.method, codeOptions, *out);
        if (out->size() > start && out->back() != '\n') out->push_back('\n');
        return;
    }
    std::string& text = code.view->codeText;
    text.clear();
    VQAppendJavapCode(code.view->javaClass, *code.method, codeOptions, text);
    w.printLines(text);
}

void printMethod(View& view, const VQJavaMethod& method, bool isConstructor) {
    LineWriter& w = view.w;
    const VQJavapOptions& options = view.options;
    if (!shown(method.accessMask(), view.access)) return;
    printMethodLine(view, method, isConstructor);

    w.indent(+1);
    if (options.showDescriptors || options.verbose) {
        w.print("descriptor: ");
        w.println(method.signature());
    }
    const VQLayoutMember* member = nullptr;
    if (options.verbose || options.disassemble) member = layoutMember(view, method, false);
    CodeContext context{&view, &method};
    if (options.verbose) {
        VQPrintJavapFlags(w, member ? member->accessFlags : method.accessMask(),
                          VQJavapFlagPlace::method, view.major, view.minor);
        if (member)
            VQPrintJavapAttributes(w, view.file, member->attributes, VQJavapPlace::method,
                                   method.tablePosition(), view.access,
                                   {&printCodeAttribute, &context});
    } else if (options.disassemble && member && member->attribute("Code")) {
        printCodeAttribute(&context, method.tablePosition(), *member->attribute("Code"), w);
    }
    w.indent(-1);
    // A blank line before the next method, when anything was written under this one.
    w.setPendingNewline(options.disassemble || options.verbose || options.showDescriptors ||
                        options.lineNumbers);
}

// A directive and the names it lists, one a line after the first ("exports p to\n  a,\n
// b;"); just the head when the list is empty.
void printDirective(LineWriter& w, std::string_view head, const char* joiner,
                    const std::vector<std::string>& names) {
    w.print(head);
    bool first = true;
    for (const std::string& name : names) {
        if (first) {
            w.println(joiner);
            w.indent(+1);
            first = false;
        } else {
            w.println(",");
        }
        w.print(name);
    }
    w.println(";");
    if (!first) w.indent(-1);
}

void printDirectives(LineWriter& w, const VQJavaModuleAttribute& module) {
    for (const VQModuleRequires& entry : module.requiresDirectives()) {
        w.print("requires");
        if (entry.flags & kVQRequiresStaticPhase) w.print(" static");
        if (entry.flags & kVQRequiresTransitive) w.print(" transitive");
        w.print(" ");
        w.print(entry.module);
        w.println(";");
    }
    for (const VQModulePackageDirective& directive : module.exports())
        printDirective(w, "exports " + directive.package, " to", directive.to);
    for (const VQModulePackageDirective& directive : module.opens())
        printDirective(w, "opens " + directive.package, " to", directive.to);
    for (const std::string& service : module.uses()) {
        w.print("uses ");
        w.print(service);
        w.println(";");
    }
    for (const VQModuleProvides& provides : module.provides())
        printDirective(w, "provides  " + provides.service, " with", provides.with);
}

// The header's generic text, as the model's genericText() gives it; -v spells out
// extends java.lang.Object and every Object bound. False when the class has no signature
// that parses.
bool printGenericText(LineWriter& w, const VQJavaClass& javaClass, bool verbose) {
    std::optional<VQClassSignature> signature = javaClass.classSignature();
    if (!signature) return false;
    std::string text(javaClass.className().value_or(std::string_view()));
    text.append(typeParametersText(signature->typeParameters, verbose));
    const char* separator = " extends ";
    if (!javaClass.isInterface()) {
        if (verbose || !signature->superclass.isObject()) {
            text.append(separator);
            signature->superclass.appendJavaText(text);
        }
        separator = " implements ";
    }
    for (const VQSignatureType& type : signature->interfaces) {
        text.append(separator);
        type.appendJavaText(text);
        separator = ", ";
    }
    w.print(text);
    return true;
}

void printHeader(View& view) {
    LineWriter& w = view.w;
    const VQJavaClass& javaClass = view.javaClass;
    const bool verbose = view.options.verbose;
    const uint32_t flags = view.defined(javaClass.accessFlags(), VQJavapFlagPlace::classFile);
    if (flags & kVQAccessPublic) w.print("public ");
    if (flags & kVQAccessFinal) w.print("final ");
    if ((flags & kVQAccessAbstract) && !javaClass.isInterface()) w.print("abstract ");

    const std::string name(javaClass.className().value_or(std::string_view()));
    if (javaClass.isModule()) {
        if (const VQJavaModuleAttribute* module = javaClass.moduleDescriptor()) {
            if (module->isOpen()) w.print("open ");
            w.print("module ");
            w.print(module->moduleName());
            if (module->version()) {
                w.print("@");
                w.print(*module->version());
            }
            return;
        }
        w.print("class ");
        w.print(name);
        return;
    }
    w.print(javaClass.isInterface() ? "interface " : "class ");
    if (printGenericText(w, javaClass, verbose)) return;
    w.print(name);
    // Without a signature javap joins the interfaces with a bare comma.
    if (!javaClass.isInterface() && javaClass.superclassName() &&
        *javaClass.superclassName() != "java.lang.Object") {
        w.print(" extends ");
        w.print(*javaClass.superclassName());
    }
    if (const auto& interfaces = javaClass.interfaces()) {
        for (size_t i = 0; i < interfaces->size(); ++i) {
            w.print(i ? "," : javaClass.isInterface() ? " extends " : " implements ");
            w.print((*interfaces)[i]);
        }
    }
}

// javap's date: the default locale's medium form ("Dec 9, 2026") in the local time zone.
std::string dateText(int64_t seconds) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t time = static_cast<time_t>(seconds);
    struct tm parts {};
    if (!localtime_r(&time, &parts)) return std::to_string(seconds);
    return std::string(kMonths[parts.tm_mon % 12]) + " " + std::to_string(parts.tm_mday) + ", " +
           std::to_string(parts.tm_year + 1900);
}

void printFileLines(LineWriter& w, const VQJavapFileInfo& file) {
    if (!file.location.empty()) w.println("Classfile " + file.location);
    w.indent(+1);
    const std::string size = std::to_string(file.size);
    if (file.lastModified) {
        if (file.size > 0)
            w.println("Last modified " + dateText(*file.lastModified) + "; size " + size +
                      " bytes");
        else
            w.println("Last modified " + dateText(*file.lastModified));
    } else if (file.size > 0) {
        w.println("Size " + size + " bytes");
    }
    if (!file.sha256.empty()) w.println("SHA-256 checksum " + file.sha256);
    w.indent(-1);
}

}  // namespace

std::string VQJavapQuotedString(std::string_view utf8) {
    std::string out;
    appendQuoted(utf8, '"', out);
    return out;
}

std::string VQJavapText(const VQJavaClass& javaClass, const VQJavapOptions& options) {
    std::string out;
    VQAppendJavapText(out, javaClass, options);
    return out;
}

void VQAppendJavapText(std::string& out, const VQJavaClass& javaClass,
                       const VQJavapOptions& options) {
    LineWriter w(out, options.filter, 0, options.filterKeepsPlainAscii);
    View view{w, javaClass, options, options.showPrivate ? VQJavapAccess::all : options.access,
              VQJavapClassFile(javaClass)};
    if (const auto bytes = javaClass.classFileBytes(); bytes.size() >= 8) {
        view.minor = VQLoadBE16(bytes.data() + 4);
        view.major = VQLoadBE16(bytes.data() + 6);
    }
    const bool fileLines = options.sysInfo || options.verbose;
    if (fileLines && options.file) printFileLines(w, *options.file);
    if (fileLines) w.indent(+1);
    if (const std::string* source = javaClass.sourceFile())
        w.println("Compiled from \"" + *source + "\"");
    if (fileLines) w.indent(-1);
    printHeader(view);
    if (options.verbose) {
        w.println();
        VQPrintJavapClassSummary(w, view.file);
    } else {
        w.print(" ");
    }
    w.println("{");
    w.indent(+1);
    if (javaClass.isModule() && !options.verbose)
        if (const VQJavaModuleAttribute* module = javaClass.moduleDescriptor())
            printDirectives(w, *module);
    if (const auto& fields = javaClass.fields())
        for (const auto* field : fields->items()) printField(view, *field);

    // Methods and constructors are kept apart by the model; javap lists them in file order.
    struct Entry {
        const VQJavaMethod* method;
        bool isConstructor;
    };
    std::vector<Entry> entries;
    if (const auto& methods = javaClass.methods())
        for (const auto* method : methods->items()) entries.push_back({method, false});
    if (const auto& constructors = javaClass.constructors())
        for (const auto* constructor : constructors->items())
            entries.push_back({constructor, true});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.method->tablePosition() < b.method->tablePosition();
    });
    for (const Entry& entry : entries) printMethod(view, *entry.method, entry.isConstructor);
    w.setPendingNewline(false);
    w.indent(-1);
    w.println("}");
    if (options.verbose) {
        if (const VQClassFileLayout* layout = view.file.layout())
            VQPrintJavapAttributes(w, view.file, layout->attributes(), VQJavapPlace::classFile, 0,
                                   view.access, {});
    }
}

}  // namespace ornith
