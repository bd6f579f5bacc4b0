#pragma once
// The attributes of a module-info class: Module (the module declaration), ModulePackages
// (every package of the module) and ModuleMainClass.
//
// Package and class names are dotted (java.lang); module names are kept as written.
// Every count is checked against the bytes the attribute has before anything is made
// for it; a cut-short attribute raises "Truncated java .class file", an index naming the
// wrong kind of entry "bad constant pool index %d".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

// Flags of a module and of its directives (module_flags, requires_flags, ...).
enum : uint32_t {
    kVQModuleOpen = 0x0020,
    kVQRequiresTransitive = 0x0020,
    kVQRequiresStaticPhase = 0x0040,
    kVQModuleSynthetic = 0x1000,
    kVQModuleMandated = 0x8000,
};

struct VQModuleRequires {
    std::string module;
    uint32_t flags = 0;
    std::optional<std::string> version;
};

// An exports or opens directive; `to` is empty for an unqualified one.
struct VQModulePackageDirective {
    std::string package;
    uint32_t flags = 0;
    std::vector<std::string> to;
};

struct VQModuleProvides {
    std::string service;
    std::vector<std::string> with;
};

class VQJavaModuleAttribute : public VQJavaAttribute {
public:
    VQJavaModuleAttribute(const std::string& name, VQByteStream& stream,
                          const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaModuleAttribute"; }

    const std::string& moduleName() const noexcept { return _moduleName; }
    uint32_t moduleFlags() const noexcept { return _moduleFlags; }
    bool isOpen() const noexcept { return _moduleFlags & kVQModuleOpen; }
    const std::optional<std::string>& version() const noexcept { return _version; }
    const std::vector<VQModuleRequires>& requiresDirectives() const noexcept { return _requires; }
    const std::vector<VQModulePackageDirective>& exports() const noexcept { return _exports; }
    const std::vector<VQModulePackageDirective>& opens() const noexcept { return _opens; }
    const std::vector<std::string>& uses() const noexcept { return _uses; }
    const std::vector<VQModuleProvides>& provides() const noexcept { return _provides; }

private:
    std::string _moduleName;
    uint32_t _moduleFlags = 0;
    std::optional<std::string> _version;
    std::vector<VQModuleRequires> _requires;
    std::vector<VQModulePackageDirective> _exports;
    std::vector<VQModulePackageDirective> _opens;
    std::vector<std::string> _uses;
    std::vector<VQModuleProvides> _provides;
};

class VQJavaModulePackagesAttribute : public VQJavaAttribute {
public:
    VQJavaModulePackagesAttribute(const std::string& name, VQByteStream& stream,
                                  const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaModulePackagesAttribute"; }
    const std::vector<std::string>& packages() const noexcept { return _packages; }

private:
    std::vector<std::string> _packages;
};

class VQJavaModuleMainClassAttribute : public VQJavaAttribute {
public:
    VQJavaModuleMainClassAttribute(const std::string& name, VQByteStream& stream,
                                   const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaModuleMainClassAttribute"; }
    const std::string& mainClass() const noexcept { return _mainClass; }

private:
    std::string _mainClass;
};

}  // namespace ornith
