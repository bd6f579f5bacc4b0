// `ornith inventory [--format text|json|cyclonedx] ARCHIVE...`: one record per archive and
// per archive inside it (a jar in an executable jar, a war in an ear), with its size and
// digests, the Maven coordinates and manifest names it carries, its module, its classes
// and the packages it holds outside its own group. An archive that cannot be read is
// reported and still gets its record; the others are inventoried all the same.

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ToolCommand.h"
#include "ToolInventory.h"
#include "ToolOptions.h"
#include "ToolParallel.h"
#include "ToolReport.h"

#ifndef ORNITH_VERSION
#define ORNITH_VERSION "unknown"
#endif

namespace ornith::tool {
namespace {

struct InventoryOptions {
    std::vector<std::string> archives;
    std::string format = "text";
    uint64_t inflateBudgetMiB = 1024;
    size_t maxDepth = VQNestingOptions().maxDepth;
    ClassPathOptions jobs;  // for -j alone
};

int runInventory(const InventoryOptions& options) {
    VQNestingOptions nesting;
    nesting.maxDepth = options.maxDepth;
    nesting.inflateBudget = options.inflateBudgetMiB << 20;
    // Each archive is read on a worker into records of its own (a failure is kept in its
    // record, nothing is written meanwhile), then joined in the order given.
    std::vector<std::vector<ArchiveRecord>> each(options.archives.size());
    runOnWorkers(each.size(), options.jobs.jobs,
                 [&](size_t i) { inventoryArchive(options.archives[i], nesting, each[i]); });
    std::vector<ArchiveRecord> records;
    int status = 0;
    for (std::vector<ArchiveRecord>& own : each) {
        const size_t first = records.size();
        for (ArchiveRecord& record : own) {
            if (record.parent) *record.parent += first;
            for (size_t& child : record.children) child += first;
            records.push_back(std::move(record));
        }
        for (size_t i = first; i < records.size(); ++i)
            if (records[i].problem) {
                reportFailure(records[i].path, *records[i].problem);
                status = 1;
            }
    }
    const std::string out = options.format == "json" ? inventoryJsonLines(records)
                            : options.format == "cyclonedx"
                                ? inventoryCycloneDx(records, ORNITH_VERSION)
                                : inventoryText(records);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return status;
}

void addInventoryCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<InventoryOptions>();
    CLI::App* command =
        app.add_subcommand("inventory",
                           "Print what each archive and each archive inside it is: digests, Maven "
                           "coordinates, module, classes");
    command->add_option("ARCHIVE", options->archives, "A jar, war, ear or zip file");
    command->add_option("--format", options->format, "Output format: text, json or cyclonedx")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check([](const std::string& value) {
            return value == "text" || value == "json" || value == "cyclonedx"
                       ? std::string()
                       : "'" + value + "' is not a format (text, json or cyclonedx)";
        });
    command
        ->add_option("--inflate-budget", options->inflateBudgetMiB,
                     "MiB that compressed archives inside archives may take inflated, in all "
                     "(default 1024)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Range(uint64_t{0}, uint64_t{1} << 30));
    command
        ->add_option("--max-depth", options->maxDepth,
                     "Levels of archives inside archives to read (default 8)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Range(size_t{0}, size_t{64}));
    addJobsOption(command, options->jobs);
    command->callback([options, &runner] {
        if (options->archives.empty()) throw UsageError("inventory: no ARCHIVE given");
        runner = [options] { return runInventory(*options); };
    });
}

}  // namespace

static bool registered = registerToolCommand({70, &addInventoryCommand});

}  // namespace ornith::tool
