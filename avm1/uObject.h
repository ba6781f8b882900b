// Script objects: an ordered property table with flags and accessors, the
// prototype link, and what makes an object special (function code, native
// function, array, movie clip, wrapped primitive). Objects are owned by the
// runtime's heap; pointers between them are plain and the heap collects.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "avm1/uValue.h"

namespace zembra::avm1 {

class Runtime;
struct Scope;
struct FunctionCode;

enum PropFlag : uint16_t {
    kDontEnum = 1,
    kDontDelete = 2,
    kReadOnly = 4,
    // Visible only to movies of at least this version (ASSetPropFlags).
    kVersion6 = 0x80,
    kVersion7 = 0x100,
    kVersion7b = 0x400,
    kVersion8 = 0x1000,
    kVersion9 = 0x2000,
    kVersion10 = 0x4000,
    kVersionMask = kVersion6 | kVersion7 | kVersion7b | kVersion8 | kVersion9 | kVersion10,
};

// True when the property's version flags hide it from this movie.
inline bool HiddenForVersion(uint16_t flags, int version) {
    return ((flags & kVersion6) && version < 6) || ((flags & kVersion7) && version == 6) ||
           ((flags & kVersion7b) && version < 7) || ((flags & kVersion8) && version < 8) ||
           ((flags & kVersion9) && version < 9) || ((flags & kVersion10) && version < 10);
}

struct Property {
    std::string name;
    Value value;
    uint16_t flags = 0;
    Object* getter = nullptr; // addProperty accessors
    Object* setter = nullptr;
    bool alive = true;
};

enum class ObjKind : uint8_t {
    Plain,
    Function,
    Array,
    Clip,
    Boolean,
    Number,
    String,
    Date,
    Error,
    Super,
    Activation,
    XmlNode, // XMLNode and XML: the node's data lives in `extra`
};

// State a built-in class keeps outside the property table (a BitmapData's
// pixels); freed with the object.
struct NativeData {
    virtual ~NativeData() = default;
};

using Args = std::vector<Value>;
using NativeFn = Value (*)(Runtime& rt, Object* self, const Value& thisv, Args& args);

// Case folding of property names before version 7.
struct NameHash {
    bool caseSensitive = true;
    size_t operator()(const std::string& s) const;
};
struct NameEq {
    bool caseSensitive = true;
    bool operator()(const std::string& a, const std::string& b) const;
};

bool NamesEqual(const std::string& a, const std::string& b, bool caseSensitive);

class Object {
  public:
    explicit Object(bool caseSensitive);

    Object* proto = nullptr;
    ObjKind kind = ObjKind::Plain;
    Value primitive; // Boolean/Number/String wrappers, Date time

    // Functions.
    NativeFn native = nullptr;
    int nativeTag = 0;             // ASnative / shared implementations
    NativeFn nativeCtor = nullptr; // what `new` runs when it differs
    std::shared_ptr<FunctionCode> code;
    std::shared_ptr<Scope> scope;
    bool IsFunction() const { return kind == ObjKind::Function; }

    // Movie clips: the host's handle.
    uint32_t clip = 0;

    // Watchpoints (Object.watch): name -> callback and its user data.
    struct Watch {
        Object* callback;
        Value data;
    };
    std::unordered_map<std::string, Watch, NameHash, NameEq> watches;
    bool hasResolveCache = false;

    bool caseSensitive() const { return index_.hash_function().caseSensitive; }

    Property* Find(const std::string& name);
    const Property* Find(const std::string& name) const;
    // Adds or replaces the value of an own property (flags kept when it exists).
    Property& Put(const std::string& name, Value v, uint16_t flagsIfNew = 0);
    bool Remove(const std::string& name);
    // Own properties, most recently added first (the player's for..in order).
    std::vector<const Property*> OwnInReverse() const;
    std::vector<Property*> OwnInOrder();
    size_t OwnCount() const { return index_.size(); }

    // Heap bookkeeping.
    bool marked = false;
    std::vector<Value> extra;        // values a native object keeps alive (bound data)
    std::vector<Object*> interfaces; // ImplementsOp on a prototype
    std::unique_ptr<NativeData> nativeData;

  private:
    void Compact();
    std::vector<Property> props_;
    std::unordered_map<std::string, uint32_t, NameHash, NameEq> index_;
    size_t dead_ = 0;
};

} // namespace zembra::avm1
