#pragma once
// JSON text written as it is produced: objects and arrays opened and closed in order, members
// named before their values, two spaces of indentation per level. Numbers that JSON cannot spell
// (NaN, infinities) are written as null.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// `text` as a JSON string literal, quotes included.
std::string jsonQuoted(std::string_view text);

class JSONWriter {
  public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the open object; the writer, for the member's value.
    JSONWriter& key(std::string_view name);

    void string(std::string_view text);
    void number(double value);
    void integer(int64_t value);
    void boolean(bool value);
    void null();
    // A two-number array on one line: a point or a size.
    void pair(double first, double second);

    // The text so far, ended with a newline.
    std::string finished() const { return out_ + "\n"; }

  private:
    // Before a value: the comma and line break after the previous member or element.
    void beforeValue();
    void open(char bracket);
    void close(char bracket);

    struct Level {
        bool empty = true;
    };
    std::string out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};
