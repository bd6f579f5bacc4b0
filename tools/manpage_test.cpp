// The manual page (tools/ornith.1, mdoc) and the tool's own --help-all cannot drift
// apart: every option the help lists is in the page.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "RunTool.h"

namespace ornith::tool::testing {
namespace {

TEST(ManPage, NamesEveryOptionOfHelpAll) {
    ToolResult help = runTool({"--help-all"});
    ASSERT_EQ(help.status, 0);
    const std::string page = slurp(std::string(ORNITH_SOURCE_DIR) + "/tools/ornith.1");
    ASSERT_NE(page.find(".Sh OPTIONS"), std::string::npos);
    std::set<std::string> options;
    const std::regex option(R"((?:^|[\s,\[])(--?[a-zA-Z][a-zA-Z-]*))");
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end; ++it)
        options.insert((*it)[1]);
    // The help lists options of every command, long and short.
    for (const char* expected : {"--class-path", "--system", "--lines", "-p", "-r", "--help-all"})
        EXPECT_EQ(options.count(expected), 1u) << expected;
    // mdoc writes an option as the macro Fl and the name without its first dash.
    for (const std::string& name : options) {
        const std::regex inPage("Fl " + std::regex_replace(name.substr(1), std::regex("-"), "\\-") +
                                R"((?:[\s,]|$))");
        EXPECT_TRUE(std::regex_search(page, inPage)) << name << " is not in tools/ornith.1";
    }
}

}  // namespace
}  // namespace ornith::tool::testing
