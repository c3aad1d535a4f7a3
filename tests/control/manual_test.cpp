// The manual pages: every switch of the help pages is in volta.1 and no
// other, both pages pass the linter, and the installation carries them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/runvolta.h"

namespace fs = std::filesystem;

namespace {

// Switches that exist but stand on no help page; the manual still lists them.
const std::set<std::string> kPagelessSwitches = {"/cl", "/cr", "/cm", "/scan"};

std::string manual(const std::string& name) { return std::string(VOLTA_MANUALS) + "/" + name; }

// A program on the PATH, or empty.
std::string onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = folder + "/" + program;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The first word of every help line that starts with a switch.
void collectSwitches(const std::string& page, std::set<std::string>& switches) {
    for (const std::string& line : lines(page)) {
        size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] != '/') continue;
        switches.insert(line.substr(start, line.find(' ', start) - start));
    }
}

std::set<std::string> helpSwitches() {
    RunResult usage = runVolta({"/?"});
    EXPECT_EQ(usage.exitCode, 1);
    std::set<std::string> switches;
    collectSwitches(usage.output, switches);
    // The usage page names the other pages as "topic : what it covers".
    static const std::regex topicLine(R"(^([a-z]+) *: )");
    int pages = 0;
    for (const std::string& line : lines(usage.output)) {
        std::smatch topic;
        if (!std::regex_search(line, topic, topicLine)) continue;
        RunResult page = runVolta({"/?" + topic[1].str()});
        EXPECT_EQ(page.exitCode, 1) << topic[1];
        EXPECT_EQ(page.output.find("Unknown help option"), std::string::npos) << topic[1];
        collectSwitches(page.output, switches);
        ++pages;
    }
    EXPECT_GE(pages, 8);
    return switches;
}

// The text of a roff macro line's arguments as printed, fonts aside.
std::string printedText(std::string arguments) {
    static const std::pair<const char*, const char*> kEscapes[] = {
        {"\\(aq", "'"}, {"\\(ga", "`"}, {"\\(+-", "\xc2\xb1"}, {"\\-", "-"}, {"\\e", "\\"}, {"\\&", ""},
        {"\\fB", ""},   {"\\fI", ""},   {"\\fR", ""},          {"\\fP", ""}, {"\\c", ""},  {"\"", ""}};
    for (const auto& [escape, text] : kEscapes)
        for (size_t at; (at = arguments.find(escape)) != std::string::npos;)
            arguments.replace(at, std::string(escape).size(), text);
    std::string joined;
    for (char c : arguments)
        if (c != ' ') joined += c;
    return joined;
}

// The tag of every item of the OPTIONS section: the line after each .TP.
std::set<std::string> manualSwitches(const std::string& source) {
    std::set<std::string> switches;
    std::vector<std::string> all = lines(source);
    bool inOptions = false;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].rfind(".SH ", 0) == 0) inOptions = all[i] == ".SH OPTIONS";
        if (!inOptions || all[i] != ".TP" || i + 1 >= all.size()) continue;
        const std::string& tag = all[i + 1];
        size_t space = tag.find(' ');
        std::string tagged = printedText(space == std::string::npos ? "" : tag.substr(space + 1));
        // A tag may go on over a second line after \c, as "/o" "[o]" does.
        if (tag.size() >= 2 && tag.compare(tag.size() - 2, 2, "\\c") == 0 && i + 2 < all.size()) {
            const std::string& more = all[i + 2];
            space = more.find(' ');
            tagged += printedText(space == std::string::npos ? "" : more.substr(space + 1));
        }
        switches.insert(tagged);
    }
    return switches;
}

std::string listed(const std::set<std::string>& switches) {
    std::string text;
    for (const std::string& s : switches) text += " " + s;
    return text;
}

TEST(ManualPages, VoltaListsEverySwitchOfTheHelpPagesAndNoOther) {
    std::set<std::string> help = helpSwitches();
    ASSERT_GT(help.size(), 40u);
    std::set<std::string> expected = help;
    expected.insert(kPagelessSwitches.begin(), kPagelessSwitches.end());
    std::set<std::string> documented = manualSwitches(readFile(manual("volta.1")));

    std::set<std::string> missing, unknown;
    for (const std::string& s : expected)
        if (!documented.count(s)) missing.insert(s);
    for (const std::string& s : documented)
        if (!expected.count(s)) unknown.insert(s);
    EXPECT_TRUE(missing.empty()) << "on a help page but not in volta.1:" << listed(missing);
    EXPECT_TRUE(unknown.empty()) << "in volta.1 but on no help page:" << listed(unknown);
}

TEST(ManualPages, PassTheLinter) {
    std::string mandoc = onPath("mandoc");
    if (mandoc.empty()) GTEST_SKIP() << "mandoc is not installed";
    for (const char* page : {"volta.1", "pluma.1"}) {
        RunResult lint = runProgram({mandoc, "-T", "lint", "-W", "warning", manual(page)});
        EXPECT_EQ(lint.exitCode, 0) << page;
        EXPECT_EQ(lint.output, "") << page;
    }
}

TEST(ManualPages, InstalledWithTheProgramsAndRendered) {
    TempDir prefix;
    RunOptions slow;
    slow.timeoutSeconds = 120;
    RunResult install = runProgram({CMAKE_COMMAND, "--install", VOLTA_BUILD_DIR, "--prefix", prefix.path()}, slow);
    ASSERT_EQ(install.exitCode, 0) << install.output;
    std::string man = onPath("man");
    for (const char* page : {"volta.1", "pluma.1"}) {
        std::string installed = prefix.file(std::string("share/man/man1/") + page);
        ASSERT_TRUE(fs::exists(installed)) << page;
        EXPECT_EQ(readFile(installed), readFile(manual(page)));
        if (man.empty()) continue;
        RunOptions plain;
        plain.env = {{"MANPAGER", "cat"}, {"MANWIDTH", "80"}, {"MAN_KEEP_FORMATTING", ""}};
        RunResult shown = runProgram({man, "-l", installed}, plain);
        EXPECT_EQ(shown.exitCode, 0) << shown.output;
        for (const char* heading : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ENVIRONMENT", "FILES",
                                    "EXIT STATUS", "EXAMPLES"})
            EXPECT_NE(shown.output.find(std::string("\n") + heading + "\n"), std::string::npos)
                << page << " has no " << heading;
    }
}

}  // namespace
