// Array and its methods.
#include <algorithm>
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

enum SortFlags { kCaseInsensitive = 1, kDescending = 2, kUnique = 4, kIndexed = 8, kNumeric = 16 };

Object* Self(Runtime& rt, const Value& thisv) {
    Object* o = thisv.AsObject();
    (void)rt;
    return o;
}

void Refill(Runtime& rt, Object* a, const std::vector<Value>& vals) {
    if (a->kind == ObjKind::Array) {
        rt.SetArrayLength(a, 0);
        for (size_t i = 0; i < vals.size(); ++i)
            a->Put(std::to_string(i), vals[i]);
        a->primitive = Value::Num(static_cast<double>(vals.size()));
    } else {
        for (size_t i = 0; i < vals.size(); ++i)
            rt.SetMember(a, std::to_string(i), vals[i]);
        rt.SetMember(a, "length", Value::Num(static_cast<double>(vals.size())));
    }
}

// Writes an element afresh, as the moving methods do: the old one is
// deleted first (so it moves to the end of the for..in order) unless it is
// DONT_DELETE, which keeps its place and takes the value unless READ_ONLY.
void Rewrite(Runtime& rt, Object* a, const std::string& key, const Value& v) {
    rt.DeleteMember(a, key);
    if (Property* p = a->Find(key)) {
        if (!(p->flags & kReadOnly))
            p->value = v;
    } else {
        a->Put(key, v);
    }
}

double CheckedLength(Runtime& rt, Object* a) {
    double len = rt.ArrayLength(a);
    if (len > rt.limits.arrayLength)
        throw ScriptAbort{"array too long"};
    rt.Charge(static_cast<uint64_t>(len));
    return len;
}

Value ArrayCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = thisv.AsObject();
    if (!a || a != rt.constructing)
        a = rt.NewArray();
    a->kind = ObjKind::Array;
    a->primitive = Value::Num(0);
    if (args.size() == 1 && args[0].IsNumber()) {
        double n = args[0].AsNumber();
        if (n >= 0 && n == std::floor(n) && n <= 4294967295.0)
            a->primitive = Value::Num(n);
        return Value::Obj(a);
    }
    for (size_t i = 0; i < args.size(); ++i)
        a->Put(std::to_string(i), args[i]);
    a->primitive = Value::Num(static_cast<double>(args.size()));
    return Value::Obj(a);
}

Value Push(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    for (auto& v : args)
        rt.ArrayPush(a, v);
    return Value::Num(rt.ArrayLength(a));
}

Value Pop(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    double len = rt.ArrayLength(a);
    if (len <= 0)
        return Value::Undef();
    std::string key = NumberToString(len - 1);
    Value v = rt.GetMember(a, key);
    a->Remove(key);
    rt.SetArrayLength(a, len - 1);
    return v;
}

Value Shift(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    if (a->kind != ObjKind::Array) {
        std::vector<Value> vals = rt.ArrayValues(a);
        if (vals.empty())
            return Value::Undef();
        Value first = vals.front();
        vals.erase(vals.begin());
        Refill(rt, a, vals);
        return first;
    }
    double len = CheckedLength(rt, a);
    if (len <= 0)
        return Value::Undef();
    Value first = rt.GetMember(a, "0");
    for (double k = 1; k < len; ++k)
        Rewrite(rt, a, NumberToString(k - 1), rt.GetMember(a, NumberToString(k)));
    // The length shrinks without removing a last element that cannot be deleted.
    rt.DeleteMember(a, NumberToString(len - 1));
    a->primitive = Value::Num(len - 1);
    return first;
}

Value Unshift(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    if (a->kind != ObjKind::Array) {
        std::vector<Value> vals = rt.ArrayValues(a);
        vals.insert(vals.begin(), args.begin(), args.end());
        Refill(rt, a, vals);
        return Value::Num(static_cast<double>(vals.size()));
    }
    double len = CheckedLength(rt, a);
    double n = static_cast<double>(args.size());
    if (len + n > rt.limits.arrayLength)
        throw ScriptAbort{"array too long"};
    // From the top down, then the new first elements.
    for (double k = len - 1; k >= 0; --k)
        Rewrite(rt, a, NumberToString(k + n), rt.GetMember(a, NumberToString(k)));
    for (size_t i = 0; i < args.size(); ++i)
        Rewrite(rt, a, NumberToString(static_cast<double>(i)), args[i]);
    a->primitive = Value::Num(len + n);
    return Value::Num(len + n);
}

double ClampIndex(double i, double len) {
    if (std::isnan(i))
        return 0;
    i = std::trunc(i);
    if (i < 0)
        i = std::max(0.0, len + i);
    return std::min(i, len);
}

Value Slice(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    std::vector<Value> vals = rt.ArrayValues(a);
    double len = static_cast<double>(vals.size());
    double s = args.empty() ? 0 : ClampIndex(rt.ToNumber(args[0]), len);
    double e =
        args.size() < 2 || args[1].IsUndefined() ? len : ClampIndex(rt.ToNumber(args[1]), len);
    std::vector<Value> out;
    for (double i = s; i < e; ++i)
        out.push_back(vals[static_cast<size_t>(i)]);
    return Value::Obj(rt.MakeArray(out));
}

Value Splice(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a || args.empty() || args[0].IsUndefined())
        return Value::Undef();
    std::vector<Value> vals = rt.ArrayValues(a);
    double len = static_cast<double>(vals.size());
    double s = ClampIndex(rt.ToNumber(args[0]), len);
    double count = len - s;
    if (args.size() > 1) {
        double c = rt.ToNumber(args[1]);
        // A count that is no number or negative removes nothing and returns nothing.
        if (std::isnan(c) || c < 0)
            return Value::Undef();
        count = std::min(std::trunc(c), len - s);
    }
    size_t si = static_cast<size_t>(s);
    size_t ci = static_cast<size_t>(count);
    std::vector<Value> removed(vals.begin() + static_cast<long>(si),
                               vals.begin() + static_cast<long>(si + ci));
    vals.erase(vals.begin() + static_cast<long>(si), vals.begin() + static_cast<long>(si + ci));
    if (args.size() > 2)
        vals.insert(vals.begin() + static_cast<long>(si), args.begin() + 2, args.end());
    Refill(rt, a, vals);
    return Value::Obj(rt.MakeArray(removed));
}

Value Concat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    std::vector<Value> vals = a ? rt.ArrayValues(a) : std::vector<Value>();
    for (auto& v : args) {
        Object* o = v.AsObject();
        if (o && o->kind == ObjKind::Array) {
            auto more = rt.ArrayValues(o);
            vals.insert(vals.end(), more.begin(), more.end());
        } else {
            vals.push_back(v);
        }
        if (vals.size() > rt.limits.arrayLength)
            throw ScriptAbort{"array too long"};
    }
    return Value::Obj(rt.MakeArray(vals));
}

Value Join(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    std::string sep = args.empty() || args[0].IsUndefined() ? "," : rt.ToString(args[0]);
    std::vector<Value> vals = rt.ArrayValues(a);
    // Only a real array has elements to join; other objects give their
    // length in undefined ones.
    if (a->kind != ObjKind::Array)
        std::fill(vals.begin(), vals.end(), Value::Undef());
    std::string out;
    for (size_t i = 0; i < vals.size(); ++i) {
        if (i)
            out += sep;
        out += rt.ToString(vals[i]);
        rt.CheckString(out);
    }
    return Value::Str(out);
}

Value ToStr(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Args none;
    return Join(rt, self, thisv, none);
}

Value Reverse(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    if (a->kind != ObjKind::Array) {
        std::vector<Value> vals = rt.ArrayValues(a);
        std::vector<Value> rev(vals.rbegin(), vals.rend());
        Refill(rt, a, rev);
        return thisv;
    }
    // Pairs from the outside in are written afresh (holes become undefined
    // elements); the middle element stays as it was. for..in shows the order.
    double len = CheckedLength(rt, a);
    for (double i = 0, j = len - 1; i < j; ++i, --j) {
        std::string lo = NumberToString(i), hi = NumberToString(j);
        Value vlo = rt.GetMember(a, lo), vhi = rt.GetMember(a, hi);
        rt.DeleteMember(a, lo);
        rt.DeleteMember(a, hi);
        Rewrite(rt, a, lo, vhi);
        Rewrite(rt, a, hi, vlo);
    }
    return thisv;
}

// Merge sort: safe with comparators that are not consistent.
template <class Less> void MergeSort(std::vector<size_t>& idx, Less less, Runtime& rt) {
    std::vector<size_t> tmp(idx.size());
    for (size_t width = 1; width < idx.size(); width *= 2) {
        for (size_t lo = 0; lo < idx.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, idx.size());
            size_t hi = std::min(lo + 2 * width, idx.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                rt.Charge();
                if (less(idx[j], idx[i]))
                    tmp[k++] = idx[j++];
                else
                    tmp[k++] = idx[i++];
            }
            while (i < mid)
                tmp[k++] = idx[i++];
            while (j < hi)
                tmp[k++] = idx[j++];
        }
        idx.swap(tmp);
    }
}

// Compares two values by the sort flags: <0, 0, >0.
int CompareBy(Runtime& rt, const Value& a, const Value& b, int flags) {
    if (flags & kNumeric) {
        // Everything as a number; NaN after all numbers.
        double x = rt.ToNumber(a), y = rt.ToNumber(b);
        bool nx = std::isnan(x), ny = std::isnan(y);
        if (nx || ny)
            return nx == ny ? 0 : (nx ? 1 : -1);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    // Undefined sorts last.
    if (a.IsUndefined() || b.IsUndefined())
        return a.IsUndefined() == b.IsUndefined() ? 0 : (a.IsUndefined() ? 1 : -1);
    std::u16string x = Utf8ToUtf16(rt.ToString(a)), y = Utf8ToUtf16(rt.ToString(b));
    if (flags & kCaseInsensitive) {
        for (auto* s : {&x, &y})
            for (auto& c : *s)
                if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
                    c = static_cast<char16_t>(c + 32);
    }
    return x < y ? -1 : (x > y ? 1 : 0);
}

Value SortCore(Runtime& rt, Object* a, const std::vector<Value>& vals,
               const std::vector<Value>& keys, const Value& cmp, int flags) {
    std::vector<size_t> idx(vals.size());
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    bool dup = false;
    auto compare = [&](size_t x, size_t y) -> int {
        int r;
        if (cmp.AsObject()) {
            Args ca{keys[x], keys[y]};
            r = static_cast<int>(
                std::max(-1.0, std::min(1.0, rt.ToNumber(rt.Call(cmp, Value::Undef(), ca)))));
        } else {
            r = CompareBy(rt, keys[x], keys[y], flags);
        }
        if (r == 0)
            dup = true;
        return (flags & kDescending) ? -r : r;
    };
    MergeSort(
        idx, [&](size_t x, size_t y) { return compare(x, y) < 0; }, rt);
    if ((flags & kUnique) && dup) {
        // Only a true duplicate counts; re-check neighbours.
        for (size_t i = 1; i < idx.size(); ++i)
            if (compare(idx[i - 1], idx[i]) == 0)
                return Value::Num(0);
    }
    if (flags & kIndexed) {
        std::vector<Value> out;
        for (size_t i : idx)
            out.push_back(Value::Num(static_cast<double>(i)));
        return Value::Obj(rt.MakeArray(out));
    }
    std::vector<Value> sorted;
    for (size_t i : idx)
        sorted.push_back(vals[i]);
    Refill(rt, a, sorted);
    return Value::Obj(a);
}

Value Sort(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    Value cmp;
    int flags = 0;
    size_t i = 0;
    if (Object* f = Arg(args, 0).AsObject(); f && f->IsFunction()) {
        cmp = args[0];
        i = 1;
    } else if (!args.empty() && !args[0].IsNumber()) {
        return Value::Undef(); // neither comparator nor flags: nothing is sorted
    }
    if (i < args.size())
        flags = ToInt32(rt.ToNumber(args[i]));
    std::vector<Value> vals = rt.ArrayValues(a);
    return SortCore(rt, a, vals, vals, cmp, flags);
}

Value SortOn(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* a = Self(rt, thisv);
    if (!a)
        return Value::Undef();
    std::vector<std::string> fields;
    std::vector<int> fieldFlags;
    if (Object* f = Arg(args, 0).AsObject(); f && f->kind == ObjKind::Array) {
        for (auto& v : rt.ArrayValues(f))
            fields.push_back(rt.ToString(v));
    } else {
        fields.push_back(rt.ToString(Arg(args, 0)));
    }
    int flags = 0;
    if (Object* ff = Arg(args, 1).AsObject(); ff && ff->kind == ObjKind::Array) {
        for (auto& v : rt.ArrayValues(ff))
            fieldFlags.push_back(ToInt32(rt.ToNumber(v)));
        if (fieldFlags.size() != fields.size())
            fieldFlags.clear();
    } else if (args.size() > 1) {
        flags = ToInt32(rt.ToNumber(args[1]));
    }
    std::vector<Value> vals = rt.ArrayValues(a);
    std::vector<size_t> idx(vals.size());
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    bool dup = false;
    auto compare = [&](size_t x, size_t y) -> int {
        for (size_t k = 0; k < fields.size(); ++k) {
            int fl = fieldFlags.empty() ? flags : fieldFlags[k];
            Value vx = rt.GetMember(vals[x], fields[k]);
            Value vy = rt.GetMember(vals[y], fields[k]);
            int r = CompareBy(rt, vx, vy, fl);
            if (r != 0)
                return (fl & kDescending) ? -r : r;
        }
        dup = true;
        return 0;
    };
    MergeSort(
        idx, [&](size_t x, size_t y) { return compare(x, y) < 0; }, rt);
    if ((flags & kUnique) && dup)
        return Value::Num(0);
    if (flags & kIndexed) {
        std::vector<Value> out;
        for (size_t i : idx)
            out.push_back(Value::Num(static_cast<double>(i)));
        return Value::Obj(rt.MakeArray(out));
    }
    std::vector<Value> sorted;
    for (size_t i : idx)
        sorted.push_back(vals[i]);
    Refill(rt, a, sorted);
    return Value::Obj(a);
}

} // namespace

void InstallArray(Runtime& rt) {
    rt.arrayProto = rt.NewPlain();
    Object* ap = rt.arrayProto;
    Object* ctor = DefClass(rt, "Array", ArrayCtor, ArrayCtor, ap);
    rt.arrayCtor = ctor;
    Def(rt, ap, "push", Push);
    Def(rt, ap, "pop", Pop);
    Def(rt, ap, "shift", Shift);
    Def(rt, ap, "unshift", Unshift);
    Def(rt, ap, "slice", Slice);
    Def(rt, ap, "splice", Splice);
    Def(rt, ap, "concat", Concat);
    Def(rt, ap, "join", Join);
    Def(rt, ap, "toString", ToStr);
    Def(rt, ap, "reverse", Reverse);
    Def(rt, ap, "sort", Sort);
    Def(rt, ap, "sortOn", SortOn);
    const std::pair<const char*, int> consts[] = {{"CASEINSENSITIVE", 1},
                                                  {"DESCENDING", 2},
                                                  {"UNIQUESORT", 4},
                                                  {"RETURNINDEXEDARRAY", 8},
                                                  {"NUMERIC", 16}};
    for (auto& c : consts)
        ctor->Put(c.first, Value::Num(c.second), kDontEnum | kDontDelete | kReadOnly);
}

} // namespace zembra::avm1
