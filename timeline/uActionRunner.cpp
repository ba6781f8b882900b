#include "timeline/uActionRunner.h"

#include <cmath>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "swf/uSwfReader.h"
#include "timeline/uDisplayList.h"

namespace zembra::timeline {

namespace {

// Bounds for one block: a jump loop or a huge push cannot hold the frame.
constexpr int kMaxSteps = 100000;
constexpr size_t kMaxStack = 4096;
constexpr size_t kMaxConstants = 65536;

struct Value {
    enum class Type { Undefined, Null, Bool, Number, String };
    Type type = Type::Undefined;
    double number = 0;
    bool boolean = false;
    std::string text;

    std::string ToString(int version) const {
        switch (type) {
        case Type::Undefined:
            return version >= 7 ? "undefined" : "";
        case Type::Null:
            return "null";
        case Type::Bool:
            return boolean ? "true" : "false";
        case Type::Number:
            return NumberToString(number);
        case Type::String:
            return text;
        }
        return "";
    }
    bool ToBool() const {
        switch (type) {
        case Type::Bool:
            return boolean;
        case Type::Number:
            return number != 0 && !std::isnan(number);
        case Type::String:
            return !text.empty();
        default:
            return false;
        }
    }
    double ToNumber() const {
        switch (type) {
        case Type::Bool:
            return boolean ? 1 : 0;
        case Type::Number:
            return number;
        case Type::String: {
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            return end && *end == 0 && !text.empty() ? v : NAN;
        }
        default:
            return NAN;
        }
    }
};

} // namespace

std::string NumberToString(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", v);
        return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

void MinimalActionRunner::Run(const uint8_t* code, size_t size, SpriteInstance& origin, int version,
                              ActionHost& host) {
    std::vector<Value> stack;
    std::vector<std::string> constants;
    SpriteInstance* target = &origin;
    auto pop = [&]() {
        if (stack.empty())
            return Value();
        Value v = std::move(stack.back());
        stack.pop_back();
        return v;
    };
    auto push = [&](Value v) {
        if (stack.size() < kMaxStack)
            stack.push_back(std::move(v));
    };
    size_t pc = 0;
    for (int steps = 0; steps < kMaxSteps && pc < size; ++steps) {
        const uint8_t op = code[pc++];
        if (op == 0)
            break;
        size_t len = 0;
        if (op >= 0x80) {
            if (size - pc < 2)
                break;
            len = code[pc] | (code[pc + 1] << 8);
            pc += 2;
            if (len > size - pc)
                break;
        }
        swf::Reader r(code + pc, len);
        const size_t next = pc + len;
        switch (op) {
        case 0x04: // next frame
            if (target)
                host.GotoFrame(*target, target->frame + 1, false);
            break;
        case 0x05: // previous frame
            if (target)
                host.GotoFrame(*target, target->frame - 1, false);
            break;
        case 0x06:
            if (target)
                host.Play(*target);
            break;
        case 0x07:
            if (target)
                host.Stop(*target);
            break;
        case 0x81: // goto frame
            if (target)
                host.GotoFrame(*target, r.U16(), false);
            break;
        case 0x8c: // goto label
            if (target)
                host.GotoLabel(*target, r.String(version), false);
            break;
        case 0x9f: { // goto frame 2
            const uint8_t flags = r.U8();
            const int bias = (flags & 0x02) ? r.U16() : 0;
            const Value v = pop();
            const bool play = flags & 0x01;
            if (!target)
                break;
            if (v.type == Value::Type::String) {
                const std::string& s = v.text;
                char* end = nullptr;
                const long n = std::strtol(s.c_str(), &end, 10);
                if (!s.empty() && end && *end == 0)
                    host.GotoFrame(*target, static_cast<int>(n) - 1 + bias, play);
                else
                    host.GotoLabel(*target, s, play);
            } else {
                const double n = v.ToNumber();
                if (!std::isnan(n) && std::fabs(n) < 1e9)
                    host.GotoFrame(*target, static_cast<int>(n) - 1 + bias, play);
            }
            break;
        }
        case 0x83: { // get URL
            const std::string url = r.String(version);
            const std::string window = r.String(version);
            host.GetUrl(url, window);
            break;
        }
        case 0x9a: { // get URL 2
            const Value window = pop();
            const Value url = pop();
            host.GetUrl(url.ToString(version), window.ToString(version));
            break;
        }
        case 0x8b: { // set target
            const std::string path = r.String(version);
            target = path.empty() ? &origin : host.Resolve(origin, path);
            break;
        }
        case 0x20: { // set target 2
            const Value path = pop();
            const std::string p = path.ToString(version);
            target = p.empty() ? &origin : host.Resolve(origin, p);
            break;
        }
        case 0x88: { // constant pool
            constants.clear();
            const unsigned count = r.U16();
            for (unsigned i = 0; i < count && i < kMaxConstants && !r.Overrun(); ++i)
                constants.push_back(r.String(version));
            break;
        }
        case 0x96: // push
            while (!r.AtEnd() && !r.Overrun()) {
                const uint8_t type = r.U8();
                Value v;
                switch (type) {
                case 0:
                    v.type = Value::Type::String;
                    v.text = r.String(version);
                    break;
                case 1:
                    v.type = Value::Type::Number;
                    v.number = r.F32();
                    break;
                case 2:
                    v.type = Value::Type::Null;
                    break;
                case 3:
                    v.type = Value::Type::Undefined;
                    break;
                case 4:
                    r.U8();
                    break; // registers need the full engine
                case 5:
                    v.type = Value::Type::Bool;
                    v.boolean = r.U8() != 0;
                    break;
                case 6: {
                    // Stored as two 32-bit halves, high half first.
                    const uint64_t hi = r.U32();
                    const uint64_t lo = r.U32();
                    const uint64_t bits = (hi << 32) | lo;
                    double d;
                    std::memcpy(&d, &bits, sizeof d);
                    v.type = Value::Type::Number;
                    v.number = d;
                    break;
                }
                case 7:
                    v.type = Value::Type::Number;
                    v.number = r.S32();
                    break;
                case 8:
                case 9: {
                    const unsigned idx = type == 8 ? r.U8() : r.U16();
                    if (idx < constants.size()) {
                        v.type = Value::Type::String;
                        v.text = constants[idx];
                    }
                    break;
                }
                default:
                    r.Skip(r.Remaining());
                    continue;
                }
                if (r.Overrun())
                    break;
                push(std::move(v));
            }
            break;
        case 0x17: // pop
            pop();
            break;
        case 0x26: // trace
            host.Trace(pop().ToString(version));
            break;
        case 0x99: { // jump
            const int16_t offset = r.S16();
            const long to = static_cast<long>(next) + offset;
            if (to < 0 || static_cast<size_t>(to) > size)
                return;
            pc = static_cast<size_t>(to);
            continue;
        }
        case 0x9d: { // if
            const int16_t offset = r.S16();
            if (pop().ToBool()) {
                const long to = static_cast<long>(next) + offset;
                if (to < 0 || static_cast<size_t>(to) > size)
                    return;
                pc = static_cast<size_t>(to);
                continue;
            }
            break;
        }
        case 0x12: { // not
            Value v;
            v.type = Value::Type::Bool;
            v.boolean = !pop().ToBool();
            push(v);
            break;
        }
        case 0x4c: { // push duplicate
            Value v = stack.empty() ? Value() : stack.back();
            push(v);
            break;
        }
        default:
            // Anything else needs the full engine; its operands are skipped.
            break;
        }
        pc = next;
    }
}

} // namespace zembra::timeline
