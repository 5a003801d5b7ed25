#include "CTFontSubstitution.h"

#include <algorithm>
#include <array>

namespace CoreTextPrivate {

namespace {

struct Substitution {
    std::string_view base;
    std::string_view family;
};

// Longer bases first, so that "Helvetica Neue" is not read as "Helvetica" with a style " Neue".
constexpr auto kSubstitutions = [] {
    std::array<Substitution, 22> table{{
        {"Helvetica", "Liberation Sans"},
        {"Helvetica Neue", "Liberation Sans"},
        {"HelveticaNeue", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Times", "Liberation Serif"},
        {"Times New Roman", "Liberation Serif"},
        {"TimesNewRoman", "Liberation Serif"},
        {"Courier", "Liberation Mono"},
        {"Courier New", "Liberation Mono"},
        {"CourierNew", "Liberation Mono"},
        {".AppleSystemUIFont", "Inter"},
        {".SFNS", "Inter"},
        {".SFNSText", "Inter"},
        {".SFNSDisplay", "Inter"},
        {"SF Pro", "Inter"},
        {"SF Pro Text", "Inter"},
        {"SF Pro Display", "Inter"},
        {"SFPro", "Inter"},
        {"SFProText", "Inter"},
        {"SFProDisplay", "Inter"},
        {"San Francisco", "Inter"},
        {"System Font", "Inter"},
    }};
    std::sort(table.begin(), table.end(), [](const Substitution& a, const Substitution& b) {
        return a.base.size() > b.base.size();
    });
    return table;
}();

struct StyleWord {
    std::string_view word;
    int weight;  // 0: not a weight
    bool italic;
};

constexpr std::array<StyleWord, 22> kStyleWords{{
    {"Thin", 100, false},   {"ExtraLight", 200, false}, {"UltraLight", 200, false},
    {"Light", 300, false},  {"Regular", 400, false},    {"Roman", 400, false},
    {"Book", 400, false},   {"Normal", 400, false},     {"Plain", 400, false},
    {"Medium", 500, false}, {"SemiBold", 600, false},   {"DemiBold", 600, false},
    {"Bold", 700, false},   {"ExtraBold", 800, false},  {"UltraBold", 800, false},
    {"Heavy", 800, false},  {"Black", 900, false},      {"Italic", 0, true},
    {"Oblique", 0, true},   {"Condensed", 0, false},    {"Narrow", 0, false},
    {"MT", 0, false},  // Monotype's tag closing Apple's Arial, Times New Roman and Courier New
                       // names
}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lower(s[i]) != lower(prefix[i])) return false;
    return true;
}

// Reads the style words of `style` into `request`; false when something else is there.
bool readStyle(std::string_view style, FontRequest& request) {
    while (!style.empty()) {
        if (style.front() == ' ' || style.front() == '-') {
            style.remove_prefix(1);
            continue;
        }
        const StyleWord* longest = nullptr;
        for (const StyleWord& word : kStyleWords)
            if (startsWithIgnoringCase(style, word.word) &&
                (!longest || word.word.size() > longest->word.size()))
                longest = &word;
        if (!longest) return false;
        if (longest->weight) request.weight = longest->weight;
        request.italic = request.italic || longest->italic;
        style.remove_prefix(longest->word.size());
    }
    return true;
}

}  // namespace

std::optional<FontRequest> substitutedFontRequest(std::string_view name) {
    for (const Substitution& substitution : kSubstitutions) {
        if (!startsWithIgnoringCase(name, substitution.base)) continue;
        std::string_view rest = name.substr(substitution.base.size());
        // Monotype's PostScript names put "PS" straight after the family ("TimesNewRomanPS-BoldMT",
        // "CourierNewPSMT") and "MT" after the family or the style ("ArialMT", "Arial-BoldMT").
        if (startsWithIgnoringCase(rest, "PS")) rest.remove_prefix(2);
        if (startsWithIgnoringCase(rest, "MT")) rest.remove_prefix(2);
        if (!rest.empty() && rest.front() != '-' && rest.front() != ' ') continue;
        FontRequest request{std::string(substitution.family)};
        if (readStyle(rest, request)) return request;
    }
    return std::nullopt;
}

}  // namespace CoreTextPrivate
