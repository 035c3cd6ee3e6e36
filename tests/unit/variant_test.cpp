#include "automation/variant.h"

#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "automation/member_name.h"

namespace quorvane::automation {
namespace {

TEST(Variant, ANullObjectIsNothingAndAWrongTypeIsRefused) {
    EXPECT_EQ(Variant(std::shared_ptr<Object>()).type(), Variant::Type::Nothing);

    EXPECT_THROW(Variant(u"2").toInt32(), AutomationError);
    EXPECT_THROW(Variant(1).toBool(), AutomationError);
    EXPECT_EQ(describe(Variant(false)), u"BOOL 0");
    EXPECT_EQ(describe(Variant(true)), u"BOOL -1");
    EXPECT_EQ(describe(Variant(2)), u"I4 2");
}

TEST(Variant, MemberUseWithoutAnObjectIsAnAutomationError) {
    // The passes rely on this: after a failed Open every later step fails and is skipped.
    EXPECT_THROW(Variant().get(u"Shapes"), AutomationError);
    EXPECT_THROW(Variant(Variant::nothing).call(u"Close"), AutomationError);
    EXPECT_THROW(Variant(u"doc").enumerate(), AutomationError);
}

TEST(MemberName, IgnoresLetterCaseOnly) {
    EXPECT_TRUE(sameName(u"Textbox1", u"TextBox1"));
    EXPECT_TRUE(sameName(u"EXECUTE", u"execute"));
    EXPECT_FALSE(sameName(u"TextBox1", u"TextBox10"));
    EXPECT_FALSE(sameName(u"Ａ", u"ａ"));
}

}  // namespace
}  // namespace quorvane::automation
