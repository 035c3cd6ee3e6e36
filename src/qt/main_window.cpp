#include "qt/main_window.h"

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
#include "qt/application_setup.h"
#include "qt/busy_run.h"
#include "qt/drive_list.h"
#include "qt/folder_list.h"

namespace quorvane::qt {
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

using enum form::WindowControl;

// Places a control of the window (or of the first page) as the shared layout has it.
void place(QWidget* control, const form::ControlLayout& layout) {
    control->setObjectName(toQString(layout.name));
    control->setGeometry(twips(layout.twips));
    if (layout.font == form::Font::Gothic825)
        control->setFont(fontOf(kGothic, 8.25));
    else if (layout.font == form::Font::PGothic9)
        control->setFont(fontOf(kPGothic, 9));
}

}  // namespace

MainWindow::MainWindow(automation::ObjectFactory& factory, os::MessageBox& messages,
                       const VolumeSource& volumes, QWidget* parent)
    : QWidget(parent), messages_(messages), volumes_(volumes), driver_(messages, factory) {
    createControls();
    applyStartUpState();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQString(run::RunDriver::kTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(px(form::kClientWidth), px(form::kClientHeight));
    // The window font, which the check boxes use, is the proportional Japanese one: the default
    // fonts of desktops set Japanese too wide for the check boxes' captions.
    setFont(fontOf(kPGothic, 9));

    createDropArea();
    std::vector<QWidget*> tabOrder = createPages();
    createPageControls();
    tabOrder.insert(tabOrder.end(),
                    {folders_, drives_, copyOption_, originalsOption_, bodyCheck_, textBoxesCheck_,
                     headersFootersCheck_, matchCaseCheck_, widthsCheck_});
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    openStartFolder();
}

void MainWindow::createDropArea() {
    dropArea_ = new QLabel(this);
    place(dropArea_, form::kWindowControls[DropArea]);
    dropArea_->setPixmap(QPixmap(QStringLiteral(":/quorvane/drop_picture.png")));
    dropArea_->setScaledContents(true);
    dropArea_->setAcceptDrops(true);
    dropArea_->installEventFilter(this);
}

std::vector<QWidget*> MainWindow::createPages() {
    pages_ = new QTabWidget(this);
    place(pages_, form::kWindowControls[Pages]);
    pages_->setTabPosition(QTabWidget::South);
    pages_->tabBar()->setFont(fontOf(kGothic, 9));
    // With the usual padding the three captions overflow the tab row and it starts to scroll.
    pages_->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 7px; }"));
    for (std::size_t i = 0; i < form::kPageCaptions.size(); ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i + 1));
        pages_->addTab(page, toQString(form::kPageCaptions[i]));
    }

    QWidget* firstPage = pages_->widget(0);
    std::vector<QWidget*> tabOrder{pages_};
    for (std::size_t i = 0; i < form::kPage1Controls.size(); ++i) {
        const form::ControlLayout& control = form::kPage1Controls[i];
        if (i < form::kTextBoxes) {
            auto* box = new QLineEdit(firstPage);
            place(box, control);
            // A pair may be a whole passage: the usual limit would cut it without a word.
            box->setMaxLength(std::numeric_limits<int>::max());
            tabOrder.push_back(box);
            continue;
        }
        auto* label = new QLabel(toQString(control.caption), firstPage);
        place(label, control);
        // The heading is laid out to the pixel; a font a little wider must not cut its last word.
        QRect geometry = label->geometry();
        geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
        label->setGeometry(geometry);
    }
    return tabOrder;
}

// The controls of the other two pages belong to the window and lie over the page area; created
// after the pages, they stay above them.
void MainWindow::createPageControls() {
    const auto& layout = form::kWindowControls;
    folders_ = new FolderList(this);
    place(folders_, layout[Folders]);
    connect(folders_, &FolderList::openRefused, this, [this](const QString& folder) {
        tell(toQString(form::unopenableFolder(folder.toStdU16String())), MessageBox::kExclamation);
    });

    drives_ = new DriveList(volumes_, this);
    place(drives_, layout[Drives]);
    connect(drives_, &DriveList::driveChosen, this, &MainWindow::openChosenDrive);

    copyOption_ = new QRadioButton(toQString(layout[CopyOption].caption), this);
    place(copyOption_, layout[CopyOption]);
    connect(copyOption_, &QRadioButton::clicked, this, &MainWindow::applyCopyOptionRule);

    originalsOption_ = new QRadioButton(toQString(layout[OriginalsOption].caption), this);
    place(originalsOption_, layout[OriginalsOption]);
    // Both buttons follow the same rule: it looks at the copy option whichever was clicked.
    connect(originalsOption_, &QRadioButton::clicked, this, &MainWindow::applyCopyOptionRule);

    bodyCheck_ = createCheck(layout[BodyCheck]);
    textBoxesCheck_ = createCheck(layout[TextBoxesCheck]);
    headersFootersCheck_ = createCheck(layout[HeadersFootersCheck]);
    matchCaseCheck_ = createCheck(layout[MatchCaseCheck]);
    widthsCheck_ = createCheck(layout[WidthsCheck]);
}

QCheckBox* MainWindow::createCheck(const form::ControlLayout& layout) {
    auto* check = new QCheckBox(toQString(layout.caption), this);
    place(check, layout);
    check->setChecked(true);
    return check;
}

// The folder list starts where the program was started; a folder that has vanished since falls
// back to the home folder.
void MainWindow::openStartFolder() {
    std::error_code error;
    const fs::path start = fs::current_path(error);
    if (error || !folders_->setPath(start)) {
        folders_->setPath(os::toNativePath(QDir::homePath().toStdU16String()));
    }
    drives_->selectDriveOf(folders_->path());
}

void MainWindow::applyStartUpState() {
    pages_->setCurrentIndex(0);
    copyOption_->setChecked(true);
    applyPageRule();
    connect(pages_, &QTabWidget::currentChanged, this, &MainWindow::applyPageRule);
}

bool MainWindow::copying() const {
    return copyOption_->isChecked();
}

void MainWindow::applyPageRule() {
    const std::array<QWidget*, form::kPageControls> controls{
        folders_,    drives_,         copyOption_,          originalsOption_,
        bodyCheck_,  textBoxesCheck_, headersFootersCheck_, matchCaseCheck_,
        widthsCheck_};
    const form::Visibility shown = form::visibleOnPage(pages_->currentIndex(), copying());
    for (std::size_t i = 0; i < controls.size(); ++i)
        controls[i]->setVisible(shown[i]);
}

void MainWindow::applyCopyOptionRule() {
    // The lists belong to copying; both option buttons follow this one rule.
    folders_->setVisible(copying());
    drives_->setVisible(copying());
}

void MainWindow::openChosenDrive() {
    const fs::path root = drives_->drive();
    if (folderPerDrive_.change(drives_->keptDrive(), folders_->path(), root,
                               [&](const fs::path& folder) { return folders_->setPath(folder); })) {
        drives_->keepChoice();
        return;
    }
    const QString name = drives_->currentText();
    drives_->revertChoice();
    tell(toQString(form::unreadableDrive(name.toStdU16String())), MessageBox::kExclamation);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dropArea_) {
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

void MainWindow::answerDrag(QDragMoveEvent& event) {
    // Only a copy is ever offered: the run never moves or links what was dropped.
    if (!localPaths(*event.mimeData()).empty() && (event.possibleActions() & Qt::CopyAction)) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
    } else {
        event.setDropAction(Qt::IgnoreAction);
        event.ignore();
    }
}

void MainWindow::acceptDrop(QDropEvent& event) {
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

void MainWindow::runEach(const std::vector<std::u16string>& paths) {
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

void MainWindow::tell(const QString& text, int flags) {
    messages_.show(text.toStdU16String(), run::RunDriver::kTitle, flags);
}

run::RunRequest MainWindow::runRequest() const {
    form::ControlValues values;
    values.copying = copying();
    values.folder = os::fromNativePath(folders_->path());
    const QWidget* page1 = pages_->widget(0);
    for (std::size_t i = 0; i < values.texts.size(); ++i) {
        values.texts[i] = page1->findChild<QLineEdit*>(QStringLiteral("TextBox%1").arg(i + 1))
                              ->text()
                              .toStdU16String();
    }
    values.regions = {bodyCheck_->isChecked(), textBoxesCheck_->isChecked(),
                      headersFootersCheck_->isChecked()};
    values.matchCase = matchCaseCheck_->isChecked();
    values.distinguishWidths = widthsCheck_->isChecked();
    return form::requestFrom(values);
}

}  // namespace quorvane::qt
