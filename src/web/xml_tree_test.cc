// The XML tree of the web link, as the system's parser makes it (pugixml on
// Linux, XmlLite on Windows): both must give the link the same tree.

#include "web/xml_tree.h"

#include <gtest/gtest.h>

#include "web/web_xml.h"

namespace qrole::web {
namespace {

TEST(XmlTreeTest, ResolvesNamespacesFromTheDeclarationsInScope) {
  std::optional<XmlNode> root = ParseXml(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<s:Envelope xmlns:s=\"urn:env\" xmlns=\"urn:default\">"
      "<s:Body><Answer><Inner xmlns=\"urn:inner\"><x:Leaf xmlns:x=\"urn:x\"/></Inner>"
      "<Plain/></Answer></s:Body></s:Envelope>");
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->Is("urn:env", "Envelope"));
  EXPECT_EQ(root->name, "s:Envelope");
  EXPECT_EQ(root->Attribute("xmlns:s"), "urn:env");
  const XmlNode& body = root->children.at(0);
  EXPECT_TRUE(body.Is("urn:env", "Body"));
  const XmlNode& answer = body.children.at(0);
  EXPECT_TRUE(answer.Is("urn:default", "Answer"));
  const XmlNode& inner = answer.children.at(0);
  EXPECT_TRUE(inner.Is("urn:inner", "Inner"));
  EXPECT_TRUE(inner.children.at(0).Is("urn:x", "Leaf"));
  // The inner declaration ends with its element.
  EXPECT_TRUE(answer.children.at(1).Is("urn:default", "Plain"));
  EXPECT_FALSE(answer.children.at(1).Is("urn:inner", "Plain"));
}

TEST(XmlTreeTest, KeepsTextAsWrittenWithEntitiesAndCdataJoined) {
  std::optional<XmlNode> root = ParseXml(
      "<A>\n  <B>x &amp; &lt;y&gt;&#13;\n&#241;</B>\n  <C>uno<![CDATA[<dos>]]>tres</C> </A>");
  ASSERT_TRUE(root);
  ASSERT_EQ(root->children.size(), 5u);  // blanks, B, blanks, C, blank
  EXPECT_TRUE(root->children[0].is_text);
  EXPECT_EQ(root->children[0].text, "\n  ");
  EXPECT_EQ(root->children[1].Text(), "x & <y>\r\nñ");
  const XmlNode& c = root->children[3];
  ASSERT_EQ(c.children.size(), 1u);
  EXPECT_EQ(c.children[0].text, "uno<dos>tres");
  EXPECT_EQ(root->Text(), "\n  x & <y>\r\nñ\n  uno<dos>tres ");
}

TEST(XmlTreeTest, ReadsTheEncodingTheDocumentDeclares) {
  std::optional<XmlNode> bom = ParseXml("\xEF\xBB\xBF<A>ñ</A>");
  ASSERT_TRUE(bom);
  EXPECT_EQ(bom->Text(), "ñ");
  std::string utf16 = std::string("\xFF\xFE<\0A\0>\0\xF1\0<\0/\0A\0>\0", 18);
  std::optional<XmlNode> wide = ParseXml(utf16);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->name, "A");
  EXPECT_EQ(wide->Text(), "ñ");
}

TEST(XmlTreeTest, RefusesWhatIsNotAWellFormedDocument) {
  for (const char* bad : {"", "   ", "texto", "<A>", "<A></B>", "<A/><B/>", "<A/>x",
                          "<A x=\"1\" x=\"2\"/>", "<A x=1/>"}) {
    EXPECT_FALSE(ParseXml(bad)) << bad;
  }
  // A document type could expand entities without bound: refused.
  EXPECT_FALSE(ParseXml("<!DOCTYPE A [<!ENTITY e \"x\">]><A>&e;</A>"));
  EXPECT_FALSE(ParseXml("<!DOCTYPE A><A/>"));
}

TEST(XmlTreeTest, RefusesNestingBeyondTheLimit) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<e>";
    for (int i = 0; i < depth; ++i) s += "</e>";
    return s;
  };
  EXPECT_TRUE(ParseXml(nested(kMaxXmlDepth)));
  EXPECT_FALSE(ParseXml(nested(kMaxXmlDepth + 1)));
  EXPECT_FALSE(ParseXml(nested(100000)));
}

TEST(WebXmlTest, ChildTextsOfAPathLeaveOutLayoutBlanks) {
  auto texts = ChildTexts(
      "<Empresas>\r\n  <Empresa> Alfa SL </Empresa>\r\n  <E>Beta <b>ñ</b></E>"
      "\r\n</Empresas>",
      "/Empresas");
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, (std::vector<std::string>{"Alfa SL", "Beta ñ"}));
  auto deeper = ChildTexts("<R><A><B>1</B><B>2</B></A></R>", "/R/A");
  ASSERT_TRUE(deeper);
  EXPECT_EQ(*deeper, (std::vector<std::string>{"1", "2"}));
  EXPECT_FALSE(ChildTexts("<R/>", "/Empresas"));
  EXPECT_FALSE(ChildTexts("<R/>", "Empresas"));
  EXPECT_FALSE(ChildTexts("no es XML", "/Empresas"));
  auto root = RootElement("<R a=\"1\">x<S b=\"2\"/>y<T/></R>");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->Attribute("a"), "1");
  ASSERT_EQ(root->children.size(), 2u);
  EXPECT_EQ(root->children[0].Attribute("b"), "2");
  EXPECT_EQ(root->children[1].name, "T");
}

}  // namespace
}  // namespace qrole::web
