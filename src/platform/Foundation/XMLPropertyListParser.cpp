// The XML module: XML property lists parsed with libxml2 (XMLPropertyListModule.h).

#include "XMLPropertyListModule.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "ArchiveLimits.h"
#include "LoadableModule.h"

namespace plist {
namespace {

[[noreturn]] void fail(const std::string& reason) {
    raiseXMLPropertyListError(reason);
}

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Entities are never substituted (no XML_PARSE_NOENT): a reference to one, internal or external,
// stays a node of its own and is refused here, naming it, rather than expanded or fetched.
[[noreturn]] void failEntityReference(const char* where, const xmlNode* reference) {
    fail(std::string(where) + " holds a reference to the entity &" +
         reinterpret_cast<const char*>(reference->name) + ";, which is not expanded");
}

const xmlNode* nextElement(const xmlNode* node) {
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) return node;
        if (node->type == XML_TEXT_NODE || node->type == XML_COMMENT_NODE ||
            node->type == XML_PI_NODE)
            continue;
        if (node->type == XML_ENTITY_REF_NODE)
            failEntityReference("the space between elements", node);
        fail("unexpected content between elements");
    }
    return nullptr;
}

// The character content of a leaf element; entity references are refused rather than expanded.
std::string textOf(const xmlNode* element) {
    std::string text;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            if (child->content) text += reinterpret_cast<const char*>(child->content);
        } else if (child->type == XML_COMMENT_NODE) {
            continue;
        } else if (child->type == XML_ENTITY_REF_NODE) {
            failEntityReference(
                (std::string("<") + reinterpret_cast<const char*>(element->name) + ">").c_str(),
                child);
        } else {
            fail(std::string("<") + reinterpret_cast<const char*>(element->name) +
                 "> holds markup");
        }
    }
    return text;
}

std::string trimmed(const std::string& s) {
    const char* space = " \t\r\n";
    const size_t first = s.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

Integer parseInteger(const std::string& raw) {
    std::string s = trimmed(raw);
    bool negative = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    if (s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) fail("<integer> \"" + raw + "\" has no digits");
    uint64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit = c >= '0' && c <= '9'                 ? c - '0'
                    : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
        if (digit < 0) fail("<integer> \"" + raw + "\" is not a number");
        if (__builtin_mul_overflow(magnitude, static_cast<uint64_t>(base), &magnitude) ||
            __builtin_add_overflow(magnitude, static_cast<uint64_t>(digit), &magnitude))
            fail("<integer> \"" + raw + "\" is out of range");
    }
    if (!negative) return Integer::fromUnsigned(magnitude);
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1)
        fail("<integer> \"" + raw + "\" is out of range");
    return Integer::fromSigned(static_cast<int64_t>(0 - magnitude));
}

double parseReal(const std::string& raw) {
    const std::string s = trimmed(raw);
    if (s.empty()) fail("<real> is empty");
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size()) fail("<real> \"" + raw + "\" is not a number");
    return value;
}

// Seconds since 2001-01-01 00:00:00 UTC, from "YYYY-MM-DDTHH:MM:SSZ".
double parseDate(const std::string& raw) {
    const std::string s = trimmed(raw);
    struct tm parts {};
    char zone = 0;
    int consumed = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &zone,
                    &consumed) != 7 ||
        zone != 'Z' || static_cast<size_t>(consumed) != s.size())
        fail("<date> \"" + raw + "\" is not of the form YYYY-MM-DDTHH:MM:SSZ");
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    constexpr double kUnixToReferenceDate = 978307200.0;
    return static_cast<double>(timegm(&parts)) - kUnixToReferenceDate;
}

Bytes parseBase64(const std::string& text) {
    auto owner = std::make_shared<std::vector<uint8_t>>();
    owner->reserve(text.size() / 4 * 3);
    uint32_t accumulator = 0;
    int bits = 0;
    bool padding = false;
    for (unsigned char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else if (c == '=') {
            padding = true;
            continue;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        else
            fail("<data> holds a character that is not base64");
        if (padding) fail("<data> continues after its padding");
        accumulator = (accumulator << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            owner->push_back(static_cast<uint8_t>(accumulator >> bits));
        }
    }
    std::span<const uint8_t> view(owner->data(), owner->size());
    return {std::move(owner), view};
}

Value convert(const xmlNode* node, unsigned depth);

Value convertDictionary(const xmlNode* node, unsigned depth) {
    std::vector<std::pair<Value, Value>> entries;
    for (const xmlNode* key = nextElement(node->children); key;) {
        if (!named(key, "key"))
            fail("<dict> holds an element other than <key> where a key belongs");
        const xmlNode* value = nextElement(key->next);
        if (!value) fail("<dict> key \"" + textOf(key) + "\" has no value");
        entries.emplace_back(Value::string(textOf(key)), convert(value, depth + 1));
        key = nextElement(value->next);
    }
    // CoreFoundation turns {CF$UID: integer} into a UID.
    if (entries.size() == 1 && entries[0].first.stringValue() == "CF$UID" &&
        entries[0].second.kind() == Kind::Integer) {
        const Integer uid = entries[0].second.integerValue();
        if (uid.isUnsigned || uid.signedValue() < 0 || uid.bits > UINT32_MAX)
            fail("CF$UID is out of range");
        return Value::uid(uid.bits);
    }
    return Value::dictionary(std::move(entries));
}

Value convert(const xmlNode* node, unsigned depth) {
    if (depth > ArchiveLimits::kMaxNestingDepth)
        fail("nests deeper than " + std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
    if (named(node, "dict")) return convertDictionary(node, depth);
    if (named(node, "array")) {
        std::vector<Value> elements;
        for (const xmlNode* child = nextElement(node->children); child;
             child = nextElement(child->next))
            elements.push_back(convert(child, depth + 1));
        return Value::array(std::move(elements));
    }
    if (named(node, "string")) return Value::string(textOf(node));
    if (named(node, "integer")) return Value::integer(parseInteger(textOf(node)));
    if (named(node, "real")) return Value::real({parseReal(textOf(node)), false});
    if (named(node, "true")) return Value::boolean(true);
    if (named(node, "false")) return Value::boolean(false);
    if (named(node, "date")) return Value::date(parseDate(textOf(node)));
    if (named(node, "data")) return Value::data(parseBase64(textOf(node)));
    fail(std::string("unknown element <") + reinterpret_cast<const char*>(node->name) + ">");
}

struct DocumentDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

void ignoreGenericError(void*, const char*, ...) {}

// libxml2 reports some errors (a failed encoding conversion, for one) through its generic error
// handler even with XML_PARSE_NOERROR, which prints them on stderr; the exception carries the
// reason instead. The handler is per thread in libxml2, and is put back afterwards.
class SilencedGenericErrors {
  public:
    SilencedGenericErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
    }
    ~SilencedGenericErrors() { xmlSetGenericErrorFunc(context_, handler_); }
    SilencedGenericErrors(const SilencedGenericErrors&) = delete;
    SilencedGenericErrors& operator=(const SilencedGenericErrors&) = delete;

  private:
    xmlGenericErrorFunc handler_;
    void* context_;
};

Value parseWithLibxml2(std::span<const uint8_t> bytes) {
    // No network, no error printing; entities are neither substituted nor loaded (no
    // XML_PARSE_NOENT, no XML_PARSE_DTDLOAD), and libxml2's own limits on depth and entity growth
    // stay in force.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    const SilencedGenericErrors silenced;
    std::unique_ptr<xmlDoc, DocumentDeleter> doc(
        xmlReadMemory(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                      "plist.xml", nullptr, options));
    if (!doc) {
        const xmlError* error = xmlGetLastError();
        std::string message = error && error->message ? trimmed(error->message) : "not well-formed";
        // libxml2's own depth limit (xmlParserMaxDepth, 256 elements) comes before ours of
        // ArchiveLimits::kMaxNestingDepth; its message suggests a parser option, which means
        // nothing to a user, so the reason is said in our words.
        if (error && error->code == XML_ERR_INTERNAL_ERROR &&
            message.starts_with("Excessive depth in document"))
            message = "elements nest deeper than " + std::to_string(xmlParserMaxDepth) +
                      " levels (line " + std::to_string(error->line) + ")";
        // libxml2 says "entity reference loop" also for entities that merely expand too much
        // (billion laughs), which it stops while checking them; they would not have been expanded
        // anyway.
        if (error && error->code == XML_ERR_ENTITY_LOOP)
            message = "entities refer to one another in a loop or expand too much (line " +
                      std::to_string(error->line) + ")";
        xmlResetLastError();
        fail(message);
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root) fail("has no root element");
    if (named(root, "plist")) {
        root = nextElement(root->children);
        if (!root) fail("<plist> is empty");
    }
    return convert(root, 0);
}

}  // namespace
}  // namespace plist

VANTLER_MODULE_ENTRY(VantlerXMLModule, plist::XMLModule) {
    static constexpr plist::XMLModule kTable{plist::parseWithLibxml2};
    return &kTable;
}
