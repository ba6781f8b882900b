// The XML reader on its own (status codes, entities, whitespace, nesting
// bound) and the XML, XMLNode and LoadVars classes through the runtime:
// text round trips, moving nodes between trees, copies that stay apart.
#include <gtest/gtest.h>

#include "avm1/uXmlParser.h"
#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

struct Script {
    Script() : e(8) {}
    Engine e;
    Runtime& rt() { return e.rt; }
    Value New(const char* cls, Args args = {}) {
        return rt().Construct(rt().GetMember(rt().global, cls), args);
    }
    Value Get(const Value& v, const char* name) { return rt().GetMember(v, name); }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt().CallMethod(target, method, args);
    }
    std::string Str(const Value& v) { return rt().ToString(v); }
    Value Xml(const char* text) { return New("XML", {Value::Str(text)}); }
};

} // namespace

TEST(XmlParser, StatusCodesOfUnfinishedConstructs) {
    EXPECT_EQ(ParseXml("<a><b/></a>", false).status, kXmlOk);
    EXPECT_EQ(ParseXml("<a><![CDATA[x</a>", false).status, kXmlCdataOpen);
    EXPECT_EQ(ParseXml("<?xml version='1.0'", false).status, kXmlDeclOpen);
    EXPECT_EQ(ParseXml("<!DOCTYPE x", false).status, kXmlDocTypeOpen);
    EXPECT_EQ(ParseXml("<a><!-- x</a>", false).status, kXmlCommentOpen);
    EXPECT_EQ(ParseXml("<a b></a>", false).status, kXmlMalformed);
    EXPECT_EQ(ParseXml("<a", false).status, kXmlMalformed);
    EXPECT_EQ(ParseXml("<a b=\"x></a>", false).status, kXmlAttributeOpen);
    EXPECT_EQ(ParseXml("<a><b></a>", false).status, kXmlEndTagMissing);
    EXPECT_EQ(ParseXml("<a>", false).status, kXmlEndTagMissing);
    EXPECT_EQ(ParseXml("</a>", false).status, kXmlStartTagMissing);
    // What came before the error stays.
    XmlDocument d = ParseXml("<a/>text<b", false);
    ASSERT_EQ(d.root.children.size(), 3u);
    EXPECT_EQ(d.root.children[1]->value, "text");
}

TEST(XmlParser, EntitiesWhitespaceAndMarkupKinds) {
    EXPECT_EQ(XmlUnescape("A &amp; &#39; &#x41; B"), "A & ' A B");
    EXPECT_EQ(XmlUnescape("A & &thing; &&amp; &#0; &#xD800;"), "A & &thing; && &#0; &#xD800;");
    EXPECT_EQ(XmlEscape("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&apos;&amp;&apos;&lt;/a&gt;");

    XmlDocument d = ParseXml("<?xml version=\"1.0\"?><!DOCTYPE r><r k='1' j=\"&lt;\" k='2'>"
                             "  <!-- gone --><![CDATA[<raw> &amp;]]> t </r>",
                             true);
    EXPECT_EQ(d.status, kXmlOk);
    EXPECT_EQ(d.xmlDecl, "<?xml version=\"1.0\"?>");
    EXPECT_EQ(d.docTypeDecl, "<!DOCTYPE r>");
    ASSERT_EQ(d.root.children.size(), 1u);
    const XmlTreeNode& r = *d.root.children[0];
    ASSERT_EQ(r.attributes.size(), 2u); // a repeated name keeps its first place, last value
    EXPECT_EQ(r.attributes[0], std::make_pair(std::string("k"), std::string("2")));
    EXPECT_EQ(r.attributes[1].second, "<");
    ASSERT_EQ(r.children.size(), 2u); // whitespace dropped, comment dropped
    EXPECT_EQ(r.children[0]->value, "<raw> &amp;");
    EXPECT_EQ(r.children[1]->value, " t ");
    // Without ignoreWhite the blank run is a text node.
    EXPECT_EQ(ParseXml("<r> <a/> </r>", false).root.children[0]->children.size(), 3u);
}

TEST(XmlParser, DeepNestingStopsAtTheBound) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    XmlDocument d = ParseXml(deep, false);
    EXPECT_EQ(d.status, kXmlMalformed);
    size_t depth = 0;
    for (const XmlTreeNode* n = &d.root; !n->children.empty(); n = n->children[0].get())
        ++depth;
    EXPECT_LE(depth, kXmlMaxDepth + 1);
}

TEST(XmlClasses, TextRoundTripAndNodeProperties) {
    Script s;
    Value x = s.Xml("<a x=\"1\" y=\"&quot;q&quot;\">t &amp; u<b/></a><c>it's</c>");
    EXPECT_EQ(s.Str(x), "<a x=\"1\" y=\"&quot;q&quot;\">t &amp; u<b /></a><c>it&apos;s</c>");
    EXPECT_EQ(s.Str(s.Get(x, "status")), "0");
    Value a = s.Get(x, "firstChild");
    EXPECT_EQ(s.Str(s.Get(a, "nodeName")), "a");
    EXPECT_TRUE(s.Get(a, "nodeValue").IsNull());
    EXPECT_EQ(s.Str(s.Get(s.Get(a, "attributes"), "y")), "\"q\"");
    Value text = s.Get(a, "firstChild");
    EXPECT_EQ(s.Str(s.Get(text, "nodeType")), "3");
    EXPECT_EQ(s.Str(s.Get(text, "nodeValue")), "t & u");
    EXPECT_TRUE(s.Get(x, "parentNode").IsNull());
    EXPECT_EQ(s.Get(s.Get(a, "nextSibling"), "nodeName").AsString(), "c");

    // A document with a name is written as an element around its children.
    s.rt().SetMember(x.AsObject(), "nodeName", Value::Str("doc"));
    s.rt().SetMember(x.AsObject(), "nodeName", Value::Undef()); // ignored
    EXPECT_EQ(s.Str(x).rfind("<doc><a ", 0), 0u);

    // A failed read keeps its status and what came before.
    Value bad = s.Xml("<a><b></a>");
    EXPECT_EQ(s.Str(s.Get(bad, "status")), "-9");
}

TEST(XmlClasses, MovingNodesKeepsTreesConsistent) {
    Script s;
    Value x = s.Xml("<a><b/></a><c/>");
    Value a = s.Get(x, "firstChild");
    Value b = s.Get(a, "firstChild");
    Value kids = s.Get(x, "childNodes");

    s.Call(x, "appendChild", {b});
    EXPECT_EQ(s.Str(x), "<a /><c /><b />");
    EXPECT_EQ(s.Get(b, "parentNode").AsObject(), x.AsObject());
    EXPECT_EQ(s.Str(kids), "<a />,<c />,<b />"); // the same array, refilled

    // No node goes under itself or its own descendant.
    s.Call(b, "appendChild", {x});
    s.Call(a, "appendChild", {a});
    EXPECT_EQ(s.Str(x), "<a /><c /><b />");

    // insertBefore moves a node from another tree.
    Value other = s.Xml("<z/>");
    s.Call(other, "insertBefore", {b, s.Get(other, "firstChild")});
    EXPECT_EQ(s.Str(other), "<b /><z />");
    EXPECT_EQ(s.Str(x), "<a /><c />");

    s.Call(s.Get(x, "firstChild"), "removeNode");
    EXPECT_EQ(s.Str(x), "<c />");
    EXPECT_TRUE(s.Get(a, "parentNode").IsNull());
    EXPECT_TRUE(s.Get(a, "nextSibling").IsNull());

    // Reading new text detaches the old children.
    Value c = s.Get(x, "firstChild");
    s.Call(x, "parseXML", {Value::Str("<n/>")});
    EXPECT_TRUE(s.Get(c, "parentNode").IsNull());
    EXPECT_EQ(s.Str(x), "<n />");
}

TEST(XmlClasses, DeepCopiesAreIndependent) {
    Script s;
    Value x = s.Xml("<a k=\"v\"><b>t</b></a>");
    Value a = s.Get(x, "firstChild");
    Value shallow = s.Call(a, "cloneNode", {Value::Bool(false)});
    Value deep = s.Call(a, "cloneNode", {Value::Bool(true)});
    EXPECT_EQ(s.Str(shallow), "<a k=\"v\" />");
    EXPECT_EQ(s.Str(deep), "<a k=\"v\"><b>t</b></a>");
    EXPECT_TRUE(s.Get(deep, "parentNode").IsNull());
    s.rt().SetMember(s.Get(deep, "attributes").AsObject(), "k", Value::Str("changed"));
    s.Call(s.Get(deep, "firstChild"), "removeNode");
    EXPECT_EQ(s.Str(a), "<a k=\"v\"><b>t</b></a>");

    // A long chain built by script is written without deep recursion.
    Value doc = s.New("XML");
    Value tip = doc;
    for (int i = 0; i < 5000; ++i) {
        Value n = s.Call(doc, "createElement", {Value::Str("n")});
        s.Call(tip, "appendChild", {n});
        tip = n;
    }
    std::string text = s.Str(doc);
    EXPECT_EQ(text.size(), 5000u * 7 - 2);
    EXPECT_EQ(s.Str(s.Call(doc, "cloneNode", {Value::Bool(true)})).size(), text.size());
}

TEST(LoadVarsClass, DecodeAndEncode) {
    Script s;
    Value lv = s.New("LoadVars");
    s.Call(lv, "decode", {Value::Str("a=1+2&b%20c=%26x%3D&=skip&flag")});
    EXPECT_EQ(s.Str(s.Get(lv, "a")), "1 2");
    EXPECT_EQ(s.Str(s.Get(lv, "b c")), "&x=");
    EXPECT_TRUE(s.Get(lv, "flag").IsUndefined());
    // Newest first, as for..in lists them; names and values escaped.
    EXPECT_EQ(s.Str(lv), "b%20c=%26x%3D&a=1%202");
    EXPECT_FALSE(s.Call(lv, "load").AsBool());
    EXPECT_TRUE(s.Call(lv, "load", {Value::Str("vars.txt")}).AsBool());
    EXPECT_EQ(s.Str(s.Call(lv, "getBytesLoaded")), "0");
}
