#include "JSONWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

void JSONWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    out_ += levels_.back().empty ? "\n" : ",\n";
    levels_.back().empty = false;
    out_.append(2 * levels_.size(), ' ');
}

void JSONWriter::open(char bracket) {
    beforeValue();
    out_.push_back(bracket);
    levels_.push_back({});
}

void JSONWriter::close(char bracket) {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        out_ += "\n";
        out_.append(2 * levels_.size(), ' ');
    }
    out_.push_back(bracket);
}

void JSONWriter::beginObject() {
    open('{');
}

void JSONWriter::endObject() {
    close('}');
}

void JSONWriter::beginArray() {
    open('[');
}

void JSONWriter::endArray() {
    close(']');
}

JSONWriter& JSONWriter::key(std::string_view name) {
    beforeValue();
    out_ += jsonQuoted(name) + ": ";
    afterKey_ = true;
    return *this;
}

void JSONWriter::string(std::string_view text) {
    beforeValue();
    out_ += jsonQuoted(text);
}

namespace {

// The shortest text that reads back as the same double; null where JSON has no number.
std::string numberText(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

}  // namespace

void JSONWriter::number(double value) {
    beforeValue();
    out_ += numberText(value);
}

void JSONWriter::integer(int64_t value) {
    beforeValue();
    out_ += std::to_string(value);
}

void JSONWriter::boolean(bool value) {
    beforeValue();
    out_ += value ? "true" : "false";
}

void JSONWriter::null() {
    beforeValue();
    out_ += "null";
}

void JSONWriter::pair(double first, double second) {
    beforeValue();
    out_ += "[" + numberText(first) + ", " + numberText(second) + "]";
}
