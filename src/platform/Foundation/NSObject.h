#pragma once
// The root class of every archivable object. A class is described by an NSClass record: its name as
// archives record it and its superclass, so that an archive can write the "$classes" chain and a
// reader can find the class of every stored object by name.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

class NSCoder;

// The index answered for an element that is not in a collection (the largest signed integer).
inline constexpr int64_t NSNotFound = INT64_MAX;

struct NSClass {
    const char* name;
    const NSClass* superclass;  // none for the root class
};

// The class record of an archivable class, declared in its body: `T::objcClass()` is the class an
// archive names, chained to its superclass's record, and every instance reports it to the archiver.
// Written without a semicolon: NS_CLASS_RECORD("NSMutableArray", NSArray::objcClass())
#define NS_CLASS_RECORD(Name, SuperclassRecord)              \
    static const NSClass& objcClass() {                      \
        static const NSClass cls{Name, &(SuperclassRecord)}; \
        return cls;                                          \
    }                                                        \
    const NSClass& classForKeyedArchiver() const override {  \
        return objcClass();                                  \
    }

class NSObject : public std::enable_shared_from_this<NSObject> {
  public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    static const NSClass& objcClass() {
        static const NSClass cls{"NSObject", nullptr};
        return cls;
    }
    // The class an archive records for this object (Foundation's classForKeyedArchiver).
    virtual const NSClass& classForKeyedArchiver() const { return objcClass(); }
    std::string className() const { return classForKeyedArchiver().name; }

    // Equality and hash as Foundation defines them: identity unless a class says otherwise.
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    // isEqual: with an argument that may be none, which is never equal. A class that overrides
    // isEqual brings this form back with `using NSObject::isEqual;`.
    bool isEqual(const NSObject* other) const { return other && isEqual(*other); }
    virtual size_t hash() const { return std::hash<const void*>()(this); }

    // Archiving. initWithCoder fills an instance that the unarchiver made and registered
    // already; it returns false when the object "yields none", so that every reference to it
    // decodes as none. The default keeps nothing and decodes nothing.
    virtual void encodeWithCoder(NSCoder&) const {}
    virtual bool initWithCoder(NSCoder&) { return true; }
};

// Whether an object's recorded class is cls or a subclass of it.
inline bool isKindOfClass(const NSObject& object, const NSClass& cls) {
    for (const NSClass* c = &object.classForKeyedArchiver(); c; c = c->superclass)
        if (c == &cls) return true;
    return false;
}

#pragma GCC visibility pop
