#include "help.h"

#include <cctype>
#include <sstream>

namespace varic {
namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kOptionColumn = 22;  // where an option's text starts

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

std::vector<std::string> paragraphsOf(const std::string& text) {
    std::vector<std::string> paragraphs;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\n\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string paragraph = text.substr(start, end - start);
        if (paragraph.find_first_not_of(" \n") != std::string::npos)
            paragraphs.push_back(paragraph);
        start = end + 2;
    }
    return paragraphs;
}

// `text` filled into lines of at most kWidth columns, the first starting at column `first`
// (whatever is there already), the others indented to `indent`.
std::string wrapped(const std::string& text, std::size_t first, std::size_t indent) {
    std::string out;
    std::size_t column = first;
    bool lineStart = true;
    for (const std::string& word : wordsOf(text)) {
        if (!lineStart && column + 1 + word.size() > kWidth) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineStart = false;
    }
    return out + "\n";
}

std::string optionTag(const OptionHelp& option) {
    return option.argument.empty() ? option.names : option.names + " " + option.argument;
}

// Roff text: backslashes and hyphens escaped, a leading dot or quote kept from being a request.
std::string roff(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) return "\\&" + out;
    return out;
}

// A synopsis in roff: options in bold, the names of operands and values (upper case) in
// italics, brackets and bars as they are.
std::string roffSynopsis(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        std::size_t end = i;
        if (c == '-' && i + 1 < text.size() && text[i + 1] != ' ') {
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
                ++end;
            out += "\\fB" + roff(text.substr(i, end - i)) + "\\fP";
        } else if (std::isupper(static_cast<unsigned char>(c))) {
            while (end < text.size() && (std::isupper(static_cast<unsigned char>(text[end])) ||
                                         std::isdigit(static_cast<unsigned char>(text[end])) ||
                                         text[end] == '_' || text[end] == '='))
                ++end;
            out += "\\fI" + roff(text.substr(i, end - i)) + "\\fP";
        } else {
            out += roff(std::string(1, c));
            end = i + 1;
        }
        i = end;
    }
    return out;
}

}  // namespace

std::string helpText(const CommandHelp& help, const std::string& invocation,
                     const std::string& epilogue) {
    std::string text;
    for (std::size_t i = 0; i < help.forms.size(); ++i) {
        text.append(i == 0 ? "usage: " : "       ").append(invocation).append(" ");
        text.append(help.forms[i]).append("\n");
    }
    for (const std::string& paragraph : paragraphsOf(help.description)) {
        text.append(1, '\n').append(wrapped(paragraph, 0, 0));
    }
    if (!help.options.empty()) text += "\n";
    for (const OptionHelp& option : help.options) {
        const std::string tag = optionTag(option);
        text.append(2, ' ').append(tag);
        if (tag.size() + 4 > kOptionColumn) {
            text.append(1, '\n').append(kOptionColumn, ' ');
        } else {
            text.append(kOptionColumn - 2 - tag.size(), ' ');
        }
        text += wrapped(option.text, kOptionColumn, kOptionColumn);
    }
    return epilogue.empty() ? text : text + "\n" + epilogue;
}

std::string helpForms(const CommandHelp& help) {
    std::string text;
    for (const std::string& form : help.forms) text += "  " + help.name + " " + form + "\n";
    return text;
}

std::string manSynopsis(const CommandHelp& help, const std::string& invocation) {
    std::string out;
    for (std::size_t i = 0; i < help.forms.size(); ++i) {
        if (i > 0) out += ".br\n";
        out += ".B " + roff(invocation) + "\n" + roffSynopsis(help.forms[i]) + "\n";
    }
    return out;
}

std::string manSection(const CommandHelp& help, const std::string& invocation) {
    std::string out = ".SS " + roff(invocation) + "\n";
    for (std::size_t i = 0; i < help.forms.size(); ++i) {
        if (i > 0) out += ".br\n";
        out += ".B " + roff(invocation) + "\n" + roffSynopsis(help.forms[i]) + "\n";
    }
    return out + manBody(help);
}

std::string manBody(const CommandHelp& help) {
    std::string out;
    for (const std::string& paragraph : paragraphsOf(help.description)) {
        out += ".PP\n" + roff(wrapped(paragraph, 0, 0));
    }
    for (const OptionHelp& option : help.options) {
        out += ".TP\n" + roffSynopsis(optionTag(option)) + "\n" + roff(wrapped(option.text, 0, 0));
    }
    return out;
}

std::string markdownSection(const CommandHelp& help, const std::string& invocation) {
    std::string out = "### `" + invocation + "`\n\n```sh\n";
    for (const std::string& form : help.forms) out += invocation + " " + form + "\n";
    out += "```\n";
    for (const std::string& paragraph : paragraphsOf(help.description)) {
        out.append(1, '\n').append(wrapped(paragraph, 0, 0));
    }
    if (!help.options.empty()) out += "\n";
    for (const OptionHelp& option : help.options) {
        out += "- `" + optionTag(option) + "`: ";
        out += wrapped(option.text, option.names.size() + option.argument.size() + 7, 2);
    }
    return out;
}

std::vector<std::pair<std::string, bool>> optionSpellings(const CommandHelp& help) {
    std::vector<std::pair<std::string, bool>> spellings;
    for (const OptionHelp& option : help.options) {
        for (const std::string& name : wordsOf(option.names))
            spellings.emplace_back(name, !option.argument.empty());
    }
    return spellings;
}

}  // namespace varic
