#include <gtest/gtest.h>

#include <functional>

#include "automation/automation_error.h"
#include "automation/com/com_factory.h"
#include "automation/com/com_object.h"
#include "automation/word_model.h"
#include "fake_server.h"
#include "os/text_encoding.h"

namespace quorvane::automation::com {
namespace {

std::u16string failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return u"no failure";
}

TEST(ComFaults, AServerThatDiesFailsTheCallInPlainWords) {
    ComApartment apartment;
    ComObjectFactory factory;
    const word::Application application(factory.create(test::kDyingServerProgId));
    const std::u16string message = failureOf([&] { application.documents().open(u"C:\\a.doc"); });
    EXPECT_NE(message.find(u"応答しません"), std::u16string::npos) << os::toUtf8(message);
    EXPECT_THROW(application.quit(), ServerGoneError) << "what starts Word again relies on it";
}

}  // namespace
}  // namespace quorvane::automation::com
