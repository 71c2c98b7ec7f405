#pragma once
// Reads the program's text files (the log, information files, registry text) line by
// line the way they have always been read: a line ends at a CR, together with the LF
// right after it if there is one; a lone LF stays part of the line.
#include <string_view>

namespace quarnel::platform {

class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  // At the end, or where the next line is empty (or begins with a lone LF): where the
  // readers that stop at the first empty line stop.
  bool AtEmptyLine() const { return AtEnd() || text_[pos_] == '\r' || text_[pos_] == '\n'; }

  std::string_view Next() {
    std::size_t end = text_.find('\r', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    return line;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace quarnel::platform
