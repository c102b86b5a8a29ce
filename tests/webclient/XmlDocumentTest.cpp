// Tests of the XML document layer and of the reply outline.
#include <gtest/gtest.h>

#include "core/ComApartment.h"
#include "core/RuntimeError.h"
#include "webclient/XmlDocument.h"
#include "webclient/XmlOutline.h"

using namespace vorlane;

namespace {

class XmlDocumentTest : public ::testing::Test {
protected:
    ComApartment apartment;
};

const wchar_t* kGalleries =
    L"<galleries>\n"
    L"<gallery><friendly>Nature</friendly><categories>"
    L"<category><redir>no</redir><friendly>Lakes</friendly></category>"
    L"<category><redir>yes</redir><friendly>Old</friendly></category>"
    L"</categories></gallery>\n"
    L"<gallery><friendly>Caf\u00e9 \u00e0 Paris</friendly></gallery>\n"
    L"</galleries>";

}  // namespace

TEST_F(XmlDocumentTest, WalksByRelativePathsInDocumentOrder) {
    XmlDocument document;
    ASSERT_TRUE(document.loadXml(kGalleries));
    const XmlNode root = document.firstChild();
    EXPECT_TRUE(root.isElement());
    EXPECT_EQ(root.name(), L"galleries");

    const auto galleries = document.asNode().selectAll(L"galleries/gallery");
    ASSERT_EQ(galleries.size(), 2u);
    EXPECT_EQ(galleries[0].require(L"friendly").text(), L"Nature");
    EXPECT_EQ(galleries[1].require(L"friendly").text(), L"Caf\u00e9 \u00e0 Paris");

    const auto categories = galleries[0].selectAll(L"categories/category");
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_EQ(categories[0].require(L"friendly").text(), L"Lakes");
    EXPECT_EQ(categories[1].require(L"redir").text(), L"yes");
    EXPECT_TRUE(galleries[1].selectAll(L"categories/category").empty());
}

TEST_F(XmlDocumentTest, AttributesAndMissingNodes) {
    XmlDocument document;
    ASSERT_TRUE(document.loadXml(L"<wallpapers count=\"2\">\n<wallpaper><id>7</id></wallpaper>\n</wallpapers>"));
    const XmlNode root = document.firstChild();
    EXPECT_EQ(root.attribute(L"count"), L"2");
    EXPECT_EQ(root.attribute(L"Count"), std::nullopt);  // names count letter case
    EXPECT_EQ(root.require(L"wallpaper").require(L"id").text(), L"7");
    EXPECT_FALSE(root.find(L"missing").has_value());
    try {
        root.require(L"missing");
        FAIL() << "a missing element was not an error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errnum::ObjectNotSet);
    }
}

TEST_F(XmlDocumentTest, DeclarationIsTheFirstChildBeforeTheRoot) {
    XmlDocument document;
    ASSERT_TRUE(document.loadXml(L"<?xml version=\"1.0\"?>\n<auth><token>t</token></auth>"));
    EXPECT_FALSE(document.firstChild().isElement());
    EXPECT_EQ(document.rootElement().name(), L"auth");
}

TEST_F(XmlDocumentTest, MalformedTextIsRefusedWithAReason) {
    XmlDocument document;
    EXPECT_FALSE(document.loadXml(L"<auth><token>t</auth>"));
    EXPECT_NE(document.parseErrorCode(), 0);
    EXPECT_FALSE(document.loadXml(L""));
    EXPECT_FALSE(document.loadXml(L"not xml at all"));
}

TEST_F(XmlDocumentTest, DocumentTypeDeclarationsAreRefused) {
    XmlDocument document;
    const wchar_t* entityBomb =
        L"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n<r>&b;</r>";
    EXPECT_FALSE(document.loadXml(entityBomb));
    const wchar_t* external = L"<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n<r>&x;</r>";
    EXPECT_FALSE(document.loadXml(external));
    EXPECT_NE(document.parseErrorCode(), 0);
    EXPECT_FALSE(document.parseErrorReason().empty());
    EXPECT_FALSE(document.loadXml(L"<r/>\n<!doctype r>"));
}

TEST_F(XmlDocumentTest, DocumentTypeTextWhereNoDeclarationCanStandIsContent) {
    XmlDocument document;
    ASSERT_TRUE(document.loadXml(L"<r><a><![CDATA[<!DOCTYPE x [<!ENTITY y \"z\">]>]]></a><b>&lt;!DOCTYPE</b>"
                                 L"<!-- <!DOCTYPE --></r>"));
    EXPECT_EQ(document.firstChild().require(L"a").text(), L"<!DOCTYPE x [<!ENTITY y \"z\">]>");
    EXPECT_EQ(document.firstChild().require(L"b").text(), L"<!DOCTYPE");
    // Before the root, behind a comment or a declaration, it is still refused.
    EXPECT_FALSE(document.loadXml(L"<?xml version=\"1.0\"?><!-- x --><!DOCTYPE r SYSTEM \"http://x/\"><r/>"));
    EXPECT_EQ(document.parseErrorReason(), L"DTD is prohibited.");
}

// Where a reply's root element starts and ends, as the framer needs to know.
TEST(XmlOutline, TheRootClosesOnlyOutsideCDataCommentsAndQuotedValues) {
    struct Case {
        const wchar_t* text;
        bool whole;
        bool documentType;
    } cases[] = {
        {L"<a>\n<b x=\"1\"/>\n</a>\n", true, false},
        {L"<a/>", true, false},
        {L"<?xml version=\"1.0\"?>\n<!-- </a> -->\n<a>\n</a>", true, false},
        {L"<a>\n<b><![CDATA[\n</a>\n", false, false},
        {L"<a>\n<b><![CDATA[\n</a>\n]]></b>\n</a>\n", true, false},
        {L"<a>\n<!--\n</a>\n", false, false},
        {L"<a>\n<?pi </a> ?>\n</a>", true, false},
        {L"<a>\n<b t='</a>'>\n</a>", false, false},
        {L"<a>\n<b t='>'/>\n</a>", true, false},
        {L"<a>\n</a>\n<a>\n</a>\n", false, false},
        {L"<a/>\n<!-- <b> -->\n<?pi?>\n", true, false},
        {L"<a>\n<b>\n</a>", false, false},
        {L"<a>\n</a", false, false},
        {L"<!DOCTYPE a [<!ENTITY e \"]>\">]>\n<a>\n</a>", true, true},
        {L"<!doctype a>\n<a/>", true, true},
        {L"<a>\n<b><![CDATA[<!DOCTYPE a>]]></b>\n</a>", true, false},
        {L"HTTP/1.0 200 OK\r\nServer: x\n<a>\n</a>\n", true, false},
    };
    for (const Case& c : cases) {
        const XmlOutline outline = outlineXml(c.text);
        EXPECT_EQ(outline.whole(), c.whole) << c.text;
        EXPECT_EQ(outline.documentTypeInProlog, c.documentType) << c.text;
    }
}

TEST_F(XmlDocumentTest, WritesTheDocumentOutAgain) {
    XmlDocument document;
    ASSERT_TRUE(document.loadXml(L"<strange><a>1</a></strange>"));
    const std::wstring text = document.xml();
    // The parser may lay the text out its own way; the content is what counts.
    EXPECT_NE(text.find(L"<strange>"), std::wstring::npos);
    EXPECT_NE(text.find(L"<a>1</a>"), std::wstring::npos);
    EXPECT_NE(text.find(L"</strange>"), std::wstring::npos);
}
