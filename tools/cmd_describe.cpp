// `ornith describe [-cp PATH] NAME...` and `ornith describe [-cp PATH] --all`: prints the
// declaration of each class, one after another. `--format javap [-p] [--constants]` prints
// each as JDK 25's javap does, `--format json` each as one JSON object per line. Text from the
// class files is escaped for the terminal unless --raw is given.

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
#include "ToolEntryReasons.h"
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

struct DescribeOptions {
    std::vector<std::string> names;
    bool all = false;
    ClassPathOptions classPath;
    std::string format = "text";
    bool showPrivate = false;    // javap -p
    bool showConstants = false;  // javap -constants
    bool raw = false;            // the library's text unescaped
};

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

void print(const VQJavaClass& javaClass, const DescribeOptions& options) {
    std::string text;
    if (options.format == "json") {
        text = classJsonLine(javaClass, options.raw);
    } else if (options.format == "javap") {
        VQJavapOptions javap;
        javap.showPrivate = options.showPrivate;
        javap.showConstants = options.showConstants;
        if (!options.raw) javap.filter = &appendSafeText;
        text = VQJavapText(javaClass, javap);
    } else if (options.raw) {
        text = javaClass.description();
        text.push_back('\n');
    } else {
        SafeDescriptionWriter().write(javaClass);
        return;
    }
    writeOutput(text);
}

// Describes one class, a file when there is no library; false (after reporting why)
// when it cannot be.
bool describeOne(const std::string& name, ToolLibrary* found, const DescribeOptions& options) {
    try {
        std::shared_ptr<VQJavaClass> javaClass;
        bool failedRead = false;
        if (!found) {
            javaClass = VQJavaClass::classWithContentsOfFile(name);
        } else if (const auto className = findClassName(*found, name)) {
            javaClass = readableClass(*found, *className, &failedRead);
        }
        if (!javaClass) {
            // A copy that could not be read has been reported as what it is.
            if (failedRead) return false;
            if (found)
                reportNotFound(*found, name);
            else
                reportFailure(name, "not found");
            return false;
        }
        print(*javaClass, options);
        return true;
    } catch (const VQException& e) {
        // A file the library could not read: the system says why.
        std::optional<std::string> reason;
        if (!found && e.kind() == VQErrorKind::unreadableFile) reason = unopenableFileReason(name);
        reportFailure(name, reason ? *reason : e.reason());
    } catch (const std::exception& e) {
        reportFailure(name, e.what());
    }
    return false;
}

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
        SortedClassNames names =
            sortedClassNamesBelow(*found.library->packageWithName(std::string_view()));
        ProgressLine progress("describing");
        // One class at a time on each worker: each is dropped once printed. The names are
        // only read while the workers run.
        const auto describeAt = [&](ToolLibrary& library, size_t i) {
            return describeOne(names.nameAt(i), &library, options);
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
    command->add_flag("-p", options->showPrivate, "javap format: show private members too");
    command->add_flag("--constants", options->showConstants,
                      "javap format: show the values of constant fields");
    command->add_flag("--raw", options->raw,
                      "Write text from class files unchanged (no escaping of control characters)");
    addClassPathOptions(command, options->classPath);
    addJobsOption(command, options->classPath);
    command->allow_extras();
    command->callback([options, &runner] {
        if (options->names.empty() && !options->all)
            throw UsageError("describe: no NAME given (nor --all)");
        if (!options->names.empty() && options->all)
            throw UsageError("describe: --all takes no NAME");
        runner = [options] { return runDescribe(*options); };
    });
}

}  // namespace

static bool registered = registerToolCommand({10, &addDescribeCommand});

}  // namespace ornith::tool
