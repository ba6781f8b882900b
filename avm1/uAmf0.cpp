#include "avm1/uAmf0.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

namespace zembra::avm1 {

namespace {

enum Marker : uint8_t {
    kNumber = 0x00,
    kBoolean = 0x01,
    kString = 0x02,
    kObject = 0x03,
    kNull = 0x05,
    kUndefined = 0x06,
    kReference = 0x07,
    kEcmaArray = 0x08,
    kObjectEnd = 0x09,
    kStrictArray = 0x0A,
    kDate = 0x0B,
    kLongString = 0x0C,
    kTypedObject = 0x10,
};

// An array index as arrays store it: digits without a leading zero.
bool IsIndex(const std::string& s) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0'))
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return std::stoull(s) < 0xFFFFFFFFull;
}

// The stored value of a property: getters are not run.
Value Stored(const Property* p) {
    return p && !p->getter ? p->value : Value::Undef();
}

} // namespace

void ClassAliases::Register(const std::string& alias, Object* ctor, bool caseSensitive) {
    std::vector<Value>& e = store_->extra;
    for (size_t i = 0; i + 1 < e.size();)
        if (NamesEqual(e[i].AsString(), alias, caseSensitive))
            e.erase(e.begin() + static_cast<std::ptrdiff_t>(i),
                    e.begin() + static_cast<std::ptrdiff_t>(i + 2));
        else
            i += 2;
    if (ctor && ctor->IsFunction()) {
        e.push_back(Value::Str(alias));
        e.push_back(Value::Obj(ctor));
    }
}

std::string ClassAliases::AliasOf(const Object* ctor) const {
    const std::vector<Value>& e = store_->extra;
    for (size_t i = e.size() / 2; i-- > 0;)
        if (e[2 * i + 1].AsObject() == ctor)
            return e[2 * i].AsString();
    return std::string();
}

bool Amf0Writer::Room(size_t n) {
    if (overflow_ || out_.size() + n > kMaxBytes) {
        overflow_ = true;
        return false;
    }
    return true;
}

void Amf0Writer::U8(uint8_t b) {
    if (Room(1))
        out_.push_back(b);
}

void Amf0Writer::U16(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v));
}

void Amf0Writer::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
}

void Amf0Writer::Double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    U32(static_cast<uint32_t>(bits >> 32));
    U32(static_cast<uint32_t>(bits));
}

void Amf0Writer::ShortString(const std::string& s) {
    // Names longer than a short string can hold are cut; the reader sees
    // a well-formed record either way.
    const size_t n = std::min<size_t>(s.size(), 0xFFFF);
    U16(static_cast<uint16_t>(n));
    if (Room(n))
        out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
}

void Amf0Writer::WriteString(const std::string& s) {
    if (s.size() <= 0xFFFF) {
        U8(kString);
        ShortString(s);
        return;
    }
    U8(kLongString);
    U32(static_cast<uint32_t>(std::min<size_t>(s.size(), 0xFFFFFFFFu)));
    if (Room(s.size()))
        out_.insert(out_.end(), s.begin(), s.end());
}

void Amf0Writer::WriteValue(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        U8(kUndefined);
        return;
    case Type::Null:
        U8(kNull);
        return;
    case Type::Boolean:
        U8(kBoolean);
        U8(v.AsBool() ? 1 : 0);
        return;
    case Type::Number:
        U8(kNumber);
        Double(v.AsNumber());
        return;
    case Type::String:
        WriteString(v.AsString());
        return;
    case Type::Object:
        WriteObject(v.AsObject());
        return;
    }
}

void Amf0Writer::WriteArguments(const std::vector<Value>& values) {
    U8(kStrictArray);
    U32(static_cast<uint32_t>(values.size()));
    for (const Value& v : values)
        WriteValue(v);
}

void Amf0Writer::WriteObject(Object* o) {
    rt_.Charge();
    if (o->IsFunction() || o->kind == ObjKind::Clip) {
        U8(kUndefined); // no wire form
        return;
    }
    auto ref = refs_.find(o);
    if (ref != refs_.end()) {
        U8(kReference);
        U16(ref->second);
        return;
    }
    if (depth_ >= kMaxDepth) {
        U8(kUndefined);
        return;
    }
    // Dates are written whole each time; the others can be referred to.
    if (refs_.size() < 0xFFFF && o->kind != ObjKind::Date)
        refs_.emplace(o, static_cast<uint16_t>(refs_.size()));
    ++depth_;
    if (o->kind == ObjKind::Date) {
        U8(kDate);
        Double(o->primitive.IsNumber() ? o->primitive.AsNumber() : NAN);
        U16(0);
    } else if (o->kind == ObjKind::Array) {
        const double len = rt_.ArrayLength(o);
        const uint32_t n = len > 0 && len < 4294967295.0 ? static_cast<uint32_t>(len) : 0;
        bool named = false;
        for (const Property* p : o->OwnInOrder())
            if (!(p->flags & kDontEnum) && !IsIndex(p->name))
                named = true;
        if (named) {
            // Named members beside the elements: every member by name.
            U8(kEcmaArray);
            U32(n);
            WriteProperties(o);
        } else {
            U8(kStrictArray);
            U32(n);
            for (uint32_t i = 0; i < n && !overflow_; ++i) {
                rt_.Charge();
                WriteValue(Stored(o->Find(std::to_string(i))));
            }
        }
    } else {
        // The class is the object's own constructor as stored; objects made
        // by movies of version 7 on only carry __constructor__.
        std::string alias;
        if (aliases_) {
            const Property* c = o->Find("constructor");
            if (!c)
                c = o->Find("__constructor__");
            if (Object* ctor = Stored(c).AsObject())
                alias = aliases_->AliasOf(ctor);
        }
        if (alias.empty()) {
            U8(kObject);
        } else {
            U8(kTypedObject);
            ShortString(alias);
        }
        WriteProperties(o);
    }
    --depth_;
}

// Own members in the order they were made, then inherited ones not
// shadowed; hidden members and functions are left out.
void Amf0Writer::WriteProperties(Object* o) {
    std::unordered_set<std::string> seen;
    int hops = 0;
    for (Object* cur = o; cur && hops < 64 && !overflow_; cur = cur->proto, ++hops) {
        for (const Property* p : cur->OwnInOrder()) {
            rt_.Charge();
            if (!seen.insert(p->name).second)
                continue;
            if ((p->flags & kDontEnum) || HiddenForVersion(p->flags, rt_.version()))
                continue;
            const Value v = Stored(p);
            if (v.AsObject() && v.AsObject()->IsFunction())
                continue;
            ShortString(p->name);
            WriteValue(v);
        }
    }
    U16(0);
    U8(kObjectEnd);
}

} // namespace zembra::avm1
