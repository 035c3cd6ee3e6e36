#include "form/run_drop.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.h"

namespace quorvane::form {
namespace {

// A word processor whose start fails in a way nobody foresaw.
class BrokenFactory final : public automation::ObjectFactory {
  public:
    automation::Variant create(std::u16string_view) override {
        throw std::logic_error("broken start");
    }
};

// Both windows run a drop through this one loop: an unexpected failure ends the drop as an error
// does, told in its words instead of thrown through the window's event loop.
TEST(RunDrop, AnUnexpectedFailureEndsTheDropAndIsTold) {
    test::TempDir dir;
    test::writeDocument(dir / "a.doc", u"foo");
    test::writeDocument(dir / "b.doc", u"foo");
    test::ScriptedMessageBox messages;
    BrokenFactory factory;
    run::RunDriver driver(messages, factory);
    int requests = 0;
    std::vector<Message> told;
    runDrop(
        driver, {dir / "a.doc", dir / "b.doc"},
        [&] {
            ++requests;
            run::RunRequest request;
            request.mode = run::RunRequest::Mode::EditOriginals;
            request.pairs[0] = {u"foo", u"X"};
            return request;
        },
        nullptr, [&](const Message& message) { told.push_back(message); });

    EXPECT_EQ(requests, 1);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, u"予期しないエラーで中断しました：broken start");
    EXPECT_EQ(told[0].flags, os::MessageBox::kCritical);
}

}  // namespace
}  // namespace quorvane::form
