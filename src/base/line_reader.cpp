#include "base/line_reader.h"

#include "base/number_text.h"

namespace {

std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    return line;
}

bool holdsControlCharacter(std::string_view line) {
    for (const char ch : line)
        if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\r') || ch == 0x7F)
            return true;
    return false;
}

} // namespace

LineReader::LineReader(std::string_view text, std::size_t lineLimit)
    : rest_(text), limit_(lineLimit) {
    if (rest_.rfind("\xEF\xBB\xBF", 0) == 0) rest_.remove_prefix(3);
}

std::optional<TextLine> LineReader::next() {
    while (!rest_.empty() && problem_.empty()) {
        ++number_;
        const auto end = rest_.find('\n');
        const std::string_view raw = rest_.substr(0, end);
        rest_.remove_prefix(end == rest_.npos ? rest_.size() : end + 1);
        if (raw.size() > limit_)
            problem_ = "the line is too long";
        else if (holdsControlCharacter(raw))
            problem_ = "the line holds a control character";
        if (!problem_.empty()) {
            problemLine_ = number_;
            return std::nullopt;
        }
        TextLine line;
        line.number = number_;
        line.text = trimmed(withoutComment(raw));
        if (line.text.empty()) continue;
        if (line.text.front() == '[') {
            if (line.text.back() != ']') {
                problem_ = "a section name ends with ']'";
                problemLine_ = number_;
                return std::nullopt;
            }
            line.kind = TextLine::Kind::section;
            line.head = trimmed(line.text.substr(1, line.text.size() - 2));
            section_ = line.head;
            sectionLine_ = number_;
        } else if (const auto eq = line.text.find('='); eq != line.text.npos) {
            line.kind = TextLine::Kind::entry;
            line.key = trimmed(line.text.substr(0, eq));
            line.value = trimmed(line.text.substr(eq + 1));
        }
        line.section = section_;
        line.sectionLine = sectionLine_;
        return line;
    }
    return std::nullopt;
}
