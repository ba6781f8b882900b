// The XML text reader of the XML class: text into a plain tree with the
// player's leniency (unknown entities stay as written, comments are
// dropped, the declaration and DOCTYPE are kept as text) and its status
// codes. Also the escaping used when nodes are written back as text.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zembra::avm1 {

enum XmlStatus : int {
    kXmlOk = 0,
    kXmlCdataOpen = -2,
    kXmlDeclOpen = -3,
    kXmlDocTypeOpen = -4,
    kXmlCommentOpen = -5,
    kXmlMalformed = -6,
    kXmlAttributeOpen = -8,
    kXmlEndTagMissing = -9,
    kXmlStartTagMissing = -10,
};

struct XmlTreeNode {
    int type = 1; // 1 element, 3 text
    std::string name;
    std::string value;
    std::vector<std::pair<std::string, std::string>> attributes; // in document order
    std::vector<std::unique_ptr<XmlTreeNode>> children;
};

struct XmlDocument {
    int status = kXmlOk;
    bool hasXmlDecl = false;
    bool hasDocType = false;
    std::string xmlDecl;
    std::string docTypeDecl;
    XmlTreeNode root; // the document: an element without a name
};

// Elements nested deeper than this end the reading as malformed, so that
// every walk over a tree stays within a bounded depth.
constexpr size_t kXmlMaxDepth = 256;

// Reads the whole text; on an error the tree holds what came before it.
XmlDocument ParseXml(const std::string& text, bool ignoreWhite);

// &amp; &lt; &gt; &quot; &apos; and numeric references; anything else
// that starts with '&' is kept as written.
std::string XmlUnescape(const std::string& s);
// The five markup characters as entities, for text and attribute values.
std::string XmlEscape(const std::string& s);

} // namespace zembra::avm1
