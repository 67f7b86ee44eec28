#pragma once
// The lines of the program's hand-written text files (firing programs, the
// bridge's config, the alarm rules, the Line panel's list), read one way:
//
// - a UTF-8 byte-order mark at the start is skipped (editors on Windows
//   write one);
// - a '#' starts a comment at the start of a line or after a blank, and
//   nowhere else, so a value may hold one: a URL's fragment, a device name;
// - a line longer than the file's limit, or holding a control character
//   (any below a space but the tab and a carriage return, and DEL), stops
//   the reading: such a line is no text anyone meant to write;
// - what is left, trimmed, is a [section], a "key = value" or a bare line;
//   empty lines and comments are passed over.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct TextLine {
    enum class Kind { section, entry, bare };
    Kind kind = Kind::bare;
    int number = 0;         // counted from 1
    std::string_view text;  // the line, without its comment and blanks
    std::string_view head;  // a section's words between '[' and ']', trimmed
    std::string_view key;   // an entry's, trimmed
    std::string_view value; // an entry's, trimmed
    std::string_view section; // the head of the section the line stands in
    int sectionLine = 0;      // where that section began; 0 before any
};

class LineReader {
public:
    static constexpr std::size_t kDefaultLimit = 1024;
    // text must outlive the reader and the lines it gives.
    explicit LineReader(std::string_view text, std::size_t lineLimit = kDefaultLimit);

    // The next line that holds something, or nullopt at the end of the
    // text and at a line that stops the reading (problem() then says why).
    std::optional<TextLine> next();

    // Why the reading stopped before the end, with problemLine() the
    // line's number; empty when it did not. A line that opens a section
    // without closing it is one.
    const std::string& problem() const { return problem_; }
    int problemLine() const { return problemLine_; }

private:
    std::string_view rest_;
    std::size_t limit_;
    int number_ = 0;
    std::string_view section_;
    int sectionLine_ = 0;
    std::string problem_;
    int problemLine_ = 0;
};
