#include "ui/form1.h"

#include <QCheckBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>
#include <array>
#include <limits>
#include <system_error>

#include "form/layout.h"
#include "form/run_drop.h"
#include "form/window_rules.h"
#include "os/file_system.h"
#include "ui/application_setup.h"
#include "ui/busy_run.h"
#include "ui/drive_list.h"
#include "ui/folder_list.h"

namespace quorvane::ui {
namespace {

namespace fs = std::filesystem;
using os::MessageBox;

// The window is laid out in twips, 15 to a pixel at 96 dpi; Qt scales pixels for the screen.
constexpr int px(int twips) {
    return form::pixels(twips, 96);
}

QRect twips(const form::Rect& r) {
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

QFont fontOf(const QString& family, double points) {
    QFont font(family);
    font.setPointSizeF(points);
    return font;
}

// A dropped URL's path as the file system has it: names that are not UTF-8 keep their bytes.
std::u16string localPath(const QUrl& url) {
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return os::fromNativePath(fs::path(bytes.toStdString()));
}

bool isLocal(const QUrl& url) {
    return url.isLocalFile() && (url.host().isEmpty() || url.host() == u"localhost");
}

std::vector<std::u16string> localPaths(const QMimeData& data) {
    std::vector<std::u16string> paths;
    for (const QUrl& url : data.urls()) {
        if (isLocal(url))
            paths.push_back(localPath(url));
    }
    return paths;
}

QString toQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Form1::Form1(automation::ObjectFactory& factory, os::MessageBox& messages,
             const VolumeSource& volumes, QWidget* parent)
    : QWidget(parent), messages_(messages), volumes_(volumes), driver_(messages, factory) {
    createControls();
    applyStartUpState();
}

Form1::~Form1() = default;

void Form1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQString(run::RunDriver::kTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(px(form::kClientWidth), px(form::kClientHeight));
    // The window font, which the check boxes use, is the proportional Japanese one: the default
    // fonts of desktops set Japanese too wide for the check boxes' captions.
    setFont(fontOf(kPGothic, 9));
    const QFont listFont = fontOf(kGothic, 8.25);
    // Places a control of the window (or of the first page) as the shared layout has it.
    auto place = [&](QWidget* control, const form::ControlLayout& layout) {
        control->setObjectName(toQString(layout.name));
        control->setGeometry(twips(layout.twips));
        if (layout.font == form::Font::Gothic825)
            control->setFont(listFont);
        else if (layout.font == form::Font::PGothic9)
            control->setFont(fontOf(kPGothic, 9));
    };
    const auto& layout = form::kWindowControls;

    image1_ = new QLabel(this);
    place(image1_, layout[0]);
    image1_->setPixmap(QPixmap(QStringLiteral(":/quorvane/drop_picture.png")));
    image1_->setScaledContents(true);
    image1_->setAcceptDrops(true);
    image1_->installEventFilter(this);

    multiPage1_ = new QTabWidget(this);
    place(multiPage1_, layout[1]);
    multiPage1_->setTabPosition(QTabWidget::South);
    multiPage1_->tabBar()->setFont(fontOf(kGothic, 9));
    // With the usual padding the three captions overflow the tab row and it starts to scroll.
    multiPage1_->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 7px; }"));
    for (std::size_t i = 0; i < form::kPageCaptions.size(); ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i + 1));
        multiPage1_->addTab(page, toQString(form::kPageCaptions[i]));
    }

    QWidget* page1 = multiPage1_->widget(0);
    std::vector<QWidget*> tabOrder{multiPage1_};
    for (std::size_t i = 0; i < form::kPage1Controls.size(); ++i) {
        const form::ControlLayout& control = form::kPage1Controls[i];
        if (i < form::kTextBoxes) {
            auto* box = new QLineEdit(page1);
            place(box, control);
            // A pair may be a whole passage: the usual limit would cut it without a word.
            box->setMaxLength(std::numeric_limits<int>::max());
            tabOrder.push_back(box);
            continue;
        }
        auto* label = new QLabel(toQString(control.caption), page1);
        place(label, control);
        // The heading is laid out to the pixel; a font a little wider must not cut its last word.
        QRect geometry = label->geometry();
        geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
        label->setGeometry(geometry);
    }

    // The controls of the other two pages belong to the window and lie over the page area;
    // created after MultiPage1, they stay above it.
    dir1_ = new FolderList(this);
    place(dir1_, layout[2]);
    connect(dir1_, &FolderList::openRefused, this, [this](const QString& folder) {
        tell(toQString(form::unopenableFolder(folder.toStdU16String())), MessageBox::kExclamation);
    });

    drive1_ = new DriveList(volumes_, this);
    place(drive1_, layout[3]);
    connect(drive1_, &DriveList::driveChosen, this, &Form1::openChosenDrive);

    option1_ = new QRadioButton(toQString(layout[4].caption), this);
    place(option1_, layout[4]);
    connect(option1_, &QRadioButton::clicked, this, &Form1::applyCopyOptionRule);

    option2_ = new QRadioButton(toQString(layout[5].caption), this);
    place(option2_, layout[5]);
    // Both buttons follow the same rule: it looks at Option1 whichever was clicked.
    connect(option2_, &QRadioButton::clicked, this, &Form1::applyCopyOptionRule);

    for (std::size_t i = 6; i < layout.size(); ++i) {
        auto* check = new QCheckBox(toQString(layout[i].caption), this);
        place(check, layout[i]);
        check->setChecked(true);
        checks_.push_back(check);
    }

    tabOrder.insert(tabOrder.end(), {dir1_, drive1_, option1_, option2_});
    tabOrder.insert(tabOrder.end(), checks_.begin(), checks_.end());
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // The folder list starts where the program was started; a folder that has vanished since
    // falls back to the home folder.
    std::error_code error;
    const fs::path start = fs::current_path(error);
    if (error || !dir1_->setPath(start)) {
        dir1_->setPath(os::toNativePath(QDir::homePath().toStdU16String()));
    }
    drive1_->selectDriveOf(dir1_->path());
}

void Form1::applyStartUpState() {
    multiPage1_->setCurrentIndex(0);
    option1_->setChecked(true);
    applyPageRule();
    connect(multiPage1_, &QTabWidget::currentChanged, this, &Form1::applyPageRule);
}

bool Form1::copying() const {
    return option1_->isChecked();
}

void Form1::applyPageRule() {
    const std::array<QWidget*, form::kPageControls> controls{dir1_,      drive1_,    option1_,
                                                             option2_,   checks_[0], checks_[1],
                                                             checks_[2], checks_[3], checks_[4]};
    const form::Visibility shown = form::visibleOnPage(multiPage1_->currentIndex(), copying());
    for (std::size_t i = 0; i < controls.size(); ++i)
        controls[i]->setVisible(shown[i]);
}

void Form1::applyCopyOptionRule() {
    dir1_->setVisible(form::listsShown(copying()));
    drive1_->setVisible(form::listsShown(copying()));
}

void Form1::openChosenDrive() {
    const fs::path root = drive1_->drive();
    folderOnDrive_[drive1_->keptDrive()] = dir1_->path();
    const auto remembered = folderOnDrive_.find(root);
    if ((remembered != folderOnDrive_.end() && dir1_->setPath(remembered->second)) ||
        dir1_->setPath(root)) {
        drive1_->keepChoice();
        return;
    }
    const QString name = drive1_->currentText();
    drive1_->revertChoice();
    tell(toQString(form::unreadableDrive(name.toStdU16String())), MessageBox::kExclamation);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == image1_) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
                answerDrag(static_cast<QDragMoveEvent&>(*event));
                return true;
            case QEvent::Drop:
                acceptDrop(static_cast<QDropEvent&>(*event));
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::answerDrag(QDragMoveEvent& event) {
    // Only a copy is ever offered: the run never moves or links what was dropped.
    if (!localPaths(*event.mimeData()).empty() && (event.possibleActions() & Qt::CopyAction)) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
    } else {
        event.setDropAction(Qt::IgnoreAction);
        event.ignore();
    }
}

void Form1::acceptDrop(QDropEvent& event) {
    std::vector<std::u16string> paths = localPaths(*event.mimeData());
    if (paths.empty()) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    // The window is busy from here on, so nothing changes the settings before the first run and
    // a second drop is refused.
    busy_ = std::make_unique<BusyRun>(*this);
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { runEach(paths); }, Qt::QueuedConnection);
}

void Form1::runEach(const std::vector<std::u16string>& paths) {
    const auto done = qScopeGuard([this] {
        const bool closeRequested = busy_->closeRequested();
        busy_.reset();
        if (closeRequested)
            close();
    });
    form::runDrop(
        driver_, paths, [this] { return runRequest(); }, busy_.get(),
        [this](const form::Message& message) { tell(toQString(message.text), message.flags); });
}

void Form1::tell(const QString& text, int flags) {
    messages_.show(text.toStdU16String(), run::RunDriver::kTitle, flags);
}

run::RunRequest Form1::runRequest() const {
    form::ControlValues values;
    values.copying = copying();
    values.folder = os::fromNativePath(dir1_->path());
    const QWidget* page1 = multiPage1_->widget(0);
    for (std::size_t i = 0; i < values.texts.size(); ++i) {
        values.texts[i] = page1->findChild<QLineEdit*>(QStringLiteral("TextBox%1").arg(i + 1))
                              ->text()
                              .toStdU16String();
    }
    for (std::size_t i = 0; i < values.checks.size(); ++i)
        values.checks[i] = checks_[i]->isChecked();
    return form::requestFrom(values);
}

}  // namespace quorvane::ui
