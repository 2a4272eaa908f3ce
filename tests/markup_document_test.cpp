// Reading a parsed document: navigation, attribute values and verbatim content.
#include <gtest/gtest.h>

#include "markup/char_refs.h"
#include "markup/markup_document.h"

namespace {

constexpr std::u16string_view kLanguage = u"<language>\n"
                                          u"  <string ID=\"tipTitle\">Tip</string>\n"
                                          u"  <other ID=\"x\">no</other>\n"
                                          u"  <string ID=\"NoQue\">No &amp; question</string>\n"
                                          u"  <string ID='empty'/>\n"
                                          u"</language>";

TEST(MarkupDocument, NavigationRoundTrips) {
    CMarkupDocument doc;
    ASSERT_TRUE(doc.SetDoc(kLanguage));
    EXPECT_EQ(doc.GetTagName(), u"");
    ASSERT_TRUE(doc.FindElement(u"language"));

    // Children by name from the main element, then stepping in and out.
    ASSERT_TRUE(doc.FindChildElement(u"string"));
    ASSERT_TRUE(doc.FindChildElement(u"string"));
    EXPECT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"ID"), u"NoQue");
    EXPECT_TRUE(doc.FindElement(u"string"));
    EXPECT_EQ(doc.GetAttribute(u"ID"), u"empty");
    EXPECT_FALSE(doc.FindElement(u"string"));
    EXPECT_EQ(doc.GetAttribute(u"ID"), u"empty"); // a failed search moves nothing

    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetTagName(), u"language");
    EXPECT_TRUE(doc.FindChildElement(u"other") == false); // the child position was "empty"
    EXPECT_FALSE(doc.FindElement());                      // no next sibling at the top
    EXPECT_FALSE(doc.LeaveElement());

    // Back to the top, and the same walk again finds the same first string.
    doc.ResetMainPosition();
    ASSERT_TRUE(doc.FindChildElement(u"string"));
    doc.EnterElement();
    EXPECT_EQ(doc.GetContent(), u"Tip");

    // Names match exactly, case included.
    doc.ResetMainPosition();
    EXPECT_FALSE(doc.FindElement(u"STRING"));
    EXPECT_FALSE(doc.FindElement(u"strin"));
}

TEST(MarkupDocument, EnterAndLeaveNeedSomewhereToGo) {
    CMarkupDocument doc;
    EXPECT_FALSE(doc.EnterElement());
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_FALSE(doc.FindChildElement());
    EXPECT_EQ(doc.GetAttribute(u"a"), u"");
    EXPECT_EQ(doc.GetContent(), u"");
}

TEST(MarkupDocument, ContentIsVerbatim) {
    CMarkupDocument doc;
    ASSERT_TRUE(doc.SetDoc(kLanguage));
    doc.FindElement();
    doc.FindChildElement(u"string");
    doc.FindChildElement(u"string");
    doc.EnterElement();
    EXPECT_EQ(doc.GetContent(), u"No &amp; question");
    doc.FindElement();
    EXPECT_EQ(doc.GetContent(), u""); // empty element

    ASSERT_TRUE(doc.SetDoc(u"<r> <![CDATA[x]]> <b>y</b> </r>"));
    doc.FindElement();
    EXPECT_EQ(doc.GetContent(), u" <![CDATA[x]]> <b>y</b> ");
}

std::u16string AttributeOf(std::u16string_view tag, std::u16string_view name) {
    CMarkupDocument doc;
    doc.SetDoc(tag);
    doc.FindElement();
    return doc.GetAttribute(name);
}

TEST(MarkupDocument, AttributeValuesDecodeCharacterReferences) {
    EXPECT_EQ(AttributeOf(u"<e v=\"A&amp;B&#65;&#x42;&unknown;\"/>", u"v"), u"A&BAB&unknown;");
    EXPECT_EQ(AttributeOf(u"<e v='&#0;&#x0;&;&#;&#x;&#12a;'/>", u"v"), u"&#0;&#x0;&;&#;&#x;&#12a;");
    EXPECT_EQ(AttributeOf(u"<e v='&#x1F600;&#1114112;&#xD800;'/>", u"v"),
              u"\U0001F600&#1114112;&#xD800;");
    EXPECT_EQ(AttributeOf(u"<e v='&amp &toolongname; &é; &apos;&lt;&QUOT;'/>", u"v"),
              u"&amp &toolongname; &é; '<\"");
    // Where two names differ only in case each keeps its own character; another spelling of the
    // same letters finds the capital one.
    EXPECT_EQ(AttributeOf(u"<e v='&Eacute;&eacute;&EACUTE;&rArr;&rarr;'/>", u"v"), u"ÉéÉ⇒→");
    EXPECT_EQ(markup::NamedCharRefs().size(), 253u);
}

TEST(MarkupDocument, AttributeQuotingRules) {
    constexpr std::u16string_view tag =
        u"<e a=\"1 '2'\" b='x \"y\"' c=plain d = \"spaced\" e f=g/>";
    EXPECT_EQ(AttributeOf(tag, u"a"), u"1 '2'");
    EXPECT_EQ(AttributeOf(tag, u"b"), u"x \"y\"");
    EXPECT_EQ(AttributeOf(tag, u"c"), u"plain");
    EXPECT_EQ(AttributeOf(tag, u"d"), u"spaced");
    EXPECT_EQ(AttributeOf(tag, u"e"), u"");
    EXPECT_EQ(AttributeOf(tag, u"f"), u"g/");
    EXPECT_EQ(AttributeOf(tag, u"missing"), u"");
    EXPECT_EQ(AttributeOf(u"<e a='1'>text a='2'</e>", u"A"), u""); // names match exactly
}

} // namespace
