// varic-manual, run by the build: the per-command parts of the man pages and of docs/varic.md,
// made from the commands' help, so that no page describes an option a command does not take.
//
//   varic-manual man varic|varic-validate TEMPLATE OUTPUT
//       the template with its lines ".\" varic: synopsis" and ".\" varic: commands" replaced
//   varic-manual markdown FILE [--check]
//       the part of FILE between "<!-- varic help: begin -->" and "<!-- varic help: end -->"
//       rewritten; with --check, FILE is left alone and the exit status says whether it is
//       up to date

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "help.h"
#include "validate_command.h"

namespace {

const char kBegin[] = "<!-- varic help: begin -->";
const char kEnd[] = "<!-- varic help: end -->";

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw varic::Failure("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file.flush()) throw varic::Failure("cannot write " + path);
}

void replaceLine(std::string& text, const std::string& line, const std::string& by) {
    const std::size_t at = text.find(line + "\n");
    if (at == std::string::npos) throw varic::Failure("the template lacks the line " + line);
    text.replace(at, line.size() + 1, by);
}

std::string manPage(const std::string& program, const std::string& templatePath) {
    std::string page = readFile(templatePath);
    std::string synopsis;
    std::string sections;
    if (program == "varic-validate") {
        synopsis = varic::manSynopsis(validate::validateHelp(), program);
        sections = varic::manBody(validate::validateHelp());
    } else {
        for (const varic::Command& command : varic::commands()) {
            const std::string invocation = "varic " + command.help().name;
            if (!synopsis.empty()) synopsis += ".br\n";
            synopsis += varic::manSynopsis(command.help(), invocation);
            sections += varic::manSection(command.help(), invocation);
        }
    }
    replaceLine(page, ".\\\" varic: synopsis", synopsis);
    replaceLine(page, ".\\\" varic: commands", sections);
    return page;
}

std::string markdown() {
    std::string text;
    for (const varic::Command& command : varic::commands()) {
        if (!text.empty()) text += '\n';
        text += varic::markdownSection(command.help(), "varic " + command.help().name);
    }
    return text;
}

int updateMarkdown(const std::string& path, bool check) {
    const std::string old = readFile(path);
    const std::size_t begin = old.find(kBegin);
    const std::size_t end = old.find(kEnd);
    if (begin == std::string::npos || end == std::string::npos || end < begin)
        throw varic::Failure(path + " lacks the lines " + kBegin + " and " + kEnd);
    const std::size_t from = begin + sizeof kBegin - 1;
    const std::string updated = old.substr(0, from) + "\n" + markdown() + old.substr(end);
    if (updated == old) return 0;
    if (!check) {
        writeFile(path, updated);
        return 0;
    }
    std::fprintf(stderr,
                 "%s: the commands' part differs from their help; rewrite it with\n"
                 "  varic-manual markdown %s\n",
                 path.c_str(), path.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    return varic::runMain("varic-manual", "tools/cli/manual.cpp", [&] {
        if (words.size() == 4 && words[0] == "man") {
            writeFile(words[3], manPage(words[1], words[2]));
            return 0;
        }
        if ((words.size() == 2 || (words.size() == 3 && words[2] == "--check")) &&
            words[0] == "markdown") {
            return updateMarkdown(words[1], words.size() == 3);
        }
        throw varic::UsageError(
            "varic-manual man PROGRAM TEMPLATE OUTPUT | markdown FILE [--check]");
    });
}
