#include "avm1/uObject.h"

namespace zembra::avm1 {

static char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

size_t NameHash::operator()(const std::string& s) const {
    size_t h = 1469598103934665603ull & static_cast<size_t>(-1);
    for (char c : s) {
        h ^= static_cast<unsigned char>(caseSensitive ? c : Fold(c));
        h *= 1099511628211ull & static_cast<size_t>(-1);
    }
    return h;
}

bool NamesEqual(const std::string& a, const std::string& b, bool caseSensitive) {
    if (a.size() != b.size())
        return false;
    if (caseSensitive)
        return a == b;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

bool NameEq::operator()(const std::string& a, const std::string& b) const {
    return NamesEqual(a, b, caseSensitive);
}

Object::Object(bool caseSensitive)
    : watches(0, NameHash{caseSensitive}, NameEq{caseSensitive}),
      index_(0, NameHash{caseSensitive}, NameEq{caseSensitive}) {}

Property* Object::Find(const std::string& name) {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &props_[it->second];
}

const Property* Object::Find(const std::string& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &props_[it->second];
}

Property& Object::Put(const std::string& name, Value v, uint16_t flagsIfNew) {
    if (Property* p = Find(name)) {
        p->value = std::move(v);
        return *p;
    }
    Property p;
    p.name = name;
    p.value = std::move(v);
    p.flags = flagsIfNew;
    props_.push_back(std::move(p));
    index_.emplace(name, static_cast<uint32_t>(props_.size() - 1));
    return props_.back();
}

bool Object::Remove(const std::string& name) {
    auto it = index_.find(name);
    if (it == index_.end())
        return false;
    Property& p = props_[it->second];
    p.alive = false;
    p.value = Value();
    p.getter = p.setter = nullptr;
    index_.erase(it);
    ++dead_;
    if (dead_ > 32 && dead_ * 2 > props_.size())
        Compact();
    return true;
}

void Object::Compact() {
    std::vector<Property> keep;
    keep.reserve(props_.size() - dead_);
    for (auto& p : props_)
        if (p.alive)
            keep.push_back(std::move(p));
    props_ = std::move(keep);
    index_.clear();
    for (uint32_t i = 0; i < props_.size(); ++i)
        index_.emplace(props_[i].name, i);
    dead_ = 0;
}

std::vector<const Property*> Object::OwnInReverse() const {
    std::vector<const Property*> out;
    out.reserve(index_.size());
    for (auto it = props_.rbegin(); it != props_.rend(); ++it)
        if (it->alive)
            out.push_back(&*it);
    return out;
}

std::vector<Property*> Object::OwnInOrder() {
    std::vector<Property*> out;
    out.reserve(index_.size());
    for (auto& p : props_)
        if (p.alive)
            out.push_back(&p);
    return out;
}

} // namespace zembra::avm1
