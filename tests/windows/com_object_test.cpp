#include "automation/com/com_object.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include "automation/automation_error.h"
#include "automation/com/com_factory.h"
#include "automation/com/com_variant.h"
#include "automation/fake/dispatch_server.h"

namespace quorvane::automation::com {
namespace {

// An object that has no member at all.
class Empty final : public Object {
  public:
    Variant get(std::u16string_view member) override {
        throw AutomationError(u"「" + std::u16string(member) + u"」はありません");
    }
    void put(std::u16string_view, const Variant&) override {}
    Variant call(std::u16string_view, const std::vector<Variant>&,
                 const std::vector<NamedArgument>&) override {
        return {};
    }
    std::vector<Variant> enumerate() override { return {}; }
};

TEST(ComObject, AServerExceptionCarriesItsDescriptionInAJapaneseMessage) {
    ComApartment apartment;
    ComObject object{fake::serve(std::make_shared<Empty>())};
    try {
        object.get(u"Shapes");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.message().find(u"「Shapes」の呼び出しに失敗しました"), std::u16string::npos);
        EXPECT_NE(e.message().find(u"「Shapes」はありません"), std::u16string::npos);
    }
}

TEST(ComVariantConversion, ResultsByReferenceAndOtherIntegersAreUnwrapped) {
    LONG number = 42;
    _variant_t byRef;
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &number;
    EXPECT_EQ(fromComVariant(byRef).toInt32(), 42);

    _variant_t text = toComVariant(Variant(u"𠮷野家"));
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_VARIANT | VT_BYREF;
    inner.pvarVal = &text;
    EXPECT_EQ(fromComVariant(inner).toString(), u"𠮷野家");

    _variant_t small;
    small.vt = VT_I2;
    small.iVal = -3;
    EXPECT_EQ(fromComVariant(small).toInt32(), -3);
    _variant_t large;
    large.vt = VT_UI4;
    large.ulVal = 0xFFFFFFFFu;
    EXPECT_THROW(fromComVariant(large), AutomationError);
    EXPECT_EQ(fromComVariant(toComVariant(Variant::nothing)).type(), Variant::Type::Nothing);
}

TEST(ComObjectFactory, AClassThatIsNotRegisteredSaysSoInJapanese) {
    ComApartment apartment;
    ComObjectFactory factory;
    try {
        factory.create(u"Word.Application");
        ADD_FAILURE() << "Word is not installed under Wine";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.message().find(u"Word がインストールされていない"), std::u16string::npos);
    }
    try {
        factory.create(u"Quorvane.NoSuchServer");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.message().find(u"「Quorvane.NoSuchServer」"), std::u16string::npos);
    }
}

}  // namespace
}  // namespace quorvane::automation::com
