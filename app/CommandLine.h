// The two programs' command-line options as tables, and what is printed from them alone: --help,
// --version, the man pages and the bash completions, so that none of them can tell another story.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace command_line {

// What a shell offers when the user presses Tab on an option's value.
enum class Complete {
    Nothing, // a number, an address, a name of the user's own
    File,
    Words,   // one of the option's `words`
};

struct Option {
    std::string_view name;  // without the leading "--"
    std::string_view value; // what the help calls its value ("N", "FILE"); empty for a switch
    // One paragraph, wrapped where it is printed; "{words}" stands for the words and "{fields}" for
    // the fields, each joined by ", ".
    std::string_view help;
    Complete complete = Complete::Nothing;
    std::string_view words = {};              // separated by blanks or ", "
    std::span<const char* const> fields = {}; // the JSON fields of the file the option reads
};

// A titled part after the options ("Exit status", "Files").
struct Section {
    std::string_view title;
    std::string_view text; // paragraphs separated by a blank line
};

struct Program {
    std::string_view name;
    std::string_view summary; // what the man page's NAME line says the program is
    // The usage forms, each what follows the name; none: one form listing every option.
    std::span<const std::string_view> synopsis;
    std::string_view description; // paragraphs separated by a blank line
    std::span<const Option> options;
    std::span<const Section> sections;
    std::string_view seeAlso; // the man page's SEE ALSO line
};

extern const Program kTarnwick;
extern const Program kTarnwickDecode;

// The version both programs and the package carry ("0.1").
std::string_view Version();

// The option of that name (without "--"), nullptr for none.
const Option* Find(const Program& program, std::string_view name);

// What --help prints: usage, description, the options and the sections, wrapped to 80 columns.
std::string Usage(const Program& program);
// What --version prints: "tarnwick 0.1" and a line break.
std::string VersionLine(const Program& program);
// The man page, section 1, as man(7) source.
std::string ManPage(const Program& program);
// A bash completion script: the options after "-", files or words for the values that take them.
std::string BashCompletion(const Program& program);

} // namespace command_line
