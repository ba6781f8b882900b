#include "avm1/uXmlParser.h"

#include <cstdint>

#include "util/uUtf8.h"

namespace zembra::avm1 {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool AllSpace(const std::string& s, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (!IsSpace(s[i]))
            return false;
    return true;
}

bool StartsAt(const std::string& s, size_t pos, const char* lit) {
    return s.compare(pos, std::char_traits<char>::length(lit), lit) == 0;
}

// Decodes one reference name (between '&' and ';'); false when unknown.
bool DecodeEntity(const std::string& name, std::string& out) {
    if (name == "amp")
        out += '&';
    else if (name == "lt")
        out += '<';
    else if (name == "gt")
        out += '>';
    else if (name == "quot")
        out += '"';
    else if (name == "apos")
        out += '\'';
    else if (name.size() >= 2 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        size_t i = hex ? 2 : 1;
        if (i >= name.size())
            return false;
        uint32_t cp = 0;
        for (; i < name.size(); ++i) {
            char c = name[i];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
            if (cp > 0x10FFFF)
                return false;
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        AppendUtf8(out, cp);
    } else {
        return false;
    }
    return true;
}

XmlTreeNode* AddChild(XmlTreeNode* parent, int type) {
    parent->children.push_back(std::make_unique<XmlTreeNode>());
    XmlTreeNode* n = parent->children.back().get();
    n->type = type;
    return n;
}

// Reads the inside of a start tag from `pos` (just past the name). Returns
// the status; on success `pos` is past '>' and `empty` tells "/>".
int ReadAttributes(const std::string& s, size_t& pos, XmlTreeNode* el, bool& empty) {
    const size_t n = s.size();
    for (;;) {
        while (pos < n && IsSpace(s[pos]))
            ++pos;
        if (pos >= n)
            return kXmlMalformed;
        if (s[pos] == '>') {
            ++pos;
            empty = false;
            return kXmlOk;
        }
        if (s[pos] == '/') {
            if (pos + 1 < n && s[pos + 1] == '>') {
                pos += 2;
                empty = true;
                return kXmlOk;
            }
            return kXmlMalformed;
        }
        size_t start = pos;
        while (pos < n && !IsSpace(s[pos]) && s[pos] != '=' && s[pos] != '>' && s[pos] != '/')
            ++pos;
        std::string name = s.substr(start, pos - start);
        while (pos < n && IsSpace(s[pos]))
            ++pos;
        if (name.empty() || pos >= n || s[pos] != '=')
            return kXmlMalformed;
        ++pos;
        while (pos < n && IsSpace(s[pos]))
            ++pos;
        if (pos >= n || (s[pos] != '"' && s[pos] != '\''))
            return kXmlMalformed;
        char quote = s[pos++];
        size_t end = s.find(quote, pos);
        if (end == std::string::npos)
            return kXmlAttributeOpen;
        std::string value = XmlUnescape(s.substr(pos, end - pos));
        pos = end + 1;
        bool replaced = false;
        for (auto& a : el->attributes)
            if (a.first == name) {
                a.second = value;
                replaced = true;
            }
        if (!replaced)
            el->attributes.emplace_back(std::move(name), std::move(value));
    }
}

} // namespace

std::string XmlUnescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            size_t semi = s.find(';', i + 1);
            // References are short; a far ';' belongs to later text.
            if (semi != std::string::npos && semi - i <= 12 &&
                DecodeEntity(s.substr(i + 1, semi - i - 1), out)) {
                i = semi;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::string XmlEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

XmlDocument ParseXml(const std::string& s, bool ignoreWhite) {
    XmlDocument doc;
    std::vector<XmlTreeNode*> open{&doc.root};
    const size_t n = s.size();
    size_t pos = 0;
    auto fail = [&](int status) { doc.status = status; };
    while (pos < n && doc.status == kXmlOk) {
        if (s[pos] != '<') {
            size_t end = s.find('<', pos);
            if (end == std::string::npos)
                end = n;
            if (!(ignoreWhite && AllSpace(s, pos, end)))
                AddChild(open.back(), 3)->value = XmlUnescape(s.substr(pos, end - pos));
            pos = end;
            continue;
        }
        if (StartsAt(s, pos, "<?")) {
            size_t end = s.find("?>", pos + 2);
            if (end == std::string::npos) {
                fail(kXmlDeclOpen);
                break;
            }
            doc.hasXmlDecl = true;
            doc.xmlDecl = s.substr(pos, end + 2 - pos);
            pos = end + 2;
        } else if (StartsAt(s, pos, "<!--")) {
            size_t end = s.find("-->", pos + 4);
            if (end == std::string::npos) {
                fail(kXmlCommentOpen);
                break;
            }
            pos = end + 3;
        } else if (StartsAt(s, pos, "<![CDATA[")) {
            size_t end = s.find("]]>", pos + 9);
            if (end == std::string::npos) {
                fail(kXmlCdataOpen);
                break;
            }
            AddChild(open.back(), 3)->value = s.substr(pos + 9, end - pos - 9);
            pos = end + 3;
        } else if (StartsAt(s, pos, "<!")) {
            size_t end = s.find('>', pos + 2);
            if (end == std::string::npos) {
                fail(kXmlDocTypeOpen);
                break;
            }
            doc.hasDocType = true;
            doc.docTypeDecl = s.substr(pos, end + 1 - pos);
            pos = end + 1;
        } else if (StartsAt(s, pos, "</")) {
            size_t end = s.find('>', pos + 2);
            if (end == std::string::npos) {
                fail(kXmlMalformed);
                break;
            }
            size_t a = pos + 2, b = end;
            while (b > a && IsSpace(s[b - 1]))
                --b;
            std::string name = s.substr(a, b - a);
            if (open.size() > 1 && open.back()->name == name) {
                open.pop_back();
            } else {
                fail(open.size() > 1 ? kXmlEndTagMissing : kXmlStartTagMissing);
                break;
            }
            pos = end + 1;
        } else {
            size_t start = pos + 1;
            size_t p = start;
            while (p < n && !IsSpace(s[p]) && s[p] != '>' && s[p] != '/')
                ++p;
            if (p == start) {
                fail(kXmlMalformed);
                break;
            }
            if (open.size() > kXmlMaxDepth) {
                fail(kXmlMalformed);
                break;
            }
            XmlTreeNode* el = AddChild(open.back(), 1);
            el->name = s.substr(start, p - start);
            bool empty = false;
            int st = ReadAttributes(s, p, el, empty);
            if (st != kXmlOk) {
                fail(st);
                break;
            }
            if (!empty)
                open.push_back(el);
            pos = p;
        }
    }
    if (doc.status == kXmlOk && open.size() > 1)
        doc.status = kXmlEndTagMissing;
    return doc;
}

} // namespace zembra::avm1
