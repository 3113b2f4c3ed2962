// The display filter's words and operators, and the tree they parse into.
#include "analysis/FilterExpression.h"

#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "decoder/tables/TableIds.h"
#include "protocol/SmppStatus.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace display_filter {

namespace {

enum class Tok : uint8_t { End, Word, Quoted, Open, Close, Not, And, Or, Compare };

struct Token {
    Tok tok = Tok::End;
    size_t at = 0;  // first byte in the filter's text
    size_t end = 0; // one past its last
    std::string text; // a word or a quoted value unquoted; an operator as written
    Compare compare = Compare::Present;
};

// Where a word ends, unless it names a term ("port:2775"): a value after ':' runs to a blank or ')'.
constexpr std::string_view kWordEnds = " \t()!=<>&|\"";
// Parentheses and negations nested deeper than this are refused rather than recursed into.
constexpr int kDeepest = 64;

struct Operator {
    std::string_view text;
    Tok tok;
    Compare compare;
    std::string_view meaning; // as the help says it
};
// Longest first, so that "<=" is not read as "<" and "=".
constexpr Operator kOperators[] = {
    {"==", Tok::Compare, Compare::Equal, "the field has the value"},
    {"!=", Tok::Compare, Compare::NotEqual, "the field is there and no occurrence has the value"},
    {"<=", Tok::Compare, Compare::LessEqual, "a number field at most the value"},
    {">=", Tok::Compare, Compare::GreaterEqual, "a number field at least the value"},
    {"&&", Tok::And, Compare::Present, "both hold (binds tighter than ||)"},
    {"||", Tok::Or, Compare::Present, "either holds"},
    {"=", Tok::Compare, Compare::Equal, "as == (the older name=value form)"},
    {"<", Tok::Compare, Compare::Less, "a number field below the value"},
    {">", Tok::Compare, Compare::Greater, "a number field above the value"},
    {"!", Tok::Not, Compare::Present, "what follows does not hold"},
    {"(", Tok::Open, Compare::Present, "groups, up to the matching )"},
    {")", Tok::Close, Compare::Present, "ends a group"},
};
constexpr Operator kKeywords[] = {
    {"and", Tok::And, Compare::Present, "as &&"},
    {"or", Tok::Or, Compare::Present, "as ||"},
    {"not", Tok::Not, Compare::Present, "as !"},
    {"contains", Tok::Compare, Compare::Contains, "a text or octets field holds the quoted text"},
    {"matches", Tok::Compare, Compare::Matches, "a text or octets field matches the quoted regular expression"},
};

// The shortcut terms by their keyword: alone (error) or with a value after ':' (port:2775).
struct ShortcutTerm {
    std::string_view key;
    Kind kind;
    bool valued;
    std::string_view written; // as the help shows it
    std::string_view meaning;
};
constexpr ShortcutTerm kShortcuts[] = {
    {"error", Kind::Error, false, "error", "a status other than success, or no answer"},
    {"unanswered", Kind::Unanswered, false, "unanswered", "a request no answer came for"},
    {"status", Kind::Status, true, "status:0x58, status:ESME_RTHROTTLED",
     "that command_status (a request: its answer's)"},
    {"port", Kind::Port, true, "port:2775", "either end's TCP port"},
    {"ip", Kind::Ip, true, "ip:10.0.0.1", "either end's IPv4 address"},
    {"seq", Kind::Sequence, true, "seq:7", "that sequence number (the PDU's own, not the list's \"Seq\")"},
    {"conn", Kind::Connection, true, "conn:3", "that connection's PDUs"},
    {"text", Kind::Text, true, "text:hello, text:\"two words\"", "the decoded short message holds the words"},
};

// The text of a quoted value starting at text[at] == '"', with \" and \\ read as the character they escape;
// at moves past the closing quote. Nothing when the quote is not closed.
std::optional<std::string> Unquote(std::string_view text, size_t& at) {
    std::string out;
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            at = i + 1;
            return out;
        }
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        out.push_back(text[i]);
    }
    return std::nullopt;
}

// A word from text[at]: a field or value name, a number, a keyword, or a term with its value after ':'.
bool LexWord(std::string_view text, size_t& at, Token& token, Error& error) {
    token = {Tok::Word, at, at, {}, Compare::Present};
    bool colon = false;
    size_t end = at;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c == ' ' || c == '\t' || c == ')' || (!colon && kWordEnds.find(c) != std::string_view::npos))
            break;
        token.text.push_back(c);
        if (c != ':' || colon)
            continue;
        colon = true;
        if (end + 1 < text.size() && text[end + 1] == '"') {
            size_t quote = end + 1;
            const std::optional<std::string> value = Unquote(text, quote);
            if (!value) {
                error = {end + 1, "a quoted value without its closing '\"'"};
                return false;
            }
            token.text += *value;
            end = quote;
            break;
        }
    }
    at = token.end = end;
    for (const Operator& keyword : kKeywords)
        if (token.text == keyword.text) {
            token.tok = keyword.tok;
            token.compare = keyword.compare;
        }
    return true;
}

bool Lex(std::string_view text, std::vector<Token>& tokens, Error& error) {
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string_view::npos) {
        Token token{Tok::End, at, at, {}, Compare::Present};
        if (text[at] == '"') {
            const std::optional<std::string> value = Unquote(text, at);
            if (!value) {
                error = {token.at, "a quoted value without its closing '\"'"};
                return false;
            }
            token = {Tok::Quoted, token.at, at, *value, Compare::Present};
        } else if (const auto op = std::find_if(std::begin(kOperators), std::end(kOperators),
                                                [&](const Operator& o) { return text.substr(at).starts_with(o.text); });
                   op != std::end(kOperators)) {
            at += op->text.size();
            token = {op->tok, token.at, at, std::string(op->text), op->compare};
        } else if (text[at] == '&' || text[at] == '|') {
            error = {at, std::string("a lone '") + text[at] + "': and is \"&&\", or is \"||\""};
            return false;
        } else if (!LexWord(text, at, token, error)) {
            return false;
        }
        tokens.push_back(std::move(token));
    }
    tokens.push_back({Tok::End, text.size(), text.size(), {}, Compare::Present});
    return true;
}

// Decimal, or hex after 0x; nothing for anything else or a value above `largest`.
std::optional<uint64_t> Number(std::string_view text, uint64_t largest) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint64_t value = 0;
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || failed != std::errc() || end != text.data() + text.size() || value > largest)
        return std::nullopt;
    return value;
}

// A.B.C.D, first octet in the most significant byte.
std::optional<uint64_t> Ipv4(std::string_view text) {
    uint64_t address = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = octet < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos || dot == 0 || dot > 3 ||
            text.substr(0, dot).find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        const std::optional<uint64_t> value = Number(text.substr(0, dot), 255);
        if (!value)
            return std::nullopt;
        address = address << 8 | *value;
        text.remove_prefix(octet < 3 ? dot + 1 : dot);
    }
    return address;
}

// The commands the word names, as the packet list shows them: "submit_sm", or with its protocol, "SMPP:submit_sm".
std::vector<uint64_t> CommandsNamed(const NameIndex& names, std::string_view word) {
    std::string_view protocolName;
    const size_t colon = word.find(':');
    if (colon != std::string_view::npos) {
        protocolName = word.substr(0, colon);
        word.remove_prefix(colon + 1);
    }
    const std::string wanted = Lower(word);
    std::vector<uint64_t> found;
    for (const ProtocolInfo& info : protocols::kAll) {
        if (colon != std::string_view::npos && Lower(info.name) != Lower(protocolName))
            continue;
        for (const CodeName& command : names.CodeNamesOf(info.commandTable))
            if (Lower(command.name) == wanted)
                found.push_back(uint64_t(info.code) << 32 | command.code);
    }
    return found;
}

// What the table knows of a field name: whether any row has it, its raw value's type, the categories its
// value names are kept under.
struct FieldInfo {
    bool known = false;
    FieldType type = FieldType::None;
    std::vector<int32_t> categories;
};

FieldInfo InfoOf(const DecodeTable& table, std::string_view name) {
    FieldInfo info;
    for (size_t position = 0; position < table.fieldNames.size(); ++position) {
        if (table.fieldNames[position] != name)
            continue;
        info.known = true;
        if (info.type == FieldType::None)
            info.type = TypeOf(KindOf(table.rows[position]));
        if (const int32_t category = table.nameCategories[position]; category >= 0)
            info.categories.push_back(category);
    }
    if (std::any_of(table.tlvNames.begin(), table.tlvNames.end(),
                    [name](const DecodeTable::TlvFieldName& tlv) { return tlv.name == name; }))
        info = {true, FieldType::Octets, {}};
    return info;
}

// The SMPP status of a symbolic name (ESME_RTHROTTLED), case ignored.
const protocol::smpp::Status* SmppStatusNamed(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const protocol::smpp::Status& status : protocol::smpp::kStatuses)
        if (Lower(status.name) == wanted)
            return &status;
    return nullptr;
}

// The values a name gives over the categories, each once. The decode names an SMPP status by its description,
// the list by its symbolic name: either reads.
std::vector<int64_t> ValuesNamed(const NameIndex& names, const std::vector<int32_t>& categories, std::string_view name) {
    std::vector<std::string_view> spellings{name};
    if (const protocol::smpp::Status* status = SmppStatusNamed(name))
        spellings.push_back(status->description);
    std::vector<int64_t> values;
    for (const int32_t category : categories)
        for (const std::string_view spelling : spellings)
            for (const int32_t value : names.ValuesNamed(category, spelling))
                values.push_back(value);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

// The categories the answers' status fields name their values by.
std::vector<int32_t> StatusCategories(const DecodeTable& table) {
    std::vector<int32_t> categories;
    for (const int32_t id : decode_ids::kResponseStatusFields)
        if (const int32_t position = table.PositionOf(id); position >= 0 && table.nameCategories[position] >= 0)
            categories.push_back(table.nameCategories[position]);
    return categories;
}

// Reads the tokens into a tree, one rule per function: or of ands of (possibly negated) terms.
class Parser {
public:
    Parser(const std::vector<Token>& tokens, const CPacketDecoder& decoder, Error& error)
        : m_tokens(tokens), m_decoder(decoder), m_error(error) {}

    bool Filter(Node& out) {
        if (!Or(out, 0))
            return false;
        if (Peek().tok != Tok::End)
            return Fail(Peek().at, "\")\" without its \"(\"");
        return true;
    }

private:
    const Token& Peek() const { return m_tokens[m_next]; }
    const Token& Take() { return m_tokens[m_next++]; }
    bool Fail(size_t at, std::string what) {
        m_error = {at, std::move(what)};
        return false;
    }
    // Children of one operator: alone, a child is the node itself.
    static void Join(Node& out, Node::Op op, std::vector<Node>&& children) {
        if (children.size() == 1) {
            out = std::move(children.front());
            return;
        }
        out = Node{};
        out.op = op;
        out.children = std::move(children);
    }

    bool Or(Node& out, int depth) {
        std::vector<Node> children(1);
        if (!And(children.back(), depth))
            return false;
        while (Peek().tok == Tok::Or) {
            Take();
            if (!And(children.emplace_back(), depth))
                return false;
        }
        Join(out, Node::Op::Or, std::move(children));
        return true;
    }

    // Terms side by side must all hold, as with "and" between them.
    bool And(Node& out, int depth) {
        std::vector<Node> children(1);
        if (!Unary(children.back(), depth))
            return false;
        for (;;) {
            const Tok next = Peek().tok;
            if (next == Tok::And)
                Take();
            else if (next != Tok::Word && next != Tok::Not && next != Tok::Open && next != Tok::Quoted)
                break;
            if (!Unary(children.emplace_back(), depth))
                return false;
        }
        Join(out, Node::Op::And, std::move(children));
        return true;
    }

    bool Unary(Node& out, int depth) {
        if (depth > kDeepest)
            return Fail(Peek().at, "nested too deeply (" + std::to_string(kDeepest) + " levels at most)");
        if (Peek().tok != Tok::Not)
            return Primary(out, depth);
        const Token& negation = Take();
        if (Peek().tok == Tok::End)
            return Fail(negation.at, "\"" + negation.text + "\" negates nothing");
        out = Node{};
        out.op = Node::Op::Not;
        return Unary(out.children.emplace_back(), depth + 1);
    }

    bool Primary(Node& out, int depth) {
        const Token& token = Take();
        switch (token.tok) {
        case Tok::Open:
            if (!Or(out, depth + 1))
                return false;
            if (Peek().tok != Tok::Close)
                return Fail(token.at, "\"(\" without its \")\"");
            Take();
            return true;
        case Tok::Word:
            out = Node{};
            out.op = Node::Op::Term;
            return Peek().tok == Tok::Compare ? Comparison(token, out.term) : Shortcut(token, out.term);
        case Tok::End: return Fail(token.at, "a term is missing here");
        case Tok::Close: return Fail(token.at, "\")\" without its \"(\"");
        case Tok::Quoted: return Fail(token.at, "a quoted value needs a field and a comparison before it");
        default: return Fail(token.at, "\"" + token.text + "\" needs a term before it");
        }
    }

    bool Comparison(const Token& field, Term& term);
    bool ComparedValue(const Token& op, const Token& value, const FieldInfo& info, Term& term);
    bool Shortcut(const Token& word, Term& term);
    bool StatusTerm(const Token& word, std::string_view value, Term& term);
    bool NumberTerm(const Token& word, std::string_view key, std::string_view value, uint64_t largest, Term& term);

    const std::vector<Token>& m_tokens;
    const CPacketDecoder& m_decoder;
    Error& m_error;
    size_t m_next = 0;
};

bool Parser::Comparison(const Token& field, Term& term) {
    const FieldInfo info = InfoOf(m_decoder.Table(), field.text);
    if (!info.known || field.text.find('.') == std::string::npos)
        return Fail(field.at, "unknown field \"" + field.text + "\" (tarnwick-decode --list-fields lists them)");
    const Token& op = Take();
    const Token& value = Take();
    if (value.tok != Tok::Word && value.tok != Tok::Quoted)
        return Fail(value.tok == Tok::End ? op.end : value.at, "\"" + op.text + "\" needs a value after it");
    if (info.type == FieldType::None)
        return Fail(op.at, field.text + " has no value to compare; alone, it asks for its presence");
    term.kind = Kind::Field;
    term.word = field.text;
    term.type = info.type;
    term.compare = op.compare;
    return ComparedValue(op, value, info, term);
}

// The value as the field's type reads it: a number field takes numbers and its value names, text and octets
// take any text, and an expression after matches.
bool Parser::ComparedValue(const Token& op, const Token& value, const FieldInfo& info, Term& term) {
    term.value.text = value.text;
    if (info.type == FieldType::Number) {
        if (term.compare == Compare::Contains || term.compare == Compare::Matches)
            return Fail(op.at, "\"" + op.text + "\" needs a text or octets field; " + term.word + " is a number");
        const std::optional<uint64_t> number = Number(value.text, std::numeric_limits<int64_t>::max());
        if (number)
            term.value.number = static_cast<int64_t>(*number);
        term.value.named = ValuesNamed(m_decoder.Names(), info.categories, value.text);
        if (!number && term.value.named.empty())
            return Fail(value.at, "\"" + value.text + "\" is neither a number nor a value name of " + term.word);
        return true;
    }
    if (term.compare == Compare::Matches) {
        try {
            term.value.pattern = std::make_shared<const std::regex>(value.text);
        } catch (const std::regex_error& bad) {
            return Fail(value.at, "not a regular expression: " + std::string(bad.what()));
        }
    }
    return true;
}

bool Parser::NumberTerm(const Token& word, std::string_view key, std::string_view value, uint64_t largest, Term& term) {
    if (const std::optional<uint64_t> number = Number(value, largest)) {
        term.numbers = {*number};
        return true;
    }
    const char* what = term.kind == Kind::Port ? "a port number" : "a number";
    return Fail(word.at, value.empty() ? std::string(key) + ": needs a number" : word.text + ": not " + what);
}

bool Parser::Shortcut(const Token& word, Term& term) {
    const size_t colon = word.text.find(':');
    const std::string key = Lower(std::string_view(word.text).substr(0, colon));
    const std::string_view value = colon == std::string::npos ? std::string_view() : std::string_view(word.text).substr(colon + 1);
    const auto shortcut = std::find_if(std::begin(kShortcuts), std::end(kShortcuts), [&](const ShortcutTerm& s) {
        return s.key == key && s.valued == (colon != std::string::npos);
    });
    if (shortcut != std::end(kShortcuts)) {
        term.kind = shortcut->kind;
        switch (shortcut->kind) {
        case Kind::Sequence: return NumberTerm(word, key, value, std::numeric_limits<uint32_t>::max(), term);
        case Kind::Connection: return NumberTerm(word, key, value, std::numeric_limits<uint64_t>::max(), term);
        case Kind::Port: return NumberTerm(word, key, value, std::numeric_limits<uint16_t>::max(), term);
        case Kind::Status: return StatusTerm(word, value, term);
        case Kind::Ip: {
            const std::optional<uint64_t> address = Ipv4(value);
            term.numbers = {address.value_or(0)};
            return address || Fail(word.at, word.text + ": not an IPv4 address");
        }
        case Kind::Text:
            term.word = Lower(value);
            return !value.empty() || Fail(word.at, "text: needs a word");
        default: return true; // error, unanswered
        }
    }
    if (colon == std::string::npos && word.text.find('.') != std::string::npos) {
        term.kind = Kind::Field;
        term.word = word.text;
        return InfoOf(m_decoder.Table(), word.text).known ||
               Fail(word.at, "unknown field \"" + word.text + "\" (tarnwick-decode --list-fields lists them)");
    }
    term.kind = Kind::Command;
    term.numbers = CommandsNamed(m_decoder.Names(), word.text);
    if (!term.numbers.empty())
        return true;
    // A protocol's own name is the field of its header group: "smpp" asks for an SMPP record.
    if (colon == std::string::npos && InfoOf(m_decoder.Table(), word.text).known) {
        term.kind = Kind::Field;
        term.word = word.text;
        return true;
    }
    return Fail(word.at, "unknown term \"" + word.text + "\": not a command name, field or keyword");
}

// status: a number, or a name an answer's status field gives its value (ESME_RTHROTTLED).
bool Parser::StatusTerm(const Token& word, std::string_view value, Term& term) {
    term.kind = Kind::Status;
    if (value.empty())
        return Fail(word.at, "status: needs a number or a status name");
    if (const std::optional<uint64_t> number = Number(value, std::numeric_limits<uint32_t>::max())) {
        term.numbers = {*number};
        return true;
    }
    if (const protocol::smpp::Status* status = SmppStatusNamed(value))
        term.numbers.push_back(status->value);
    for (const int64_t named : ValuesNamed(m_decoder.Names(), StatusCategories(m_decoder.Table()), value))
        term.numbers.push_back(static_cast<uint64_t>(named));
    return !term.numbers.empty() || Fail(word.at, word.text + ": not a status number or name");
}

// Each node's cost, and and / or children cheapest first: a record is mostly decided before a decode is needed.
void Settle(Node& node) {
    if (node.op == Node::Op::Term) {
        node.cost = node.term.kind;
        return;
    }
    node.cost = Kind::Command;
    for (Node& child : node.children) {
        Settle(child);
        node.cost = std::max(node.cost, child.cost);
    }
    std::stable_sort(node.children.begin(), node.children.end(),
                     [](const Node& a, const Node& b) { return a.cost < b.cost; });
}

} // namespace

int Error::Column(std::string_view text) const {
    const std::string_view before = text.substr(0, std::min(at, text.size()));
    return 1 + static_cast<int>(std::count_if(before.begin(), before.end(),
                                              [](char c) { return (static_cast<uint8_t>(c) & 0xC0) != 0x80; }));
}

std::string ExpressionFor(const DecodeLine& line) {
    if (line.field.empty() || line.field == kTrailingOctetsField)
        return {};
    std::string expression(line.field);
    switch (line.type) {
    case FieldType::Number: return expression + " == " + std::to_string(line.number);
    case FieldType::Text:
    case FieldType::Octets: {
        // The value as the field's own text reads it, quoted: a short message by its text, a number by its digits.
        expression += " == \"";
        for (const char c : line.ValueText()) {
            if (c == '"' || c == '\\')
                expression.push_back('\\');
            expression.push_back(c);
        }
        return expression + '"';
    }
    default: return expression;
    }
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool Parse(std::string_view text, const CPacketDecoder& decoder, Node& out, Error& error) {
    std::vector<Token> tokens;
    if (!Lex(text, tokens, error))
        return false;
    Node root;
    if (tokens.size() > 1 && !Parser(tokens, decoder, error).Filter(root))
        return false;
    Settle(root);
    out = std::move(root);
    return true;
}

std::vector<HelpLine> Help() {
    std::vector<HelpLine> lines = {
        {"submit_sm, SMPP:deliver_sm_resp", "that command, as the list names it (case ignored)"},
        {"smpp.tlv.message_payload", "that decoded field is there (tarnwick-decode --list-fields)"},
        {"smpp.data_coding == 8", "a field compared with a number, a quoted text or a value name"},
    };
    for (const ShortcutTerm& shortcut : kShortcuts)
        lines.push_back({shortcut.written, shortcut.meaning});
    for (const Operator& op : kOperators)
        lines.push_back({op.text, op.meaning});
    for (const Operator& keyword : kKeywords)
        lines.push_back({keyword.text, keyword.meaning});
    return lines;
}

} // namespace display_filter
