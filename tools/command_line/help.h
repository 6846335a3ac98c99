#pragma once
// A command's help, written once in the command's own file: its forms, what it does and its
// options. The parser takes the options from it (command_line.h), `--help` prints it, and the
// build makes the man pages and the per-command part of docs/varic.md from it
// (tools/cli/manual.cpp), so none of them can describe an option the command does not take.

#include <string>
#include <vector>

namespace varic {

struct OptionHelp {
    // The option's spelling, or the spellings of one choice separated by blanks
    // ("--pcm16 --pcm24 --float").
    std::string names;
    std::string argument;  // its value as the synopsis names it ("S", "N=VALUE"); "" for a flag
    std::string text;      // what it does, one paragraph
};

struct CommandHelp {
    std::string name;                // "render"
    std::vector<std::string> forms;  // each form of the command line after the command's name
    std::string description;         // paragraphs separated by blank lines
    std::vector<OptionHelp> options;
};

// The help as `--help` prints it: "usage: <invocation> <form>" for each form, the description
// and the options, wrapped to 80 columns, then `epilogue`. `invocation` is how the user calls
// the command ("varic render", or "varic-validate" for the validator's own program).
std::string helpText(const CommandHelp& help, const std::string& invocation,
                     const std::string& epilogue);
// The forms alone, one line each, indented by two blanks: "  render IN OUT ...".
std::string helpForms(const CommandHelp& help);

// The same in roff for a man page: the synopsis lines, and a subsection with the description
// and the options.
std::string manSynopsis(const CommandHelp& help, const std::string& invocation);
std::string manSection(const CommandHelp& help, const std::string& invocation);
// The description and the options alone, for a page of one command.
std::string manBody(const CommandHelp& help);
// The same in Markdown: a heading, the forms as a shell block, the description, the options.
std::string markdownSection(const CommandHelp& help, const std::string& invocation);

// Every spelling of every option, split out of OptionHelp::names, with whether it takes a value.
std::vector<std::pair<std::string, bool>> optionSpellings(const CommandHelp& help);

}  // namespace varic
