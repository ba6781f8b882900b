// Number, Boolean, Math and Date. Dates read and write local time in the
// machine's zone (uLocalTime); the UTC methods skip it.
#include <cfloat>
#include <cmath>
#include <ctime>

#include "avm1/uBuiltinUtil.h"
#include "avm1/uLocalTime.h"

namespace zembra::avm1 {

namespace {

// ---- Number / Boolean

Value NumberCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    double d = args.empty() ? 0 : rt.ToNumber(args[0]);
    Object* o = thisv.AsObject();
    if (o && o == rt.constructing) {
        o->kind = ObjKind::Number;
        o->primitive = Value::Num(d);
        return thisv;
    }
    return Value::Num(d);
}

double ThisNumber(Runtime& rt, const Value& thisv) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::Number)
        return o->primitive.AsNumber();
    return thisv.IsNumber() ? thisv.AsNumber() : rt.ToNumber(thisv);
}

Value NumToString(Runtime& rt, Object*, const Value& thisv, Args& args) {
    double d = ThisNumber(rt, thisv);
    int radix = 10;
    if (!args.empty() && !args[0].IsUndefined())
        radix = ToInt32(rt.ToNumber(args[0]));
    return Value::Str(NumberToStringRadix(d, radix));
}

Value NumValueOf(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Num(ThisNumber(rt, thisv));
}

Value BooleanCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    bool b = !args.empty() && rt.ToBoolean(args[0]);
    Object* o = thisv.AsObject();
    if (o && o == rt.constructing) {
        o->kind = ObjKind::Boolean;
        o->primitive = Value::Bool(b);
        return thisv;
    }
    // Called as a function without an argument it gives nothing.
    if (args.empty())
        return Value::Undef();
    return Value::Bool(b);
}

bool ThisBool(Runtime& rt, const Value& thisv) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::Boolean)
        return o->primitive.AsBool();
    return rt.ToBoolean(thisv);
}

Value BoolToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Str(ThisBool(rt, thisv) ? "true" : "false");
}
Value BoolValueOf(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Bool(ThisBool(rt, thisv));
}

// ---- Math

enum MathFn {
    kAbs,
    kAcos,
    kAsin,
    kAtan,
    kCeil,
    kCos,
    kExp,
    kFloor,
    kLog,
    kRound,
    kSin,
    kSqrt,
    kTan
};

Value Math1(Runtime& rt, Object* self, const Value&, Args& args) {
    double x = args.empty() ? std::nan("") : rt.ToNumber(args[0]);
    // The player converts a second argument too (its valueOf runs).
    if (args.size() > 1)
        rt.ToNumber(args[1]);
    switch (self->nativeTag) {
    case kAbs:
        return Value::Num(std::fabs(x));
    case kAcos:
        return Value::Num(std::acos(x));
    case kAsin:
        return Value::Num(std::asin(x));
    case kAtan:
        return Value::Num(std::atan(x));
    case kCeil:
        return Value::Num(std::ceil(x));
    case kCos:
        return Value::Num(std::cos(x));
    case kExp:
        return Value::Num(std::exp(x));
    case kFloor:
        return Value::Num(std::floor(x));
    case kLog:
        return Value::Num(std::log(x));
    case kRound:
        return Value::Num(std::floor(x + 0.5));
    case kSin:
        return Value::Num(std::sin(x));
    case kSqrt:
        return Value::Num(std::sqrt(x));
    case kTan:
        return Value::Num(std::tan(x));
    }
    return Value::Num(std::nan(""));
}

Value Atan2(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.size() < 2)
        return Value::Num(std::nan(""));
    double y = NumArg(rt, args, 0); // converted left to right
    double x = NumArg(rt, args, 1);
    return Value::Num(std::atan2(y, x));
}

Value Pow(Runtime& rt, Object*, const Value&, Args& args) {
    double b = NumArg(rt, args, 0);
    double e = args.size() < 2 ? std::nan("") : NumArg(rt, args, 1);
    return Value::Num(std::pow(b, e));
}

Value MinMax(Runtime& rt, Object* self, const Value&, Args& args) {
    bool isMax = self->nativeTag == 1;
    if (args.empty())
        return Value::Num(isMax ? -HUGE_VAL : HUGE_VAL);
    if (args.size() == 1) {
        rt.ToNumber(args[0]); // converted all the same
        return Value::Num(std::nan(""));
    }
    double a = rt.ToNumber(args[0]), b = rt.ToNumber(args[1]);
    if (std::isnan(a) || std::isnan(b))
        return Value::Num(std::nan(""));
    return Value::Num(isMax ? (a > b ? a : b) : (a < b ? a : b));
}

Value Random(Runtime& rt, Object*, const Value&, Args& args) {
    for (size_t i = 0; i < 2 && i < args.size(); ++i)
        rt.ToNumber(args[i]); // converted, as the other Math functions do
    rt.randomState ^= rt.randomState << 13;
    rt.randomState ^= rt.randomState >> 17;
    rt.randomState ^= rt.randomState << 5;
    return Value::Num(rt.randomState / 4294967296.0);
}

// ---- Date

double DayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}

// Days since 1970 from a civil date (month 0-based, may overflow).
double MakeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date))
        return std::nan("");
    double y = year + std::floor(month / 12);
    double m = std::fmod(month, 12);
    if (m < 0)
        m += 12;
    static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    bool leap = (std::fmod(y, 4) == 0 && std::fmod(y, 100) != 0) || std::fmod(y, 400) == 0;
    double day = DayFromYear(y) + cum[static_cast<int>(m)] + (leap && m >= 2 ? 1 : 0);
    return day + date - 1;
}

double MakeTime(double h, double mi, double s, double ms) {
    return h * 3600000 + mi * 60000 + s * 1000 + ms;
}

struct Civil {
    double year, month, date, hours, minutes, seconds, ms, day;
};

Civil Split(double t) {
    Civil c{};
    double day = std::floor(t / 86400000);
    double rem = t - day * 86400000;
    c.hours = std::floor(rem / 3600000);
    c.minutes = std::floor(std::fmod(rem, 3600000) / 60000);
    c.seconds = std::floor(std::fmod(rem, 60000) / 1000);
    c.ms = std::fmod(rem, 1000);
    c.day = std::fmod(day + 4, 7);
    if (c.day < 0)
        c.day += 7;
    double y = std::floor(day / 365.2425) + 1970;
    while (DayFromYear(y) > day)
        --y;
    while (DayFromYear(y + 1) <= day)
        ++y;
    c.year = y;
    double m = 0;
    while (m < 11 && MakeDay(y, m + 1, 1) <= day)
        ++m;
    c.month = m;
    c.date = day - MakeDay(y, m, 1) + 1;
    return c;
}

double TimeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15)
        return std::nan("");
    return std::trunc(t);
}

Value DateCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o != rt.constructing) {
        // Called as a function: the current time as text.
        o = rt.NewObject(rt.dateProto);
        o->kind = ObjKind::Date;
        o->primitive = Value::Num(std::floor(static_cast<double>(std::time(nullptr)) * 1000));
        return Value::Str(rt.ToString(Value::Obj(o)));
    }
    o->kind = ObjKind::Date;
    double t;
    if (args.empty()) {
        t = std::floor(static_cast<double>(std::time(nullptr)) * 1000);
    } else if (args.size() == 1) {
        t = TimeClip(rt.ToNumber(args[0]));
    } else {
        double f[7] = {0, 0, 1, 0, 0, 0, 0};
        for (size_t i = 0; i < 7 && i < args.size(); ++i)
            f[i] = rt.ToNumber(args[i]);
        if (f[0] >= 0 && f[0] <= 99)
            f[0] += 1900;
        t = TimeClip(
            LocalToUtcMs(MakeDay(f[0], f[1], f[2]) * 86400000 + MakeTime(f[3], f[4], f[5], f[6])));
    }
    o->primitive = Value::Num(t);
    return thisv;
}

Value DateUTC(Runtime& rt, Object*, const Value&, Args& args) {
    double f[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 7 && i < args.size(); ++i)
        f[i] = rt.ToNumber(args[i]);
    if (args.size() < 2)
        return Value::Num(std::nan(""));
    if (f[0] >= 0 && f[0] <= 99)
        f[0] += 1900;
    return Value::Num(
        TimeClip(MakeDay(f[0], f[1], f[2]) * 86400000 + MakeTime(f[3], f[4], f[5], f[6])));
}

double ThisTime(const Value& thisv) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::Date && o->primitive.IsNumber())
        return o->primitive.AsNumber();
    return std::nan("");
}

enum DateField { kYear, kMonth, kDate, kHours, kMinutes, kSeconds, kMs, kDay, kTime, kShortYear };
// Added to a field's tag for its UTC method.
constexpr int kUtc = 100;

double ToLocal(double t) {
    return t + LocalOffsetMs(t);
}

Value DateGet(Runtime&, Object* self, const Value& thisv, Args&) {
    double t = ThisTime(thisv);
    if (std::isnan(t))
        return Value::Num(t);
    const bool utc = self->nativeTag >= kUtc;
    Civil c = Split(utc ? t : ToLocal(t));
    switch (self->nativeTag % kUtc) {
    case kYear:
        return Value::Num(c.year);
    case kShortYear:
        return Value::Num(c.year - 1900);
    case kMonth:
        return Value::Num(c.month);
    case kDate:
        return Value::Num(c.date);
    case kHours:
        return Value::Num(c.hours);
    case kMinutes:
        return Value::Num(c.minutes);
    case kSeconds:
        return Value::Num(c.seconds);
    case kMs:
        return Value::Num(c.ms);
    case kDay:
        return Value::Num(c.day);
    default:
        return Value::Num(t);
    }
}

Value DateSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Date)
        return Value::Undef();
    if (self->nativeTag == kTime) {
        o->primitive = Value::Num(TimeClip(NumArg(rt, args, 0)));
        return o->primitive;
    }
    const bool utc = self->nativeTag >= kUtc;
    const int field = self->nativeTag % kUtc;
    double t = ThisTime(thisv);
    if (std::isnan(t))
        t = 0;
    Civil c = Split(utc ? t : ToLocal(t));
    double f[7] = {c.year, c.month, c.date, c.hours, c.minutes, c.seconds, c.ms};
    int first = 0;
    int maxArgs = 1;
    switch (field) {
    case kYear:
        first = 0;
        maxArgs = 3;
        break;
    case kShortYear:
        first = 0;
        maxArgs = 1;
        break;
    case kMonth:
        first = 1;
        maxArgs = 2;
        break;
    case kDate:
        first = 2;
        maxArgs = 1;
        break;
    case kHours:
        first = 3;
        maxArgs = 4;
        break;
    case kMinutes:
        first = 4;
        maxArgs = 3;
        break;
    case kSeconds:
        first = 5;
        maxArgs = 2;
        break;
    case kMs:
        first = 6;
        maxArgs = 1;
        break;
    default:
        break;
    }
    if (args.empty()) {
        o->primitive = Value::Num(std::nan(""));
        return o->primitive;
    }
    for (int i = 0; i < maxArgs && static_cast<size_t>(i) < args.size(); ++i)
        f[first + i] = rt.ToNumber(args[static_cast<size_t>(i)]);
    if (field == kShortYear && f[0] >= 0 && f[0] <= 99)
        f[0] += 1900;
    const double fields = MakeDay(f[0], f[1], f[2]) * 86400000 + MakeTime(f[3], f[4], f[5], f[6]);
    o->primitive = Value::Num(TimeClip(utc ? fields : LocalToUtcMs(fields)));
    return o->primitive;
}

Value DateToString(Runtime&, Object*, const Value& thisv, Args&) {
    double t = ThisTime(thisv);
    if (std::isnan(t))
        return Value::Str("Invalid Date");
    const double offset = LocalOffsetMs(t);
    Civil c = Split(t + offset);
    const int minutes = static_cast<int>(std::fabs(offset) / 60000);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f",
                  days[static_cast<int>(c.day)], months[static_cast<int>(c.month)],
                  static_cast<int>(c.date), static_cast<int>(c.hours), static_cast<int>(c.minutes),
                  static_cast<int>(c.seconds), offset < 0 ? '-' : '+', minutes / 60, minutes % 60,
                  c.year);
    return Value::Str(buf);
}

Value DateValueOf(Runtime&, Object*, const Value& thisv, Args&) {
    return Value::Num(ThisTime(thisv));
}
Value ZoneOffset(Runtime&, Object*, const Value& thisv, Args&) {
    const double t = ThisTime(thisv);
    return Value::Num(std::isnan(t) ? t : -LocalOffsetMs(t) / 60000);
}

} // namespace

void InstallNumberBooleanMath(Runtime& rt) {
    rt.numberProto = rt.NewPlain();
    Object* nctor = DefClass(rt, "Number", NumberCtor, NumberCtor, rt.numberProto);
    Def(rt, rt.numberProto, "toString", NumToString);
    Def(rt, rt.numberProto, "valueOf", NumValueOf);
    const uint8_t ro = kDontEnum | kDontDelete | kReadOnly;
    nctor->Put("MAX_VALUE", Value::Num(DBL_MAX), ro);
    nctor->Put("MIN_VALUE", Value::Num(4.9406564584124654e-324), ro);
    nctor->Put("NaN", Value::Num(std::nan("")), ro);
    nctor->Put("POSITIVE_INFINITY", Value::Num(HUGE_VAL), ro);
    nctor->Put("NEGATIVE_INFINITY", Value::Num(-HUGE_VAL), ro);

    rt.booleanProto = rt.NewPlain();
    DefClass(rt, "Boolean", BooleanCtor, BooleanCtor, rt.booleanProto);
    Def(rt, rt.booleanProto, "toString", BoolToString);
    Def(rt, rt.booleanProto, "valueOf", BoolValueOf);

    Object* m = rt.NewPlain();
    rt.global->Put("Math", Value::Obj(m), kDontEnum);
    const std::pair<const char*, int> ones[] = {
        {"abs", kAbs}, {"acos", kAcos}, {"asin", kAsin},   {"atan", kAtan}, {"ceil", kCeil},
        {"cos", kCos}, {"exp", kExp},   {"floor", kFloor}, {"log", kLog},   {"round", kRound},
        {"sin", kSin}, {"sqrt", kSqrt}, {"tan", kTan}};
    for (auto& f : ones)
        Def(rt, m, f.first, Math1, f.second);
    Def(rt, m, "atan2", Atan2);
    Def(rt, m, "pow", Pow);
    Def(rt, m, "min", MinMax, 0);
    Def(rt, m, "max", MinMax, 1);
    Def(rt, m, "random", Random);
    const std::pair<const char*, double> consts[] = {
        {"E", 2.718281828459045},        {"LN10", 2.302585092994046},   {"LN2", 0.6931471805599453},
        {"LOG10E", 0.4342944819032518},  {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
        {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951}};
    for (auto& c : consts)
        m->Put(c.first, Value::Num(c.second), ro);
}

void InstallDate(Runtime& rt) {
    rt.dateProto = rt.NewPlain();
    Object* ctor = DefClass(rt, "Date", DateCtor, DateCtor, rt.dateProto);
    Def(rt, ctor, "UTC", DateUTC);
    Object* p = rt.dateProto;
    const std::pair<const char*, int> fields[] = {
        {"FullYear", kYear},   {"Month", kMonth},     {"Date", kDate},      {"Hours", kHours},
        {"Minutes", kMinutes}, {"Seconds", kSeconds}, {"Milliseconds", kMs}};
    for (auto& f : fields) {
        std::string n = f.first;
        Def(rt, p, ("get" + n).c_str(), DateGet, f.second);
        Def(rt, p, ("getUTC" + n).c_str(), DateGet, f.second + kUtc);
        Def(rt, p, ("set" + n).c_str(), DateSet, f.second);
        Def(rt, p, ("setUTC" + n).c_str(), DateSet, f.second + kUtc);
    }
    Def(rt, p, "getDay", DateGet, kDay);
    Def(rt, p, "getUTCDay", DateGet, kDay + kUtc);
    Def(rt, p, "getUTCYear", DateGet, kShortYear + kUtc);
    Def(rt, p, "getYear", DateGet, kShortYear);
    Def(rt, p, "setYear", DateSet, kShortYear);
    Def(rt, p, "getTime", DateGet, kTime);
    Def(rt, p, "setTime", DateSet, kTime);
    Def(rt, p, "valueOf", DateValueOf);
    Def(rt, p, "toString", DateToString);
    Def(rt, p, "getTimezoneOffset", ZoneOffset);
}

} // namespace zembra::avm1
