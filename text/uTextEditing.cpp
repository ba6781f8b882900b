#include "text/uTextEditing.h"

#include <algorithm>

#include "text/uUtf16.h"

namespace zembra::text {

namespace {

char16_t OtherCase(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - u'a' + u'A');
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c - u'A' + u'a');
    return c;
}

// Whether the pattern lets `c` in as it is.
bool Allows(const std::u16string& p, char16_t c) {
    // A pattern that starts by excluding allows everything else.
    bool allowed = !p.empty() && p[0] == u'^';
    bool including = true;
    for (size_t i = 0; i < p.size(); ++i) {
        char16_t first = p[i];
        if (first == u'^') {
            including = !including;
            continue;
        }
        if (first == u'\\' && i + 1 < p.size())
            first = p[++i];
        char16_t last = first;
        if (i + 2 < p.size() && p[i + 1] == u'-') {
            size_t j = i + 2;
            last = p[j];
            if (last == u'\\' && j + 1 < p.size())
                last = p[++j];
            i = j;
        }
        if (c >= first && c <= last)
            allowed = including;
    }
    return allowed;
}

bool IsBreak(char16_t c) {
    return c == u'\r' || c == u'\n';
}

} // namespace

void ClampState(const TextField& field, EditState& s) {
    const size_t n = field.Length();
    s.anchor = std::min(s.anchor, n);
    s.caret = std::min(s.caret, n);
}

char16_t ApplyRestrict(const std::string& restrict, bool restrictSet, char16_t c) {
    if (restrict.empty())
        return restrictSet ? 0 : c;
    const std::u16string p = ToUtf16(restrict);
    if (Allows(p, c))
        return c;
    const char16_t other = OtherCase(c);
    if (other != c && Allows(p, other))
        return other;
    return 0;
}

bool InsertTyped(TextField& field, EditState& s, const std::u16string& typed) {
    ClampState(field, s);
    std::u16string in;
    in.reserve(std::min<size_t>(typed.size(), TextField::kMaxLength));
    for (size_t i = 0; i < typed.size() && in.size() < TextField::kMaxLength; ++i) {
        char16_t c = typed[i];
        if (IsBreak(c)) {
            if (!field.Multiline())
                break; // one line: a pasted text ends at its first break
            if (c == u'\r' && i + 1 < typed.size() && typed[i + 1] == u'\n')
                ++i;
            in.push_back(u'\r');
            continue;
        }
        c = ApplyRestrict(field.restrict, field.restrictSet, c);
        if (c)
            in.push_back(c);
    }
    const size_t begin = s.Begin(), end = s.End();
    const size_t kept = field.Length() - (end - begin);
    size_t room = TextField::kMaxLength > kept ? TextField::kMaxLength - kept : 0;
    if (field.maxChars > 0)
        room = std::min(room, static_cast<size_t>(field.maxChars) > kept
                                  ? static_cast<size_t>(field.maxChars) - kept
                                  : size_t(0));
    if (in.size() > room)
        in.resize(room);
    // Nothing let in (refused, or a full field) leaves the selection alone.
    if (in.empty())
        return false;
    field.ReplaceText(begin, end, in);
    s.anchor = s.caret = std::min(begin + in.size(), field.Length());
    return true;
}

bool DeleteSelection(TextField& field, EditState& s) {
    ClampState(field, s);
    const size_t begin = s.Begin(), end = s.End();
    if (begin == end)
        return false;
    field.ReplaceText(begin, end, std::u16string());
    s.anchor = s.caret = begin;
    return true;
}

bool DeleteBackward(TextField& field, EditState& s) {
    ClampState(field, s);
    if (s.anchor != s.caret)
        return DeleteSelection(field, s);
    if (s.caret == 0)
        return false;
    s.anchor = s.caret - 1;
    return DeleteSelection(field, s);
}

bool DeleteForward(TextField& field, EditState& s) {
    ClampState(field, s);
    if (s.anchor != s.caret)
        return DeleteSelection(field, s);
    if (s.caret >= field.Length())
        return false;
    s.anchor = s.caret + 1;
    return DeleteSelection(field, s);
}

void MoveCaret(const TextField& field, EditState& s, int delta, bool extend) {
    ClampState(field, s);
    if (!extend && s.anchor != s.caret) {
        s.caret = s.anchor = delta < 0 ? s.Begin() : s.End();
        return;
    }
    if (delta < 0 && s.caret > 0)
        --s.caret;
    else if (delta > 0 && s.caret < field.Length())
        ++s.caret;
    if (!extend)
        s.anchor = s.caret;
}

void MoveCaretToEnd(const TextField& field, EditState& s, bool toEnd, bool extend) {
    ClampState(field, s);
    s.caret = toEnd ? field.Length() : 0;
    if (!extend)
        s.anchor = s.caret;
}

std::u16string SelectedText(const TextField& field, const EditState& s) {
    EditState c = s;
    ClampState(field, c);
    return field.Text().substr(c.Begin(), c.End() - c.Begin());
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    }
}

} // namespace zembra::text
