#include "Mount/lang/xml_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The text in a heap block of exactly its size, without a terminator, so
// that a read past the end is a real overrun.
struct Buf {
    std::vector<char> bytes;
    explicit Buf(const std::string &s) : bytes(s.begin(), s.end()) {}
    const char *begin() const { return bytes.data(); }
    const char *end() const { return bytes.data() + bytes.size(); }
};

std::string Attr(const std::string &xml, const char *name, size_t size = 64)
{
    Buf b(xml);
    std::vector<char> value(size, 'x');
    if (!XmlReadAttribute(b.begin(), b.end(), name, value.data(), value.size()))
        return value[0] == 0 ? "<failed>" : "<not cleared>";
    return std::string(value.data());
}

std::string Text(const std::string &xml, size_t size = 64)
{
    Buf b(xml);
    std::vector<char> text(size, 'x');
    if (!XmlReadNodeText(b.begin(), b.end(), text.data(), text.size()))
        return text[0] == 0 ? "<failed>" : "<not cleared>";
    return std::string(text.data());
}

long FindAt(const std::string &xml, const char *name, size_t from = 0)
{
    Buf b(xml);
    const char *p = XmlFindElement(b.begin() + from, b.end(), name);
    return p ? p - b.begin() : -1;
}

}  // namespace

TEST(XmlScan, NodesAreOpeningAnglesNotFollowedBySlash)
{
    Buf b("ab</x><y/>");
    EXPECT_EQ(XmlNextNode(b.begin(), b.end()) - b.begin(), 6);
    Buf last("</x><");
    EXPECT_EQ(XmlNextNode(last.begin(), last.end()) - last.begin(), 4);
    Buf none("</a></b>");
    EXPECT_EQ(XmlNextNode(none.begin(), none.end()), nullptr);
}

TEST(XmlScan, ElementNameMustEndWithAngleOrSpace)
{
    EXPECT_EQ(FindAt("<strings><string\tx><string>", "string"), 19);
    EXPECT_EQ(FindAt("<stringx a><string a=\"1\">", "string"), 11);
    EXPECT_EQ(FindAt("</string><string>", "string"), 9);
    EXPECT_EQ(FindAt("<string>", "string", 0), 0);    // the node at the start itself
    EXPECT_EQ(FindAt("<string><string>", "string", 1), 8);
    EXPECT_EQ(FindAt("<?xml version=\"1.0\" ?><QDSK>", "localization"), -1);
    EXPECT_EQ(FindAt("<string", "string"), -1);        // name runs into the end
    EXPECT_EQ(FindAt("<strin", "string"), -1);
}

TEST(XmlScan, AttributeNeedsSpaceBeforeAndEqualsQuoteAfter)
{
    EXPECT_EQ(Attr("<s mykey=\"a\" key=\"b\">", "key"), "b");
    EXPECT_EQ(Attr("<s keys=\"a\" key=\"b\">", "key"), "b");
    EXPECT_EQ(Attr("<s key=a key=\"b\">", "key"), "b");
    EXPECT_EQ(Attr("<s key = \"v\">", "key"), "v");
    EXPECT_EQ(Attr("<s key =\"v\">", "key"), "v");
    EXPECT_EQ(Attr("<s key= \"v\">", "key"), "v");
    EXPECT_EQ(Attr("<s key  =\"v\">", "key"), "<failed>");
    EXPECT_EQ(Attr("<s key=  \"v\">", "key"), "<failed>");
    EXPECT_EQ(Attr("<s key  =\"v\" key=\"w\">", "key"), "w");
    EXPECT_EQ(Attr("<s lang=\"en\" key=\"\">", "key"), "");
}

TEST(XmlScan, AttributeIsOnlySearchedInsideTheNode)
{
    EXPECT_EQ(Attr("<s lang=\"en\"> key=\"v\"", "key"), "<failed>");
    EXPECT_EQ(Attr(" <s key=\"v\">", "key"), "<failed>");   // must begin with "<"
    EXPECT_EQ(Attr("<s key=\"v\"", "key"), "<failed>");     // no ">" at all
    EXPECT_EQ(Attr("<s key=\"v>", "key"), "<failed>");      // no closing quote
}

TEST(XmlScan, AttributeValueMustBeShorterThanBuffer)
{
    EXPECT_EQ(Attr("<s key=\"abc\">", "key", 4), "abc");
    EXPECT_EQ(Attr("<s key=\"abcd\">", "key", 4), "<failed>");
}

TEST(XmlScan, NodeTextDecodesOnlyThreeEntities)
{
    EXPECT_EQ(Text("<s k=\"1\">a &lt;b&gt; &amp;c</s>"), "a <b> &c");
    EXPECT_EQ(Text("<s>&quot;&apos;&#65;&amp;lt;</s>"), "&quot;&apos;&#65;&lt;");
    EXPECT_EQ(Text("<s>tail&am</s>"), "tail&am");
    EXPECT_EQ(Text("<s/>next<t>"), "next");
    EXPECT_EQ(Text("<s k=\"a<b\">text</s>"), "text");  // starts after the first ">"
    EXPECT_EQ(Text("<s></s>"), "");
}

TEST(XmlScan, NodeTextMustBeClosedAndFitTheBuffer)
{
    EXPECT_EQ(Text("<s>abc", 64), "<failed>");
    EXPECT_EQ(Text("<s abc", 64), "<failed>");
    EXPECT_EQ(Text("s>abc<", 64), "<failed>");
    EXPECT_EQ(Text("<s>abc</s>", 4), "abc");
    EXPECT_EQ(Text("<s>abcd</s>", 4), "<failed>");
    // The raw length counts, even when the decoded text would fit.
    EXPECT_EQ(Text("<s>&amp;</s>", 5), "<failed>");
    EXPECT_EQ(Text("<s>&amp;</s>", 6), "&");
}
