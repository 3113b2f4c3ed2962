// Prints --help, --version, the man pages and the bash completions from the option tables.
#include "app/CommandLine.h"

#include <cctype>
#include <initializer_list>
#include <vector>

namespace command_line {
namespace {

constexpr size_t kWidth = 80;       // columns of --help
constexpr size_t kHelpColumn = 19;  // where an option's help starts in --help

// The pieces one after another. (Not "literal" + std::string: GCC 12 at -O3 takes that for an
// overlapping copy.)
std::string Cat(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (std::string_view piece : pieces)
        out += piece;
    return out;
}

template <typename Pieces>
std::string Join(const Pieces& pieces, std::string_view separator) {
    std::string out;
    bool first = true;
    for (std::string_view piece : pieces) {
        out += first ? std::string_view() : separator;
        out += piece;
        first = false;
    }
    return out;
}

// The pieces of text between separators, empty pieces dropped.
std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const size_t end = text.find(separator);
        if (end != 0)
            pieces.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + separator.size());
    }
    return pieces;
}

// A usage form's tokens: blank-separated, but an option in brackets stays one token with its value.
std::vector<std::string> Tokens(std::string_view form) {
    std::vector<std::string> tokens(1);
    int depth = 0;
    for (const char c : form) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (c == ' ' && depth == 0)
            tokens.emplace_back();
        else
            tokens.back() += c;
    }
    return tokens;
}

std::vector<std::string_view> Words(std::string_view words) {
    std::vector<std::string_view> list;
    for (std::string_view piece : Split(words, " "))
        list.push_back(piece.ends_with(',') ? piece.substr(0, piece.size() - 1) : piece);
    return list;
}

// The option's help with "{words}" and "{fields}" replaced by its words and its fields.
std::string HelpOf(const Option& option) {
    std::string help(option.help);
    for (const auto& [mark, names] : {std::pair{std::string_view("{words}"), Join(Words(option.words), ", ")},
                                      std::pair{std::string_view("{fields}"), Join(option.fields, ", ")}}) {
        if (const size_t at = help.find(mark); at != std::string::npos)
            help.replace(at, mark.size(), names);
    }
    return help;
}

std::string Label(const Option& option) {
    return option.value.empty() ? Cat({"--", option.name}) : Cat({"--", option.name, " ", option.value});
}

// The usage form that lists every option, for a program whose table gives none.
std::vector<std::string> EveryOption(const Program& program) {
    std::vector<std::string> tokens;
    for (const Option& option : program.options)
        tokens.push_back(Cat({"[", Label(option), "]"}));
    return tokens;
}

// Appends the tokens blank-separated, starting at `column` and breaking before a token that would
// reach the last column; continuation lines start at `indent`. Ends the last line.
void Wrap(std::string& out, const std::vector<std::string>& tokens, size_t indent, size_t column) {
    bool first = true;
    for (const std::string& token : tokens) {
        if (!first && column + 1 + token.size() >= kWidth) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            out += ' ';
            ++column;
        }
        out += token;
        column += token.size();
        first = false;
    }
    out += '\n';
}

void WrapText(std::string& out, std::string_view text, size_t indent, size_t column) {
    const std::vector<std::string_view> words = Split(text, " ");
    Wrap(out, std::vector<std::string>(words.begin(), words.end()), indent, column);
}

// Text for a man(7) text line: a backslash stays itself, an option keeps its hyphens (a plain "-"
// may turn into a typographic hyphen that a pasted command line does not take), and a leading
// period or apostrophe is not read as a request.
std::string Roff(std::string_view text) {
    std::string out;
    if (!text.empty() && (text[0] == '.' || text[0] == '\''))
        out = "\\&";
    bool optionWord = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '-' && (i == 0 || std::isspace(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '[' ||
                         text[i - 1] == '('))
            optionWord = true;
        else if (std::isspace(static_cast<unsigned char>(c)))
            optionWord = false;
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && optionWord)
            out += "\\-";
        else
            out += c;
    }
    return out;
}

bool IsPlaceholder(std::string_view word) {
    bool letter = false;
    for (const char c : word) {
        if (std::islower(static_cast<unsigned char>(c)))
            return false;
        letter = letter || std::isupper(static_cast<unsigned char>(c));
    }
    return letter;
}

// A usage form for the man page: options bold, placeholders (NAME, HEX...) in italics, and no line
// broken inside brackets.
std::string RoffSynopsis(std::string_view form) {
    std::string out;
    size_t i = 0;
    int depth = 0;
    while (i < form.size()) {
        const size_t end = form.find_first_of(" []", i);
        if (end == i) {
            depth += form[i] == '[' ? 1 : form[i] == ']' ? -1 : 0;
            out += form[i] == ' ' && depth > 0 ? std::string_view("\\ ") : form.substr(i, 1);
            ++i;
            continue;
        }
        const std::string_view word = form.substr(i, end == std::string_view::npos ? form.size() - i : end - i);
        if (word.starts_with('-'))
            out += Cat({"\\fB", Roff(word), "\\fR"});
        else if (IsPlaceholder(word))
            out += Cat({"\\fI", Roff(word), "\\fR"});
        else
            out += Roff(word);
        i += word.size();
    }
    return out;
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

void ManParagraphs(std::string& out, std::string_view text) {
    bool first = true;
    for (std::string_view paragraph : Split(text, "\n\n")) {
        out += first ? "" : ".PP\n";
        out += Cat({Roff(paragraph), "\n"});
        first = false;
    }
}

// The options, blank-separated, of those whose value completes as `kind`.
std::string NamesCompleting(const Program& program, Complete kind) {
    std::vector<std::string> names;
    for (const Option& option : program.options)
        if (!option.value.empty() && option.complete == kind)
            names.push_back(Cat({"--", option.name}));
    return Join(names, "|");
}

} // namespace

std::string_view Version() { return TARNWICK_VERSION; }

const Option* Find(const Program& program, std::string_view name) {
    for (const Option& option : program.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

std::string Usage(const Program& program) {
    std::string out;
    const std::string lead = Cat({"Usage: ", program.name, " "});
    std::vector<std::vector<std::string>> forms;
    for (std::string_view form : program.synopsis)
        forms.push_back(Tokens(form));
    if (forms.empty())
        forms.push_back(EveryOption(program));
    for (size_t i = 0; i < forms.size(); ++i) {
        // Every form starts below the first, its name under the first one's.
        out += i == 0 ? lead : Cat({std::string(lead.size() - program.name.size() - 1, ' '), program.name, " "});
        Wrap(out, forms[i], lead.size(), lead.size());
    }
    for (std::string_view paragraph : Split(program.description, "\n\n")) {
        out += '\n';
        WrapText(out, paragraph, 0, 0);
    }
    out += "\nOptions:\n";
    for (const Option& option : program.options) {
        const std::string label = Cat({"  ", Label(option)});
        out += label;
        if (label.size() + 2 > kHelpColumn)
            out += Cat({"\n", std::string(kHelpColumn, ' ')});
        else
            out += std::string(kHelpColumn - label.size(), ' ');
        WrapText(out, HelpOf(option), kHelpColumn, kHelpColumn);
    }
    for (const Section& section : program.sections) {
        out += Cat({"\n", section.title, ":\n"});
        bool first = true;
        for (std::string_view paragraph : Split(section.text, "\n\n")) {
            out += first ? "  " : "\n  ";
            WrapText(out, paragraph, 2, 2);
            first = false;
        }
    }
    return out;
}

std::string VersionLine(const Program& program) { return Cat({program.name, " ", Version(), "\n"}); }

std::string ManPage(const Program& program) {
    // Field names such as systemId are not to be hyphenated, nor the synopsis stretched.
    std::string out = Cat({".TH ", Upper(program.name), " 1 \"\" \"Tarnwick ", Version(), "\" \"User Commands\"\n",
                           ".nh\n.ad l\n.SH NAME\n", Roff(program.name), " \\- ", Roff(program.summary),
                           "\n.SH SYNOPSIS\n"});
    std::vector<std::string> forms(program.synopsis.begin(), program.synopsis.end());
    if (forms.empty())
        forms.push_back(Join(EveryOption(program), " "));
    for (size_t i = 0; i < forms.size(); ++i)
        out += Cat({i == 0 ? "" : ".br\n", ".B ", Roff(program.name), "\n", RoffSynopsis(forms[i]), "\n"});
    out += ".SH DESCRIPTION\n";
    ManParagraphs(out, program.description);
    out += ".SH OPTIONS\n";
    for (const Option& option : program.options) {
        out += Cat({".TP\n\\fB", Roff(Cat({"--", option.name})), "\\fR"});
        if (!option.value.empty())
            out += Cat({" \\fI", Roff(option.value), "\\fR"});
        out += Cat({"\n", Roff(HelpOf(option)), "\n"});
    }
    for (const Section& section : program.sections) {
        out += Cat({".SH ", Upper(section.title), "\n"});
        ManParagraphs(out, section.text);
    }
    if (!program.seeAlso.empty())
        out += Cat({".SH SEE ALSO\n", Roff(program.seeAlso), "\n"});
    return out;
}

std::string BashCompletion(const Program& program) {
    std::string function = Cat({"_", program.name});
    for (char& c : function)
        c = c == '-' ? '_' : c;
    std::vector<std::string> options;
    for (const Option& option : program.options)
        options.push_back(Cat({"--", option.name}));
    std::string out = Cat({"# bash completion for ", program.name, " ", Version(), ", printed from its option table.\n",
                           function, "() {\n",
                           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                           "    COMPREPLY=()\n"
                           "    case $prev in\n"});
    if (const std::string files = NamesCompleting(program, Complete::File); !files.empty())
        out += Cat({"    ", files, ")\n        compopt -o filenames 2>/dev/null\n",
                    "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n        return;;\n"});
    for (const Option& option : program.options)
        if (!option.value.empty() && option.complete == Complete::Words)
            out += Cat({"    --", option.name, ")\n        mapfile -t COMPREPLY < <(compgen -W '",
                        Join(Words(option.words), " "), "' -- \"$cur\")\n        return;;\n"});
    if (const std::string others = NamesCompleting(program, Complete::Nothing); !others.empty())
        out += Cat({"    ", others, ")\n        return;;\n"});
    out += Cat({"    esac\n    mapfile -t COMPREPLY < <(compgen -W '", Join(options, " "),
                "' -- \"$cur\")\n    return 0\n}\ncomplete -F ", function, " ", program.name, "\n"});
    return out;
}

} // namespace command_line
