#include "automation/execute_arguments.h"

#include "automation/automation_error.h"
#include "automation/member_name.h"

namespace quorvane::automation {
namespace {

constexpr std::int32_t kReplaceAll = 2;

const Variant* find(const std::vector<NamedArgument>& named, std::u16string_view name) {
    for (const auto& a : named) {
        if (sameName(a.name, name))
            return &a.value;
    }
    return nullptr;
}

}  // namespace

ExecuteArguments bindExecuteArguments(const std::vector<Variant>& positional,
                                      const std::vector<NamedArgument>& named) {
    for (const auto& a : named) {
        if (!sameName(a.name, u"FindText") && !sameName(a.name, u"ReplaceWith") &&
            !sameName(a.name, u"Replace") && !sameName(a.name, u"MatchCase")) {
            throw AutomationError(u"名前付き引数 " + a.name + u" には対応していません");
        }
    }
    if (positional.size() > 1)
        throw AutomationError(u"引数が多すぎます");
    const Variant* findText = positional.empty() ? find(named, u"FindText") : &positional[0];
    const Variant* replaceWith = find(named, u"ReplaceWith");
    const Variant* replace = find(named, u"Replace");
    const Variant* matchCase = find(named, u"MatchCase");
    if (!findText || !replaceWith || !replace || replace->toInt32() != kReplaceAll) {
        throw AutomationError(u"置換にはFindText、ReplaceWithとReplace=2が必要です");
    }
    return {findText->toString(), replaceWith->toString(), matchCase && matchCase->toBool()};
}

}  // namespace quorvane::automation
