// Script values and the conversions that need no object calls: number to
// text, text to number, the integer conversions of the bitwise operators.
// Conversions that may run script (valueOf, toString) live in the runtime.
#pragma once

#include <cstdint>
#include <string>

namespace zembra::avm1 {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
  public:
    Value() = default;
    static Value Undef() { return Value(); }
    static Value Null() {
        Value v;
        v.type_ = Type::Null;
        return v;
    }
    static Value Bool(bool b) {
        Value v;
        v.type_ = Type::Boolean;
        v.b_ = b;
        return v;
    }
    static Value Num(double d) {
        Value v;
        v.type_ = Type::Number;
        v.n_ = d;
        return v;
    }
    static Value Str(std::string s) {
        Value v;
        v.type_ = Type::String;
        v.s_ = std::move(s);
        return v;
    }
    // A null object pointer gives undefined.
    static Value Obj(Object* o) {
        Value v;
        if (o) {
            v.type_ = Type::Object;
            v.o_ = o;
        }
        return v;
    }

    Type type() const { return type_; }
    bool IsUndefined() const { return type_ == Type::Undefined; }
    bool IsNull() const { return type_ == Type::Null; }
    bool IsNullish() const { return type_ == Type::Undefined || type_ == Type::Null; }
    bool IsBool() const { return type_ == Type::Boolean; }
    bool IsNumber() const { return type_ == Type::Number; }
    bool IsString() const { return type_ == Type::String; }
    bool IsObject() const { return type_ == Type::Object; }

    bool AsBool() const { return b_; }
    double AsNumber() const { return n_; }
    const std::string& AsString() const { return s_; }
    Object* AsObject() const { return type_ == Type::Object ? o_ : nullptr; }

  private:
    Type type_ = Type::Undefined;
    bool b_ = false;
    double n_ = 0;
    std::string s_;
    Object* o_ = nullptr;
};

// Text of a number as the player prints it: up to 15 significant digits,
// exponent form outside 1e-5 .. 1e15, "-0" prints as "0".
std::string NumberToString(double d);
// Number.prototype.toString(radix) for radix 2..36 (integers only; the
// player truncates fractions for radixes other than 10).
std::string NumberToStringRadix(double d, int radix);

// Text to number as the conversion of the given file version: leading
// whitespace, sign, decimal with exponent, hex "0x" and leading-zero octal
// for integers. Empty or trailing junk gives NaN.
double StringToNumber(const std::string& s, int version);

// parseFloat: the longest numeric prefix, NaN when none.
double ParseFloatPrefix(const std::string& s);
// parseInt with an optional radix (0 = detect).
double ParseIntPrefix(const std::string& s, int radix);

// Modulo-2^32 conversions of the bitwise operators.
int32_t ToInt32(double d);
uint32_t ToUint32(double d);
// Frame numbers, depths and indexes: truncated toward zero and held to the
// int range (NaN gives 0), so no script value converts out of range.
int ToClampedInt(double d);

// ToInteger of the ToInteger action: NaN gives 0, truncates toward zero.
double ToIntegerValue(double d);

// UTF-8 helpers; string methods index UTF-16 code units as the player does
// from version 6 on.
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);
std::string CodeUnitToUtf8(uint32_t unit);

} // namespace zembra::avm1
