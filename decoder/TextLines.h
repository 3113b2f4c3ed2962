// Decode lines of a text protocol's frame, which its codec reads and the table walk cannot: groups, fields
// "<label>: name = value" with their stable names and an error line, shared by UCP/EMI and CIMD2.
#pragma once

#include "decoder/DecodeLine.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text_lines {

// The icons of a text frame's lines, those of the binary protocols' header and body.
inline constexpr int32_t kCaptureHeaderField = 159, kHeaderGroup = 160, kHeaderField = 156, kBodyGroup = 161,
                         kBodyField = 163;

// Builds the lines of one frame whose STX sits at `base` in the record. A field's line id is firstId plus
// the place of its stable name in `names` ("<protocol>.<name>"); `prefix` is "<label>: ".
class Lines {
public:
    Lines(std::vector<DecodeLine>& lines, int32_t base, std::string_view prefix, std::string_view protocol,
          const std::vector<std::string>& names, int32_t firstId)
        : m_lines(lines), m_base(base), m_prefix(prefix), m_protocol(protocol), m_names(names), m_firstId(firstId) {}

    void Group(std::string_view title, int32_t at, int32_t width, int32_t icon) {
        m_lines.push_back({m_firstId, std::string(m_prefix) + "----- " + std::string(title) + " -----", m_base + at,
                           width, icon, 1});
        DecodeLine& line = m_lines.back();
        line.valueAt = line.valueEnd = int32_t(line.text.size());
        line.label = Label();
        line.SpellName(m_prefix.size(), line.text.size());
    }
    // A field's line "<label>: shown = value", its stable name "<protocol>.name"; valueName, when given,
    // follows as " (name)".
    DecodeLine& Field(std::string_view name, std::string_view shown, std::string_view value, int32_t at,
                      int32_t width, int32_t icon, std::string_view valueName = {}) {
        const std::string field = std::string(m_protocol) + "." + std::string(name);
        const auto place = std::find(m_names.begin(), m_names.end(), field);
        std::string text = std::string(m_prefix) + std::string(shown) + " = ";
        const auto valueAt = int32_t(text.size());
        text += value;
        m_lines.push_back({m_firstId + int32_t(place - m_names.begin()), std::move(text), m_base + at, width, icon, 0});
        DecodeLine& line = m_lines.back();
        line.field = place == m_names.end() ? std::string_view{} : std::string_view(*place);
        line.type = FieldType::Text;
        line.label = Label();
        line.SpellName(m_prefix.size(), size_t(valueAt) - 3);
        line.valueAt = valueAt;
        line.valueEnd = int32_t(line.text.size());
        if (!valueName.empty()) {
            line.text.append(" (").append(valueName).push_back(')');
            line.nameEnd = int32_t(line.text.size()) - 1;
        }
        return line;
    }
    DecodeLine& Field(std::string_view name, std::string_view value, int32_t at, int32_t width, int32_t icon,
                      std::string_view valueName = {}) {
        return Field(name, name, value, at, width, icon, valueName);
    }
    // A field whose value is digits, a Number when they read as one.
    DecodeLine& Number(std::string_view name, std::string_view shown, std::string_view digits, int32_t at,
                       int32_t icon, std::string_view valueName = {}) {
        DecodeLine& line = Field(name, shown, digits, at, int32_t(digits.size()), icon, valueName);
        int64_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error == std::errc() && end == digits.data() + digits.size()) { // shown before it is checked
            line.type = FieldType::Number;
            line.number = value;
        }
        return line;
    }
    DecodeLine& Number(std::string_view name, std::string_view digits, int32_t at, int32_t icon,
                       std::string_view valueName = {}) {
        return Number(name, name, digits, at, icon, valueName);
    }
    // The error line: its whole text shown, under the field name "<protocol>.error".
    void Error(const std::string& text, int32_t at, int32_t width, int32_t icon) {
        DecodeLine& line = Field("error", "", at, width, icon);
        line.text = text;
        line.type = FieldType::None;
        line.valueAt = 0;
        line.valueEnd = int32_t(text.size());
        line.rowName = "error";
        line.nameAt = -1;
    }
    std::size_t Count() const { return m_lines.size(); }

private:
    // "UCP" of the prefix "UCP: ".
    std::string_view Label() const { return m_prefix.substr(0, m_prefix.find(':')); }

    std::vector<DecodeLine>& m_lines;
    int32_t m_base;
    std::string_view m_prefix;
    std::string_view m_protocol;
    const std::vector<std::string>& m_names;
    int32_t m_firstId;
};

// An error or status code as both protocols write it, 1 to 4 digits; nothing for any other text, which then
// names no code.
inline std::optional<unsigned> CodeNumber(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || digits.size() > 4 || error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

// One frame's lines: its header when that reads, then its body, or for a frame its codec refuses the error
// line, standing in the group it follows (the header's, or the capture header's when none was read). False
// after an error.
template <typename AddHeader, typename ErrorText, typename AddBody>
bool AddFrame(Lines& out, int32_t size, bool headerRead, std::optional<int32_t> faultOffset, AddHeader addHeader,
              ErrorText errorText, AddBody addBody) {
    if (headerRead)
        addHeader();
    if (faultOffset) {
        out.Error(errorText(), *faultOffset, size - *faultOffset, headerRead ? kHeaderField : kCaptureHeaderField);
        return false;
    }
    addBody();
    return true;
}

} // namespace text_lines
