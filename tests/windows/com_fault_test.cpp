#include <gtest/gtest.h>

#include <objbase.h>

#include <chrono>
#include <functional>

#include "automation/automation_error.h"
#include "automation/com/com_factory.h"
#include "automation/com/com_object.h"
#include "automation/com/server_watchdog.h"
#include "automation/com/word_factory.h"
#include "automation/fake/fake_server.h"
#include "automation/word_model.h"
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
    const word::Application application(factory.create(fake::kDyingServerProgId));
    const std::u16string message = failureOf([&] { application.documents().open(u"C:\\a.doc"); });
    EXPECT_NE(message.find(u"応答しません"), std::u16string::npos) << os::toUtf8(message);
    EXPECT_THROW(application.quit(), ServerGoneError) << "what starts Word again relies on it";
}

// Wine never hands a server's rejection to the caller's message filter (the busy fake's Invoke
// answers it): the rejection reaches the caller in plain words, and the filter is asked directly
// what COM would ask it on Windows.
TEST(ComFaults, ABusyServerIsCalledAgainForABoundedTimeThenAnswers) {
    ComApartment apartment(std::chrono::seconds{1});
    IMessageFilter* filter = nullptr;
    ASSERT_EQ(CoRegisterMessageFilter(nullptr, &filter), S_OK);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 500, SERVERCALL_RETRYLATER), 100u);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 1500, SERVERCALL_RETRYLATER), DWORD(-1));
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), DWORD(-1));
    IMessageFilter* none = nullptr;
    CoRegisterMessageFilter(filter, &none);

    // Should Wine ever hold a rejected call, the watchdog ends it instead of the test hanging.
    ComObjectFactory com(std::chrono::seconds{20});
    const word::Application application(com.create(fake::kBusyServerProgId));
    for (int i = 0; i < fake::kBusyRejections; ++i) {
        const std::u16string message = failureOf([&] { application.documents(); });
        EXPECT_NE(message.find(u"処理中のため"), std::u16string::npos) << os::toUtf8(message);
    }
    EXPECT_NO_THROW(application.documents());
    application.quit();
}

// A server stuck in its own start is ended at the limit, and the start fails in plain words.
TEST(ComFaults, AServerStuckInItsStartIsEndedAtTheLimit) {
    ComApartment apartment;
    ComObjectFactory factory(std::chrono::seconds{2});
    const std::u16string message = failureOf([&] { factory.create(fake::kStuckServerProgId); });
    EXPECT_NE(message.find(u"起動の途中で応答しなくなったため終了させました"), std::u16string::npos)
        << os::toUtf8(message);
}

// A watchdog is made with each word processor and ended with it, so at the end of every run: its
// end must never wait for ever on its own thread, whatever that thread is doing at the moment.
TEST(ComFaults, AWatchdogAlwaysEnds) {
    for (int i = 0; i < 1000; ++i) {
        os::KernelHandle self(OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId()));
        ASSERT_TRUE(self);
        ServerWatchdog watchdog(std::move(self), u"Word", std::chrono::minutes{5});
        if (i % 2)
            ServerWatchdog::Call call(&watchdog);
    }
}

// Word, as far as the session knows, is the registered server of that name.
class ServerAsWord final : public ObjectFactory {
  public:
    ServerAsWord(std::u16string progId, std::chrono::milliseconds callLimit)
        : progId_(std::move(progId)), com_(callLimit) {}
    Variant create(std::u16string_view) override { return com_.create(progId_); }

  private:
    std::u16string progId_;
    ComObjectFactory com_;
};

TEST(ComFaults, AServerThatHangsIsEndedAtTheLimitAndTheNextDocumentGetsANewOne) {
    ComApartment apartment;
    ServerAsWord hanging(fake::kHangingServerProgId, std::chrono::seconds{2});
    WordFactory factory(hanging);
    const auto application = word::Application::create(factory);
    const std::u16string message = failureOf([&] { application.documents().open(u"C:\a.doc"); });
    EXPECT_NE(message.find(u"応答しなくなったため終了させました"), std::u16string::npos)
        << os::toUtf8(message);
    EXPECT_NO_THROW(application.documents()) << "no new instance after the hung one was ended";
    application.quit();
}

}  // namespace
}  // namespace quorvane::automation::com
