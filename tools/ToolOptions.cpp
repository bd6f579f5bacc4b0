#include "ToolOptions.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "ToolCommand.h"

namespace ornith::tool {

void addClassPathOptions(CLI::App* command, ClassPathOptions& options) {
    // Given twice, the last one counts, as with javap.
    command
        ->add_option("--class-path,--cp", options.classPath,
                     "Class path: entries separated by ';', or by ':' when there is no ';' "
                     "(default: CLASSPATH, else the current directory); also -cp and -classpath")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command
        ->add_option("--system", options.system,
                     "The JDK whose classes come first (default: JAVA_HOME, else the java "
                     "on PATH); none for no platform classes")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command->add_flag("--no-default", options.noDefault, "The same as --system none");
    addArchiveToolOptions(command, options.archive);
}

void addJobsOption(CLI::App* command, ClassPathOptions& options) {
    command
        ->add_option("-j,--jobs", options.jobs,
                     "Work on N classes at once, the output the same as with -j 1 "
                     "(default: one per core)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u))
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

namespace {

// The option's name without a "=VALUE".
std::string optionName(const std::string& word) {
    return word.substr(0, word.find('='));
}

bool isOptionWord(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

bool takesValue(const CLI::Option& option) {
    return option.get_items_expected_min() > 0;
}

// The option of that name on any command, for words before the command name.
const CLI::Option* anyCommandsOption(CLI::App& app, const std::string& name) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; }))
        if (const CLI::Option* option = command->get_option_no_throw(name)) return option;
    return nullptr;
}

std::string commandNames(CLI::App& app) {
    std::string names;
    const auto commands = app.get_subcommands([](CLI::App*) { return true; });
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i > 0) names += i + 1 == commands.size() ? " or " : ", ";
        names += commands[i]->get_name();
    }
    return names;
}

}  // namespace

std::vector<std::string> toolArguments(int argc, char** argv, CLI::App& app) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const size_t end = static_cast<size_t>(
        std::find(words.begin(), words.end(), std::string("--")) - words.begin());
    // The single-dash spellings that javap and java users type, as the parser knows them.
    static constexpr std::pair<std::string_view, std::string_view> kJdkSpellings[] = {
        {"-cp", "--class-path"},   {"-classpath", "--class-path"},
        {"-private", "-p"},        {"-constants", "--constants"},
        {"-verbose", "-v"},        {"-sysinfo", "--sysinfo"},
        {"-package", "--package"}, {"-protected", "--protected"},
        {"-public", "--public"}};
    for (size_t i = 0; i < end; ++i)
        for (const auto& [jdk, ours] : kJdkSpellings)
            if (words[i] == jdk) words[i] = ours;

    // The command is the first word that is neither an option nor an option's value.
    size_t at = end;
    bool toolOptionsOnly = true;  // --help, --version and the like, for the tool itself
    for (size_t i = 0; i < end; ++i) {
        const std::string& word = words[i];
        if (!isOptionWord(word)) {
            at = i;
            break;
        }
        const std::string name = optionName(word);
        if (app.get_option_no_throw(name)) continue;
        toolOptionsOnly = false;
        const CLI::Option* option = anyCommandsOption(app, name);
        if (option && takesValue(*option) && word.find('=') == std::string::npos) ++i;
    }
    if (at == end) {
        if (end > 0 && toolOptionsOnly) return words;
        throw UsageError("no command given (" + commandNames(app) + "; ornith --help tells more)");
    }
    CLI::App* command = nullptr;
    for (CLI::App* candidate : app.get_subcommands([](CLI::App*) { return true; }))
        if (candidate->get_name() == words[at]) command = candidate;
    if (!command)
        throw UsageError(words[at] + ": unknown command (the commands are " + commandNames(app) +
                         ")");

    // deps takes jdeps's spellings: single-dash words and NAME:VALUE forms.
    if (command->get_name() == "deps") {
        static constexpr std::pair<std::string_view, std::string_view> kJdepsSpellings[] = {
            {"-summary", "--summary"},
            {"-verbose", "--verbose-all"},
            {"-verbose:package", "--verbose-package"},
            {"-verbose:class", "--verbose-class"},
            {"-recursive", "--recursive"},
            {"-regex", "--regex"},
            {"-package", "--package"},
            {"-filter", "--filter"},
            {"-filter:package", "--filter-package"},
            {"-filter:archive", "--filter-archive"},
            {"-filter:module", "--filter-module"},
            {"-filter:none", "--filter-none"},
            {"-jdkinternals", "--jdk-internals"}};
        for (size_t i = 0; i < end; ++i)
            for (const auto& [jdk, ours] : kJdepsSpellings)
                if (words[i] == jdk) words[i] = ours;
    }

    // The tool's own options first, then the command and its options in the order given,
    // so that of an option given twice the last still wins.
    std::vector<std::string> ordered;
    std::vector<std::string> commandWords{words[at]};
    for (size_t i = 0; i < words.size(); ++i) {
        if (i == at) continue;
        const std::string& word = words[i];
        if (i >= end || !isOptionWord(word)) {
            commandWords.push_back(word);
            continue;
        }
        const std::string name = optionName(word);
        const CLI::Option* option = command->get_option_no_throw(name);
        if (!option && app.get_option_no_throw(name)) {
            ordered.push_back(word);
            continue;
        }
        if (!option)
            throw UsageError(command->get_name() + ": unknown option " + name + " (ornith " +
                             command->get_name() + " --help lists them)");
        commandWords.push_back(word);
        if (takesValue(*option) && word.find('=') == std::string::npos) {
            if (i + 1 >= end || i + 1 == at)
                throw UsageError(command->get_name() + ": " + (argv[i + 1]) + " needs a value");
            commandWords.push_back(words[++i]);
        }
    }
    ordered.insert(ordered.end(), commandWords.begin(), commandWords.end());
    return ordered;
}

}  // namespace ornith::tool
