// `ornith describe [-cp PATH] NAME...` and `ornith describe [-cp PATH] --all`: prints the
// declaration of each class, one after another. `--format javap` with javap's options (-c,
// -l, -s, -v, -sysinfo, -p, -package, -protected, -public, -constants) prints each as JDK
// 25's javap does, `--format json` each as one JSON object per line. Text from the class
// files is escaped for the terminal unless --raw is given.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "JsonFormat.h"
#include "SafeText.h"
#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolDescribe.h"
#include "ToolEntryReasons.h"
#include "ToolJavapFile.h"
#include "ToolListing.h"
#include "ToolNames.h"
#include "ToolParallel.h"
#include "ToolProgress.h"
#include "ToolReport.h"
#include "ToolSuggestions.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapText.h"

namespace ornith::tool {

namespace {

// A NAME that names an existing regular file is a class file; anything else a class name.
bool namesAFile(const std::string& name) {
    return VQIsRegularFile(name);
}

// description() with the text from the class file escaped piece by piece, so that the line
// breaks between members stay line breaks. Written a line at a time: a class of thousands
// of members never has its whole text in memory, let alone a raw and an escaped copy.
class SafeDescriptionWriter {
public:
    void write(const VQJavaClass& javaClass) {
        _raw.clear();
        javaClass.appendDeclarationHeader(_raw);
        _line.clear();
        appendSafeText(_raw, _line);
        _line.append("\n{\n");
        flush();
        writeMembers(javaClass.fields());
        writeMembers(javaClass.constructors());
        writeMembers(javaClass.methods());
        _line.assign("}\n");
        flush();
    }

private:
    template <class List>
    void writeMembers(const std::optional<List>& list) {
        if (!list) return;
        for (const auto* member : list->items()) {
            _raw.clear();
            member->appendDescription(_raw);
            _line.assign("    ");
            appendSafeText(_raw, _line);
            _line.append(";\n");
            flush();
        }
    }
    void flush() { writeOutput(_line); }

    std::string _raw;
    std::string _line;
};

VQJavapAccess javapAccess(const DescribeOptions& options) {
    if (options.showPrivate) return VQJavapAccess::all;
    if (options.showPublic) return VQJavapAccess::publicOnly;
    if (options.showProtected) return VQJavapAccess::protectedOrMore;
    return VQJavapAccess::packageOrMore;
}

// Where the class came from: a file named on the command line (no library), else the
// library's class `className`.
struct Origin {
    const std::string& name;
    ToolLibrary* found;
    const std::string* className;
};

void print(const VQJavaClass& javaClass, const DescribeOptions& options, const Origin& origin) {
    std::string text;
    if (options.format == "json") {
        ClassJsonOptions json;
        std::optional<std::string> entry;
        if (!origin.found)
            entry = origin.name;
        else if (origin.className)
            entry = origin.found->library->classStoreNameForClassWithName(*origin.className);
        json.classPathEntry = entry ? &*entry : nullptr;
        json.code = options.code;
        text = classJsonLine(javaClass, options.raw, json);
    } else if (options.format == "javap") {
        VQJavapOptions javap;
        javap.access = javapAccess(options);
        javap.showConstants = options.showConstants;
        javap.showDescriptors = options.descriptors;
        javap.disassemble = options.disassemble;
        javap.lineNumbers = options.lineNumbers;
        javap.verbose = options.verbose;
        javap.sysInfo = options.sysInfo;
        VQJavapFileInfo file;
        if (options.verbose || options.sysInfo) {
            const std::span<const uint8_t> bytes = javaClass.classFileBytes();
            if (!origin.found)
                file = javapFileInfoForFile(origin.name, bytes);
            else if (origin.className)
                file = javapFileInfoForClass(*origin.found->library, *origin.className, bytes);
            javap.file = &file;
        }
        if (!options.raw) {
            javap.filter = &appendSafeText;
            javap.filterKeepsPlainAscii = true;
        }
        writeBuiltOutput([&](std::string& out) { VQAppendJavapText(out, javaClass, javap); });
        return;
    } else if (options.raw) {
        text = javaClass.description();
        text.push_back('\n');
    } else {
        SafeDescriptionWriter().write(javaClass);
        return;
    }
    writeOutput(text);
}

// JSON keeps a stream in step with its input: a name that gives no class still writes
// its line.
void printMissing(const std::string& name, const std::string& reason,
                  const DescribeOptions& options) {
    if (options.format != "json") return;
    writeOutput(missingJsonLine(name, reason, options.raw));
}

// Describes one class, a file when there is no library; false (after reporting why)
// when it cannot be. A listed name is a binary name from the library's own listing, so
// there is nothing to resolve.
bool describeOne(const std::string& name, ToolLibrary* found, const DescribeOptions& options,
                 bool listed = false) {
    try {
        std::shared_ptr<VQJavaClass> javaClass;
        std::optional<std::string> className;
        bool failedRead = false;
        if (!found) {
            javaClass = VQJavaClass::classWithContentsOfFile(name);
        } else if ((className = listed ? std::optional(name) : findClassName(*found, name))) {
            javaClass = readableClass(*found, *className, &failedRead);
        }
        if (!javaClass) {
            // A copy that could not be read has been reported as what it is.
            if (failedRead) {
                printMissing(name, "unreadable", options);
                return false;
            }
            if (found)
                reportNotFound(*found, name);
            else
                reportFailure(name, "not found");
            printMissing(name, "not found", options);
            return false;
        }
        print(*javaClass, options, {name, found, className ? &*className : nullptr});
        return true;
    } catch (const VQException& e) {
        // A file the library could not read: the system says why.
        std::optional<std::string> reason;
        if (!found && e.kind() == VQErrorKind::unreadableFile) reason = unopenableFileReason(name);
        reportFailure(name, reason ? *reason : e.reason());
        printMissing(name, reason ? *reason : e.reason(), options);
    } catch (const std::exception& e) {
        reportFailure(name, e.what());
        printMissing(name, e.what(), options);
    }
    return false;
}

}  // namespace

int runDescribe(const DescribeOptions& options) {
    // The class path is read only when some NAME needs it.
    ToolLibrary found;
    if (options.all)
        found = classLibraryForListings(options.classPath);
    else if (!std::all_of(options.names.begin(), options.names.end(), namesAFile))
        found = classLibraryForLookups(options.classPath);

    int status = 0;
    if (options.all) {
        // A listing over an unusable entry is incomplete.
        if (found.unusableEntry) status = 1;
        SortedClassNames names = sortedClassNamesBelow(
            *found.library->packageWithName(std::string_view()), options.classPath.jobs);
        ProgressLine progress("describing");
        // One class at a time on each worker: each is dropped once printed. The names are
        // only read while the workers run.
        const auto describeAt = [&](ToolLibrary& library, size_t i) {
            return describeOne(names.nameAt(i), &library, options, true);
        };
        if (!runItemsInOrder(
                found, names.size(), options.classPath.jobs, describeAt,
                [&](size_t i) { progress.step(names.nameAt(i), i + 1, names.size()); }))
            status = 1;
        return status;
    }
    for (const std::string& name : options.names)
        if (!describeOne(name, namesAFile(name) ? nullptr : &found, options)) status = 1;
    return status;
}

void addJavapOptions(CLI::App* command, DescribeOptions& options) {
    command->add_flag("-p", options.showPrivate, "javap format: show all members (also -private)");
    command->add_flag("--package", options.showPackage,
                      "javap format: show package, protected and public members (the default; "
                      "also -package)");
    command->add_flag("--protected", options.showProtected,
                      "javap format: show protected and public members only (also -protected)");
    command->add_flag("--public", options.showPublic,
                      "javap format: show public members only (also -public)");
    command->add_flag("--constants", options.showConstants,
                      "javap format: show the values of constant fields (also -constants)");
    command->add_flag("-c", options.disassemble, "javap format: print each method's code");
    command->add_flag("-l", options.lineNumbers,
                      "javap format: with -c, the line number and local variable tables");
    command->add_flag("-s", options.descriptors, "javap format: print internal type signatures");
    command->add_flag("-v", options.verbose,
                      "javap format: print everything: the constant pool, flags and attributes "
                      "(also -verbose)");
    command->add_flag("--sysinfo", options.sysInfo,
                      "javap format: print the class file's path, date, size and SHA-256 "
                      "(also -sysinfo)");
}

void checkJavapOptions(const CLI::App* command, const DescribeOptions& options) {
    std::string given;
    const std::pair<bool, const char*> levels[] = {{options.showPrivate, "-p"},
                                                   {options.showPackage, "-package"},
                                                   {options.showProtected, "-protected"},
                                                   {options.showPublic, "-public"}};
    int count = 0;
    for (const auto& [set, name] : levels) {
        if (!set) continue;
        given += count++ ? " and " : "";
        given += name;
    }
    if (count > 1)
        throw UsageError(command->get_name() + ": " + given +
                         " cannot be combined (choose one access level)");
}

namespace {

void addDescribeCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<DescribeOptions>();
    CLI::App* command = app.add_subcommand("describe", "Print the declaration of each class");
    command->add_option("NAME", options->names,
                        "A class name (java.lang.String, java/lang/String, "
                        "java.util.Map.Entry), or a path to a .class file");
    command->add_flag("--all", options->all,
                      "Describe every class on the class path, sorted by name");
    command->add_option("--format", options->format, "Output format: text, javap or json")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check([](const std::string& value) {
            return value == "text" || value == "javap" || value == "json"
                       ? std::string()
                       : "'" + value + "' is not a format (text, javap or json)";
        });
    addJavapOptions(command, *options);
    command->add_flag("--raw", options->raw,
                      "Write text from class files unchanged (no escaping of control characters)");
    command->add_flag("--code", options->code,
                      "json format: each method's code, exception table, line numbers and "
                      "local variables");
    addClassPathOptions(command, options->classPath);
    addJobsOption(command, options->classPath);
    command->allow_extras();
    command->callback([options, command, &runner] {
        if (options->code && options->format != "json")
            throw UsageError("describe: --code needs --format json");
        if (options->names.empty() && !options->all)
            throw UsageError("describe: no NAME given (nor --all)");
        if (!options->names.empty() && options->all)
            throw UsageError("describe: --all takes no NAME");
        checkJavapOptions(command, *options);
        runner = [options] { return runDescribe(*options); };
    });
}

}  // namespace

static bool registered = registerToolCommand({10, &addDescribeCommand});

}  // namespace ornith::tool
