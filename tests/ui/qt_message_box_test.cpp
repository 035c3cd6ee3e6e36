#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "qt/qt_message_box.h"
#include "run/run_driver.h"

namespace quorvane::test {
namespace {

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows a box, looks at it once it is up and presses the button with the given text (or Escape).
int showAndAnswer(std::u16string_view text, int flags, const QString& press, Seen& seen) {
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->icon(), {}, box->defaultButton()->text()};
        for (QAbstractButton* button : box->buttons()) {
            seen.buttons << button->text();
            if (button->text() == press)
                button->click();
        }
        if (press.isEmpty())
            box->reject();
    });
    qt::QtMessageBox messages;
    return messages.show(text, run::RunDriver::kTitle, flags);
}

TEST(QtMessageBoxTest, TheConfirmationAsksInJapaneseWithYesAsDefault) {
    Seen seen;
    EXPECT_EQ(showAndAnswer(run::RunDriver::kConfirmText, 36, "いいえ", seen), 7);
    EXPECT_EQ(seen.title, "Quorvane");
    EXPECT_EQ(seen.text.toStdU16String(), run::RunDriver::kConfirmText);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, (QStringList{"はい", "いいえ"}));
    EXPECT_EQ(seen.defaultButton, "はい");

    EXPECT_EQ(showAndAnswer(run::RunDriver::kConfirmText, 36, "はい", seen), 6);
    // Closing the box is not a yes.
    EXPECT_EQ(showAndAnswer(run::RunDriver::kConfirmText, 36, "", seen), 7);
}

TEST(QtMessageBoxTest, TheCopyFailureIsAStopNoticeWithOk) {
    Seen seen;
    EXPECT_EQ(showAndAnswer(run::RunDriver::kCopyFailedText, 16, "OK", seen), 1);
    EXPECT_EQ(seen.text.toStdU16String(), run::RunDriver::kCopyFailedText);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
}

}  // namespace
}  // namespace quorvane::test
