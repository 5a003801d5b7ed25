#define PCRE2_CODE_UNIT_WIDTH 8

#include "NSString+Utilities.h"

#include <pcre2.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

struct PatternFree {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
using Pattern = std::unique_ptr<pcre2_code, PatternFree>;

// PCRE2 10.42 takes no null pointer, not even for no text.
PCRE2_SPTR textOf(std::string_view text) {
    return reinterpret_cast<PCRE2_SPTR>(text.empty() ? "" : text.data());
}

// `pattern` compiled as Foundation reads a regular expression (see the header), with `options`
// added; null when it does not compile.
Pattern compile(std::string_view pattern, uint32_t options) {
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) return nullptr;
    pcre2_set_newline(context, PCRE2_NEWLINE_ANY);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    Pattern compiled(pcre2_compile(textOf(pattern), pattern.size(), PCRE2_UTF | PCRE2_UCP | options,
                                   &error, &errorOffset, context));
    pcre2_compile_context_free(context);
    return compiled;
}

// Successive searches of one pattern (none: nothing is ever found) through one subject. The subject
// is checked to be UTF-8 at the first search only, so that walking every match stays linear in its
// length.
class Search {
  public:
    Search(const pcre2_code* pattern, std::string_view subject)
        : pattern_(pattern),
          subject_(subject),
          data_(pattern ? pcre2_match_data_create_from_pattern(pattern, nullptr) : nullptr) {}
    ~Search() { pcre2_match_data_free(data_); }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    // The next match at or after byte `start` (a character boundary): false when there is none.
    bool find(size_t start) {
        if (!data_) {
            failed_ = true;
            return false;
        }
        result_ = pcre2_match(pattern_, textOf(subject_), subject_.size(), start,
                              checked_ ? PCRE2_NO_UTF_CHECK : 0, data_, nullptr);
        checked_ = checked_ || result_ >= 0 || result_ == PCRE2_ERROR_NOMATCH;
        failed_ = failed_ || (result_ < 0 && result_ != PCRE2_ERROR_NOMATCH);
        return result_ >= 0;
    }
    // Whether a search failed other than by finding nothing: the subject is not UTF-8, or PCRE2
    // ran out of memory or of its limits.
    bool failed() const { return failed_; }

    // The bytes of group `n` (0: the whole match) of the last match; none when the pattern has no
    // such group or it took no part in the match.
    std::optional<std::pair<size_t, size_t>> group(uint32_t n) const {
        if (result_ < 0 || n >= pcre2_get_ovector_count(data_)) return std::nullopt;
        const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data_);
        if (offsets[2 * n] == PCRE2_UNSET) return std::nullopt;
        return std::pair<size_t, size_t>(offsets[2 * n], offsets[2 * n + 1]);
    }
    std::optional<std::string> groupText(uint32_t n) const {
        const auto bytes = group(n);
        if (!bytes) return std::nullopt;
        return std::string(subject_.substr(bytes->first, bytes->second - bytes->first));
    }

  private:
    const pcre2_code* pattern_;
    std::string_view subject_;
    pcre2_match_data* data_;
    int result_ = PCRE2_ERROR_NOMATCH;
    bool checked_ = false;
    bool failed_ = false;
};

// A name that ends in a number: what comes before it, blanks, the digits. The blanks are what
// Foundation's \s takes ([\t\n\f\r\p{Z}]; PCRE2's own \s would take the vertical tab as well).
// Compiled once and kept for the process; matching through it from several threads at once is
// safe.
const pcre2_code* numberedName() {
    static const Pattern pattern = compile(R"(^(.*)[\t\n\f\r\p{Z}]+(\d+)$)", PCRE2_CASELESS);
    return pattern.get();
}

// Foundation's intValue of a run of decimal digits: the digits 0 to 9 from the start (a digit of
// another script ends the number, so a run that starts with one reads 0), and a value past
// INT32_MAX reads as INT32_MAX: intValue saturates rather than wraps.
int32_t intValueOfDigits(std::string_view digits) {
    int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') break;
        value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(value);
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Runs of characters that are not letters, marks or digits of any script: what URL encoding
// escapes.
const pcre2_code* escapedRun() {
    static const Pattern pattern = compile(R"([^\p{L}\p{M}\p{N}]+)", 0);
    return pattern.get();
}

void appendPercentEncoded(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const unsigned char byte : bytes) {
        out.push_back('%');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 15]);
    }
}

}  // namespace

std::string increment(std::string_view name) {
    Search search(numberedName(), name);
    if (!search.find(0)) return std::string(name) + " 2";
    // Read as a 32-bit integer, then counted on in 64 bits: the number after INT32_MAX is
    // 2147483648, not a negative one.
    const int64_t next = int64_t(intValueOfDigits(*search.groupText(2))) + 1;
    return *search.groupText(1) + " " + std::to_string(next);
}

std::optional<std::string> regex(std::string_view string, std::string_view pattern) {
    const Pattern compiled = compile(pattern, PCRE2_CASELESS);
    Search search(compiled.get(), string);
    if (!search.find(0)) return std::nullopt;
    return search.groupText(1);
}

int32_t numberWithPostfix(std::string_view string, std::string_view postfix) {
    const std::optional<std::string> digits = regex(string, R"((\d+))" + std::string(postfix));
    return digits ? intValueOfDigits(*digits) : 0;
}

std::string urlEncoded(std::string_view text) {
    std::string straightened(text);
    replaceAll(straightened, "\u201D", "\"");  // ”
    replaceAll(straightened, "\u201C", "\"");  // “
    replaceAll(straightened, "\u2019", "'");   // ’
    replaceAll(straightened, "\u2018", "'");   // ‘
    // A typographic quote is one whole character: replacing it never makes bytes that were not
    // UTF-8 into UTF-8, so checking the straightened text is checking `text`.
    const std::string_view subject = straightened;
    Search search(escapedRun(), subject);
    std::string encoded;
    size_t copied = 0;
    while (search.find(copied)) {
        const auto [start, end] = *search.group(0);
        encoded.append(subject.substr(copied, start - copied));
        appendPercentEncoded(encoded, subject.substr(start, end - start));
        copied = end;
    }
    if (search.failed()) return "";
    encoded.append(subject.substr(copied));
    return encoded;
}
