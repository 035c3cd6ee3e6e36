#include "automation/office/replacer/input_fields.h"

#include <vector>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/i18n/BreakIterator.hpp>
#include <com/sun/star/i18n/ScriptType.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextField.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>

#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// Whether the office would split the field's text into runs of its own when writing it.
bool atRisk(const Reference<css::i18n::XBreakIterator>& scripts, const OUString& content) {
    for (sal_Int32 i = 0; i < content.getLength(); ++i) {
        const sal_Int16 script = scripts->getScriptType(content, i);
        if (script == css::i18n::ScriptType::ASIAN || script == css::i18n::ScriptType::COMPLEX)
            return true;
    }
    return false;
}

// What a Word content control brought along, as the office keeps it for writing it back.
struct ControlSettings {
    bool fromControl = false;
    OUString storeItem;
    OUString xpath;
    OUString prefixes;
    OUString placeholder;
};

css::uno::Any entry(const css::uno::Sequence<css::beans::PropertyValue>& bag, const char* name) {
    for (const auto& item : bag) {
        if (item.Name.equalsAscii(name))
            return item.Value;
    }
    return {};
}

ControlSettings settingsOf(const Reference<css::beans::XPropertySet>& field) {
    ControlSettings settings;
    css::uno::Sequence<css::beans::PropertyValue> bag;
    if (field->getPropertySetInfo()->hasPropertyByName("InteropGrabBag"))
        field->getPropertyValue("InteropGrabBag") >>= bag;
    for (const auto& item : bag) {
        if (item.Name.startsWith("ooxml:CT_Sdt"))
            settings.fromControl = true;
    }
    css::uno::Sequence<css::beans::PropertyValue> binding;
    entry(bag, "ooxml:CT_SdtPr_dataBinding") >>= binding;
    entry(binding, "ooxml:CT_DataBinding_storeItemID") >>= settings.storeItem;
    entry(binding, "ooxml:CT_DataBinding_xpath") >>= settings.xpath;
    entry(binding, "ooxml:CT_DataBinding_prefixMappings") >>= settings.prefixes;
    css::uno::Sequence<css::beans::PropertyValue> placeholder;
    entry(bag, "ooxml:CT_SdtPlaceholder_docPart") >>= placeholder;
    entry(placeholder, "ooxml:CT_SdtPlaceholder_docPart_val") >>= settings.placeholder;
    return settings;
}

void setIfGiven(const Reference<css::beans::XPropertySet>& control, const char* name,
                const OUString& value) {
    if (!value.isEmpty())
        control->setPropertyValue(OUString::createFromAscii(name), css::uno::Any(value));
}

std::vector<Reference<css::text::XTextField>> inputFieldsOf(
    const Reference<css::frame::XModel>& document) {
    const Reference<css::text::XTextFieldsSupplier> supplier(document, UNO_QUERY_THROW);
    std::vector<Reference<css::text::XTextField>> inputs;
    const auto fields = supplier->getTextFields()->createEnumeration();
    while (const auto field = nextOf(fields)) {
        if (supports(Reference<css::uno::XInterface>(*field, UNO_QUERY),
                     "com.sun.star.text.textfield.Input"))
            inputs.emplace_back(*field, UNO_QUERY_THROW);
    }
    return inputs;
}

}  // namespace

bool hasInputFields(const Reference<css::frame::XModel>& document) {
    return !inputFieldsOf(document).empty();
}

ConvertedInputFields keepInputFieldsWhole(const Reference<css::uno::XComponentContext>& context,
                                          const Reference<css::frame::XModel>& document) {
    ConvertedInputFields converted;
    const auto inputs = inputFieldsOf(document);
    if (inputs.empty())
        return converted;
    const auto scripts = css::i18n::BreakIterator::create(context);
    const Reference<css::lang::XMultiServiceFactory> factory(document, UNO_QUERY_THROW);
    for (const auto& field : inputs) {
        const Reference<css::beans::XPropertySet> properties(field, UNO_QUERY_THROW);
        OUString content;
        properties->getPropertyValue("Content") >>= content;
        if (!atRisk(scripts, content))
            continue;
        const ControlSettings settings = settingsOf(properties);
        // The text takes the field's place, with the field's formatting, and is then wrapped. A
        // control around a whole paragraph comes with that paragraph's end in its text: the
        // paragraph still ends there.
        const Reference<css::text::XText> text = field->getAnchor()->getText();
        const auto cursor = text->createTextCursorByRange(field->getAnchor());
        cursor->setString(content.replaceAll("\r", ""));
        const Reference<css::text::XTextContent> control(
            factory->createInstance("com.sun.star.text.ContentControl"), UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> controlProperties(control, UNO_QUERY_THROW);
        setIfGiven(controlProperties, "DataBindingStoreItemID", settings.storeItem);
        setIfGiven(controlProperties, "DataBindingXpath", settings.xpath);
        setIfGiven(controlProperties, "DataBindingPrefixMappings", settings.prefixes);
        setIfGiven(controlProperties, "PlaceholderDocPart", settings.placeholder);
        text->insertTextContent(Reference<css::text::XTextRange>(cursor, UNO_QUERY_THROW), control,
                                true);
        ++(settings.fromControl ? converted.controls : converted.fields);
    }
    return converted;
}

}  // namespace quorvane::automation::office
