#include "ornith/library/VQDependencies.h"

#include <algorithm>
#include <exception>

#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQModuleAttributes.h"
#include "ornith/classfile/VQSignatureAttribute.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith {

namespace {

constexpr int32_t kAccModule = 0x8000;

}  // namespace

// The walk's builder: every member's descriptor and the attributes that name classes.
struct VQDependencyScanner::Walker {
    VQDependencyScanner& scanner;

    void setClassAccess(int32_t flags) { scanner._result.access = flags; }
    void setClassName(std::string_view name) {
        scanner._result.className.assign(name);
        scanner._result.isModuleInfo =
            (scanner._result.access & kAccModule) != 0 || name == "module-info";
    }
    void setSuperClassName(std::optional<std::string_view> name) {
        if (name) addDotted(*name);
    }
    void addInterfaceName(std::string_view name) { addDotted(name); }
    void addFieldName(std::string_view, std::string_view descriptor, int32_t,
                      VQLentAttributes attributes) {
        scanner.addDescriptor(descriptor);
        addAttributes(attributes);
    }
    void addMethodName(std::string_view, std::string_view descriptor, int32_t,
                       VQLentAttributes attributes) {
        scanner.addDescriptor(descriptor);
        addAttributes(attributes);
    }
    void addConstructorName(std::string_view, std::string_view descriptor, int32_t,
                            VQLentAttributes attributes) {
        scanner.addDescriptor(descriptor);
        addAttributes(attributes);
    }
    void setClassAttributes(VQLentAttributes attributes) { addAttributes(attributes); }

    // A dotted name as the walk gives it: add() keeps names dotted either way.
    void addDotted(std::string_view name) { scanner.add(name); }
    void addAnnotations(const VQAnnotationList& annotations) {
        for (const VQAnnotation& annotation : annotations)
            scanner.addDescriptor(annotation.typeDescriptor());
    }
    void addAttributes(VQLentAttributes attributes) {
        if (!attributes) return;
        for (const auto& attribute : *attributes) {
            if (!attribute) continue;
            if (const auto* signature =
                    dynamic_cast<const VQJavaSignatureAttribute*>(attribute.get())) {
                scanner.addSignature(signature->signature());
            } else if (const auto* annotations =
                           dynamic_cast<const VQJavaAnnotationsAttribute*>(attribute.get())) {
                if (annotations->isVisible()) addAnnotations(annotations->annotations());
            } else if (const auto* parameters =
                           dynamic_cast<const VQJavaParameterAnnotationsAttribute*>(
                               attribute.get())) {
                if (parameters->isVisible())
                    for (const VQAnnotationList& list : parameters->parameterAnnotations())
                        addAnnotations(list);
            } else if (const auto* exceptions =
                           dynamic_cast<const VQJavaExceptionsAttribute*>(attribute.get())) {
                for (const std::string& name : exceptions->exceptionTable()) addDotted(name);
            }
        }
    }
};

VQDependencyScanner::VQDependencyScanner() noexcept : VQDependencyScanner(Options{}) {}
VQDependencyScanner::VQDependencyScanner(Options options) noexcept : _options(options) {}
VQDependencyScanner::~VQDependencyScanner() = default;

void VQDependencyScanner::add(std::string_view internalName) {
    if (internalName.empty()) return;
    if (_used == _names.size()) _names.emplace_back();
    std::string& name = _names[_used++];
    name.assign(internalName);
    std::replace(name.begin(), name.end(), '/', '.');
}

bool VQDependencyScanner::addFieldType(std::string_view text, size_t& at) {
    while (at < text.size() && text[at] == '[') ++at;
    if (at >= text.size()) return false;
    const char c = text[at++];
    if (c != 'L') return std::string_view("BCDFIJSZ").find(c) != std::string_view::npos;
    const size_t end = text.find(';', at);
    if (end == std::string_view::npos || end == at) return false;
    add(text.substr(at, end - at));
    at = end + 1;
    return true;
}

bool VQDependencyScanner::addDescriptor(std::string_view descriptor) {
    size_t at = 0;
    if (descriptor.empty()) return false;
    if (descriptor[0] != '(') return addFieldType(descriptor, at) && at == descriptor.size();
    ++at;
    while (at < descriptor.size() && descriptor[at] != ')')
        if (!addFieldType(descriptor, at)) return false;
    if (at >= descriptor.size()) return false;
    ++at;
    if (at < descriptor.size() && descriptor[at] == 'V') return at + 1 == descriptor.size();
    return addFieldType(descriptor, at) && at == descriptor.size();
}

// A reference type of a signature at `at`: a class type (its outer types, its own name
// and its type arguments), a type variable or an array; a base type is accepted only as
// an array's element, which the caller allows by reading the '[' itself.
bool VQDependencyScanner::addReferenceSignature(std::string_view text, size_t& at) {
    if (at >= text.size()) return false;
    const char c = text[at];
    if (c == '[') {
        ++at;
        if (at < text.size() &&
            std::string_view("BCDFIJSZ").find(text[at]) != std::string_view::npos) {
            ++at;
            return true;
        }
        return addReferenceSignature(text, at);
    }
    if (c == 'T') {
        const size_t end = text.find(';', at);
        if (end == std::string_view::npos) return false;
        at = end + 1;
        return true;
    }
    if (c != 'L') return false;
    ++at;
    std::string name;
    for (;;) {
        const size_t start = at;
        while (at < text.size() && text[at] != ';' && text[at] != '<' && text[at] != '.') ++at;
        if (at >= text.size() || at == start) return false;
        name.append(text.substr(start, at - start));
        if (text[at] == '<') {
            ++at;
            while (at < text.size() && text[at] != '>') {
                if (text[at] == '*') {
                    ++at;
                    continue;
                }
                if (text[at] == '+' || text[at] == '-') ++at;
                if (!addReferenceSignature(text, at)) return false;
            }
            if (at >= text.size()) return false;
            ++at;
        }
        if (at >= text.size()) return false;
        if (text[at] == ';') {
            ++at;
            add(name);
            return true;
        }
        if (text[at] != '.') return false;
        // An inner class of a parameterized outer one: the outer is a reference too.
        add(name);
        name.push_back('$');
        ++at;
    }
}

bool VQDependencyScanner::addTypeParameters(std::string_view text, size_t& at) {
    if (at >= text.size() || text[at] != '<') return true;
    ++at;
    while (at < text.size() && text[at] != '>') {
        const size_t colon = text.find(':', at);
        if (colon == std::string_view::npos || colon == at) return false;
        at = colon + 1;
        // The class bound may be empty; interface bounds follow, each after a ':'.
        if (at < text.size() && text[at] != ':' && !addReferenceSignature(text, at)) return false;
        while (at < text.size() && text[at] == ':') {
            ++at;
            if (!addReferenceSignature(text, at)) return false;
        }
    }
    if (at >= text.size()) return false;
    ++at;
    return true;
}

bool VQDependencyScanner::addSignature(std::string_view signature) {
    size_t at = 0;
    if (!addTypeParameters(signature, at)) return false;
    if (at < signature.size() && signature[at] == '(') {
        ++at;
        while (at < signature.size() && signature[at] != ')') {
            if (std::string_view("BCDFIJSZ").find(signature[at]) != std::string_view::npos)
                ++at;
            else if (!addReferenceSignature(signature, at))
                return false;
        }
        if (at >= signature.size()) return false;
        ++at;
        if (at >= signature.size()) return false;
        if (std::string_view("BCDFIJSZV").find(signature[at]) != std::string_view::npos)
            ++at;
        else if (!addReferenceSignature(signature, at))
            return false;
        while (at < signature.size() && signature[at] == '^') {
            ++at;
            if (!addReferenceSignature(signature, at)) return false;
        }
        return at == signature.size();
    }
    // A class signature (super class, then interfaces) or a field's type.
    if (at >= signature.size()) return false;
    while (at < signature.size())
        if (!addReferenceSignature(signature, at)) return false;
    return true;
}

void VQDependencyScanner::finish() {
    auto first = _names.begin();
    auto last = first + static_cast<std::ptrdiff_t>(_used);
    std::sort(first, last);
    last = std::unique(first, last);
    // The class itself is no dependency of its own.
    const auto self = std::lower_bound(first, last, _result.className);
    if (self != last && *self == _result.className) {
        std::rotate(self, self + 1, last);
        --last;
    }
    // data(), not *begin(): an empty list has no first element to refer to.
    _result.referencedClasses =
        std::span<const std::string>(_names.data(), static_cast<size_t>(last - first));
}

const VQClassReferences& VQDependencyScanner::scanClassData(std::span<const uint8_t> data) {
    _used = 0;
    _result.className.clear();
    _result.access = 0;
    _result.isModuleInfo = false;
    _result.failure.reset();
    try {
        if (data.size() > kVQMaxDataLength)
            throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile);
        VQByteStream stream{data.data(), 0, static_cast<uint32_t>(data.size())};
        const parsing::LentListReset reset(_context.attributes);
        VQConstantPoolHandle pool = parsing::openClassFile(stream, _context);
        const VQPoolReader reader(*pool);
        for (int32_t i = 1; i < pool->count; ++i) {
            const VQPoolResult<int> tag = reader.tag(i);
            if (!tag) continue;
            if (*tag == kVQConstantClass) {
                const VQPoolResult<const uint8_t*> body = reader.entry(i, kVQConstantClass, 2);
                if (!body) continue;
                const VQPoolResult<std::string_view> name =
                    reader.textView(VQLoadBE16(*body), _scratch);
                if (!name || name->empty()) continue;
                if ((*name)[0] == '[') {
                    addDescriptor(*name);
                } else {
                    add(*name);
                }
            } else if (*tag == kVQConstantNameAndType ||
                       (*tag == kVQConstantMethodType && _options.methodTypes)) {
                const bool nameAndType = *tag == kVQConstantNameAndType;
                const VQPoolResult<const uint8_t*> body =
                    reader.entry(i, *tag, nameAndType ? 4 : 2);
                if (!body) continue;
                const VQPoolResult<std::string_view> descriptor =
                    reader.textView(VQLoadBE16(*body + (nameAndType ? 2 : 0)), _scratch);
                if (descriptor) addDescriptor(*descriptor);
            }
        }
        Walker walker{*this};
        parsing::walkClassFile(stream, *pool, _context, walker);
    } catch (const std::exception& e) {
        _result.failure = e.what();
    }
    finish();
    return _result;
}

std::string_view VQPackageOfClassName(std::string_view className) noexcept {
    const size_t dot = className.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : className.substr(0, dot);
}

// ---- Resolution ----------------------------------------------------------------------

VQDependencyResolver::VQDependencyResolver(std::shared_ptr<VQClassLibrary> library)
    : _library(std::move(library)) {}
VQDependencyResolver::~VQDependencyResolver() = default;

const VQClassSupplier& VQDependencyResolver::supplierOf(std::string_view className) {
    if (const auto found = _suppliers.find(className); found != _suppliers.end())
        return found->second;
    VQClassSupplier supplier;
    if (_library) {
        for (const auto& store : _library->classStores()) {
            if (!store->containsClassName(className)) continue;
            supplier.store = store.get();
            if (const auto* image = dynamic_cast<const VQRuntimeImageStore*>(store.get()))
                supplier.module = image->moduleNameForClassName(className);
            break;
        }
    }
    return _suppliers.emplace(std::string(className), std::move(supplier)).first->second;
}

namespace {

// Keeps the Module attribute of a module-info class.
struct ModuleFinder {
    std::shared_ptr<const VQJavaModuleAttribute> module;
    void setClassAttributes(std::optional<VQAttributeList> attributes) {
        if (!attributes) return;
        for (auto& attribute : *attributes)
            if (auto found = std::dynamic_pointer_cast<const VQJavaModuleAttribute>(attribute))
                module = std::move(found);
    }
};

}  // namespace

const VQDependencyResolver::ModuleFacts& VQDependencyResolver::factsOf(const VQClassStore& store,
                                                                       std::string_view module) {
    auto known = _modules.find(module);
    if (known != _modules.end()) return known->second;
    ModuleFacts facts;
    if (const auto* image = dynamic_cast<const VQRuntimeImageStore*>(&store)) {
        const std::string resource = "/" + std::string(module) + "/module-info.class";
        if (const auto data = image->dataForResourceName(resource)) {
            ModuleFinder finder;
            try {
                VQParseClassFile(*data, finder);
            } catch (const std::exception&) {
                finder.module.reset();  // an unreadable module exports and requires nothing
            }
            if (finder.module) {
                for (const VQModulePackageDirective& exported : finder.module->exports())
                    if (exported.to.empty()) facts.exports.insert(exported.package);
                for (const VQModuleRequires& required : finder.module->requiresDirectives())
                    if (required.flags & kVQRequiresTransitive)
                        facts.transitive.push_back(required.module);
            }
        }
    }
    return _modules.emplace(std::string(module), std::move(facts)).first->second;
}

bool VQDependencyResolver::isExported(const VQClassStore& store, std::string_view module,
                                      std::string_view package) {
    const ModuleFacts& facts = factsOf(store, module);
    return facts.exports.find(package) != facts.exports.end();
}

const std::vector<std::string>& VQDependencyResolver::transitiveRequires(const VQClassStore& store,
                                                                         std::string_view module) {
    return factsOf(store, module).transitive;
}

}  // namespace ornith
