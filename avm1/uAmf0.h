// AMF0, the binary form script values take in remoting requests and shared
// objects. The writer reads properties as they are stored: getters are not
// run (their slot reads as undefined) and functions are left out, so
// writing a value never runs script. Objects met twice are written as
// references, which also ends cycles. Output is bounded by a byte limit.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "avm1/uRuntime.h"

namespace zembra::avm1 {

// Which alias a constructor was registered under for the wire
// (Object.registerClass), kept in the order of registration. The entries
// live in a script object's extra (alias, constructor, alias, ...), so the
// heap keeps the constructors alive.
class ClassAliases {
  public:
    explicit ClassAliases(Object* store) : store_(store) {}
    // Object.registerClass(alias, ctor): an alias names one constructor;
    // names compare as the movie's other names do. A non-function drops it.
    void Register(const std::string& alias, Object* ctor, bool caseSensitive);
    // The alias registered last for `ctor`; empty when none.
    std::string AliasOf(const Object* ctor) const;

  private:
    Object* store_;
};

class Amf0Writer {
  public:
    // Beyond this many bytes the writer stops adding and reports overflow.
    static constexpr size_t kMaxBytes = 16u << 20;
    static constexpr int kMaxDepth = 64;

    Amf0Writer(Runtime& rt, const ClassAliases* aliases) : rt_(rt), aliases_(aliases) {}

    void WriteValue(const Value& v);
    // Values of the body: a strict array of `values`.
    void WriteArguments(const std::vector<Value>& values);
    void U8(uint8_t b);
    void U16(uint16_t v);
    void U32(uint32_t v);
    void Double(double d);
    // A length-prefixed UTF-8 string without a type marker (names, headers).
    void ShortString(const std::string& s);

    const std::vector<uint8_t>& Bytes() const { return out_; }
    bool Overflowed() const { return overflow_; }

  private:
    void WriteObject(Object* o);
    void WriteProperties(Object* o);
    void WriteString(const std::string& s);
    bool Room(size_t n);

    Runtime& rt_;
    const ClassAliases* aliases_;
    std::vector<uint8_t> out_;
    std::unordered_map<const Object*, uint16_t> refs_;
    int depth_ = 0;
    bool overflow_ = false;
};

} // namespace zembra::avm1
