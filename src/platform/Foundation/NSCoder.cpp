#include "NSCoder.h"

namespace {
[[noreturn]] void raiseAbstract(const char* selector) {
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[NSCoder ") + selector + "] only defined for abstract class");
}
}  // namespace

void NSCoder::encodeObject_forKey(const std::shared_ptr<const NSObject>&, std::string_view) {
    raiseAbstract("encodeObject:forKey:");
}
void NSCoder::encodeConditionalObject_forKey(const std::shared_ptr<const NSObject>&,
                                             std::string_view) {
    raiseAbstract("encodeConditionalObject:forKey:");
}
void NSCoder::encodeBool_forKey(bool, std::string_view) {
    raiseAbstract("encodeBool:forKey:");
}
void NSCoder::encodeInteger_forKey(int64_t, std::string_view) {
    raiseAbstract("encodeInteger:forKey:");
}
void NSCoder::encodeInt64_forKey(int64_t, std::string_view) {
    raiseAbstract("encodeInt64:forKey:");
}
void NSCoder::encodeInt_forKey(int32_t, std::string_view) {
    raiseAbstract("encodeInt:forKey:");
}
void NSCoder::encodeFloat_forKey(float, std::string_view) {
    raiseAbstract("encodeFloat:forKey:");
}
void NSCoder::encodeDouble_forKey(double, std::string_view) {
    raiseAbstract("encodeDouble:forKey:");
}
void NSCoder::encodeBytes_length_forKey(const uint8_t*, size_t, std::string_view) {
    raiseAbstract("encodeBytes:length:forKey:");
}
std::shared_ptr<NSObject> NSCoder::decodeObjectForKey(std::string_view) {
    raiseAbstract("decodeObjectForKey:");
}
bool NSCoder::decodeBoolForKey(std::string_view) {
    raiseAbstract("decodeBoolForKey:");
}
int64_t NSCoder::decodeIntegerForKey(std::string_view) {
    raiseAbstract("decodeIntegerForKey:");
}
int64_t NSCoder::decodeInt64ForKey(std::string_view) {
    raiseAbstract("decodeInt64ForKey:");
}
int32_t NSCoder::decodeIntForKey(std::string_view) {
    raiseAbstract("decodeIntForKey:");
}
float NSCoder::decodeFloatForKey(std::string_view) {
    raiseAbstract("decodeFloatForKey:");
}
double NSCoder::decodeDoubleForKey(std::string_view) {
    raiseAbstract("decodeDoubleForKey:");
}
const uint8_t* NSCoder::decodeBytesForKey_returnedLength(std::string_view, size_t*) {
    raiseAbstract("decodeBytesForKey:returnedLength:");
}
bool NSCoder::containsValueForKey(std::string_view) {
    raiseAbstract("containsValueForKey:");
}
void NSCoder::encodeArrayOfObjects_forKey(const std::vector<std::shared_ptr<NSObject>>&,
                                          std::string_view) {
    raiseAbstract("_encodeArrayOfObjects:forKey:");
}
std::vector<std::shared_ptr<NSObject>> NSCoder::decodeArrayOfObjectsForKey(std::string_view) {
    raiseAbstract("_decodeArrayOfObjectsForKey:");
}
void NSCoder::encodeString_forKey(std::string_view, std::string_view) {
    raiseAbstract("_encodePropertyList:forKey:");
}
std::optional<std::string> NSCoder::decodeStringForKey(std::string_view) {
    raiseAbstract("_decodePropertyListForKey:");
}

void NSCoder::raiseUnexpectedClass(std::string_view key, const NSObject& object,
                                   const NSClass& expected) const {
    NSException::raise(NSInvalidUnarchiveOperationException,
                       "value for key '" + std::string(key) + "' was of unexpected class '" +
                           object.className() + "' (expected '" + expected.name + "')");
}

void NSCoder::raiseUnexpectedElementClass(std::string_view key, const NSObject& object,
                                          const NSClass& expected) const {
    NSException::raise(NSInvalidUnarchiveOperationException,
                       "array for key '" + std::string(key) + "' holds an object of class '" +
                           object.className() + "' (expected '" + expected.name + "')");
}
