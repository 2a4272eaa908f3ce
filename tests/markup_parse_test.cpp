// Parsing: the element tree, the well-formedness verdict and the result log.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup_document.h"

namespace {

bool Logged(const CMarkupDocument& doc, std::u16string_view what) {
    return doc.GetResult().find(what) != std::u16string::npos;
}

// The result log for a failure message (it is ASCII apart from tag names).
std::string LogOf(const CMarkupDocument& doc) {
    return std::string(doc.GetResult().begin(), doc.GetResult().end());
}

TEST(MarkupParse, UnendedChildStillLetsItsParentAndContentBeFound) {
    CMarkupDocument doc;
    EXPECT_FALSE(doc.SetDoc(u"<a><b><c/>text</a>"));
    EXPECT_TRUE(Logged(doc, u"<unended_start_tag tagname=\"b\" offset=\"3\""));
    ASSERT_TRUE(doc.FindElement(u"a"));
    EXPECT_EQ(doc.GetContent(), u"<b><c/>text");
    // b shrank to its start tag and its child c moved up to follow it.
    doc.EnterElement();
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetTagName(), u"b");
    EXPECT_EQ(doc.GetContent(), u"");
    EXPECT_FALSE(doc.FindChildElement());
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetTagName(), u"c");
    EXPECT_FALSE(doc.FindElement());
}

TEST(MarkupParse, LoneEndTagThenOneEmptyElement) {
    CMarkupDocument doc;
    EXPECT_FALSE(doc.SetDoc(u"</x><e a='1'/>"));
    EXPECT_TRUE(Logged(doc, u"<lone_end_tag tagname=\"x\" offset=\"0\"/>"));
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetTagName(), u"e");
    EXPECT_EQ(doc.GetAttribute(u"a"), u"1");
    EXPECT_EQ(doc.GetContent(), u"");
}

TEST(MarkupParse, TwoTopLevelElementsAreBothFound) {
    CMarkupDocument doc;
    EXPECT_FALSE(doc.SetDoc(u"<a/><b/>"));
    EXPECT_TRUE(Logged(doc, u"<root_has_sibling/>"));
    EXPECT_TRUE(doc.FindElement(u"a"));
    EXPECT_TRUE(doc.FindElement(u"b"));
    EXPECT_FALSE(doc.FindElement());

    EXPECT_FALSE(doc.SetDoc(u"just text"));
    EXPECT_TRUE(Logged(doc, u"<no_root_element/>"));
}

TEST(MarkupParse, PrologCommentsCdataAndDoctypeAreNotElements) {
    CMarkupDocument doc;
    EXPECT_TRUE(doc.SetDoc(u"<?xml version=\"1.0\"?>\n<!DOCTYPE r [ <!ENTITY e \"<x>\"> ]>\n"
                           u"<!-- <y> --><r><![CDATA[<z>]]><s t=\"a>b\"/></r>"));
    EXPECT_EQ(doc.GetResult().find(u"syntax"), std::u16string::npos) << LogOf(doc);
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_TRUE(doc.FindChildElement());
    doc.EnterElement();
    EXPECT_EQ(doc.GetTagName(), u"s");
    EXPECT_EQ(doc.GetAttribute(u"t"), u"a>b");
}

TEST(MarkupParse, MalformedTagsAreLoggedAndReadOnAsText) {
    struct Case {
        std::u16string_view text;
        std::u16string_view event;
    };
    const Case cases[] = {
        {u"<r>< x</r>", u"<first_tag_syntax offset=\"3\"/>"},
        {u"<r><!x></r>", u"<exclamation_tag_syntax offset=\"3\"/>"},
        {u"<r><!-x></r>", u"<comment_tag_syntax offset=\"3\"/>"},
        {u"<r><![x></r>", u"<cdata_section_syntax offset=\"3\"/>"},
        {u"<r><!DOCTYPX></r>", u"<doctype_tag_syntax offset=\"3\"/>"},
        {u"<r><!DOCTYPE r [] x></r>", u"<doctype_tag_syntax"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        CMarkupDocument doc;
        EXPECT_FALSE(doc.SetDoc(c.text));
        EXPECT_TRUE(Logged(doc, c.event)) << LogOf(doc);
        EXPECT_TRUE(doc.FindElement(u"r")); // the element around the bad tag survives
        EXPECT_FALSE(Logged(doc, u"unended"));
    }
}

TEST(MarkupParse, TextEndingInsideATagNamesTheTagKind) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"<r><a b='x>", u"start_tag"},
        {u"<r></r", u"end_tag"},
        {u"<r/><![CDATA[x", u"cdata_section"},
        {u"<r/><?pi", u"processing_instruction"},
        {u"<r/><!-- x", u"comment"},
        {u"<r/><!DOCTYPE [", u"document_type"},
        {u"<r/><", u"tag"},
    };
    for (const auto& [text, kind] : cases) {
        CMarkupDocument doc;
        EXPECT_FALSE(doc.SetDoc(text));
        EXPECT_TRUE(Logged(doc, u"<unterminated_tag_syntax type=\"" + std::u16string(kind) + u"\""))
            << std::string(text.begin(), text.end());
        EXPECT_TRUE(doc.FindElement(u"r"));
    }
}

TEST(MarkupParse, HundredThousandLevelsDeepNeedNoRecursion) {
    constexpr int kDepth = 100000;
    std::u16string text;
    for (int i = 0; i < kDepth; ++i)
        text += u"<d>";
    const std::u16string unended = text;
    for (int i = 0; i < kDepth; ++i)
        text += u"</d>";

    CMarkupDocument doc;
    EXPECT_TRUE(doc.SetDoc(text));
    int depth = 0;
    while (doc.FindElement(u"d")) {
        ++depth;
        doc.EnterElement();
    }
    EXPECT_EQ(depth, kDepth);
    while (doc.LeaveElement())
        --depth;
    EXPECT_EQ(depth, 0);

    // Never closed: every element is unended and they all end up side by side at the top.
    EXPECT_FALSE(doc.SetDoc(unended));
    int siblings = 0;
    while (doc.FindElement(u"d"))
        ++siblings;
    EXPECT_EQ(siblings, kDepth);
    EXPECT_LE(doc.GetResult().size(), 1000u + 200u); // the log stops growing near its cap
}

TEST(MarkupParse, HugeAttributesAndLongTagsKeepTheirFullLength) {
    const std::u16string value(5'000'000, u'v');
    const std::u16string endTag = u"</r" + std::u16string(2000, u' ') + u">";
    CMarkupDocument doc;
    EXPECT_TRUE(doc.SetDoc(u"<r a=\"" + value + u"\" b=\"2\">text" + endTag));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_EQ(doc.GetAttribute(u"a"), value);
    EXPECT_EQ(doc.GetAttribute(u"b"), u"2");
    EXPECT_EQ(doc.GetContent(), u"text");
}

TEST(MarkupParse, ManyLoneEndTagsUnderADeepStack) {
    // A lone end tag must not walk the whole stack of open elements each time.
    std::u16string text;
    for (int i = 0; i < 50000; ++i)
        text += u"<a>";
    for (int i = 0; i < 50000; ++i)
        text += u"</b>";
    for (int i = 0; i < 50000; ++i)
        text += u"</a>";
    CMarkupDocument doc;
    EXPECT_FALSE(doc.SetDoc(text));
    EXPECT_TRUE(Logged(doc, u"lone_end_tag"));
    EXPECT_FALSE(Logged(doc, u"unended"));
}

} // namespace
