#include "ui/form1.h"

#include <QCheckBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "form/window_rules.h"
#include "os/file_system.h"
#include "run/run_error.h"
#include "ui/application_setup.h"
#include "ui/busy_run.h"
#include "ui/drive_list.h"
#include "ui/folder_list.h"

namespace quorvane::ui {
namespace {

// Offices for the documents of a run: one per core, at most four, and only as many as the
// memory not in use holds (about 300 MiB each); where that cannot be read, one.
int officesForThisMachine() {
    constexpr qint64 kPerOffice = 300LL * 1024 * 1024;
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    qint64 available = 0;
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : meminfo.readAll().split('\n')) {
            if (line.startsWith("MemAvailable:"))
                available = line.simplified().split(' ').value(1).toLongLong() * 1024;
        }
    }
    const int cores = std::clamp(QThread::idealThreadCount(), 1, 4);
    return std::clamp(static_cast<int>(available / kPerOffice), 1, cores);
}

namespace fs = std::filesystem;
using os::MessageBox;

// The window is laid out in twips, 15 to a pixel at 96 dpi; Qt scales pixels for the screen.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

QRect twips(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
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
    setFixedSize(px(4530), px(4755));
    // The window font, which the check boxes use, is the proportional Japanese one: the default
    // fonts of desktops set Japanese too wide for the check boxes' captions.
    setFont(fontOf(kPGothic, 9));

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(twips(150, 150, 4245, 1950));
    image1_->setPixmap(QPixmap(QStringLiteral(":/quorvane/drop_picture.png")));
    image1_->setScaledContents(true);
    image1_->setAcceptDrops(true);
    image1_->installEventFilter(this);

    multiPage1_ = new QTabWidget(this);
    multiPage1_->setObjectName(QStringLiteral("MultiPage1"));
    multiPage1_->setGeometry(twips(150, 2250, 4215, 2340));
    multiPage1_->setTabPosition(QTabWidget::South);
    multiPage1_->tabBar()->setFont(fontOf(kGothic, 9));
    // With the usual padding the three captions overflow the tab row and it starts to scroll.
    multiPage1_->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 7px; }"));
    const std::array<QString, 3> tabs{QStringLiteral("文字入力"), QStringLiteral("ファイルの取扱"),
                                      QStringLiteral("置換オプション")};
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i + 1));
        multiPage1_->addTab(page, tabs[i]);
    }

    QWidget* page1 = multiPage1_->widget(0);
    const QFont pairFont = fontOf(kPGothic, 9);
    std::vector<QWidget*> tabOrder{multiPage1_};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto* box = new QLineEdit(page1);
            box->setObjectName(QStringLiteral("TextBox%1").arg(row * 2 + column + 1));
            box->setGeometry(twips(column == 0 ? 300 : 2325, 450 + row * 375, 1500, 300));
            box->setFont(pairFont);
            // A pair may be a whole passage: the usual limit would cut it without a word.
            box->setMaxLength(std::numeric_limits<int>::max());
            tabOrder.push_back(box);
        }
    }
    auto addLabel = [&](int number, const QString& caption, QRect geometry) {
        auto* label = new QLabel(caption, page1);
        label->setObjectName(QStringLiteral("Label%1").arg(number));
        label->setFont(pairFont);
        // The heading is laid out to the pixel; a font a little wider must not cut its last word.
        geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
        label->setGeometry(geometry);
    };
    addLabel(1, QStringLiteral("置換前文字列　　　　　　　置換後文字列"),
             twips(450, 150, 3375, 225));
    for (int row = 0; row < 3; ++row) {
        addLabel(row + 2, QStringLiteral("→"), twips(1950, 525 + row * 375, 225, 300));
    }

    // The controls of the other two pages belong to the window and lie over the page area;
    // created after MultiPage1, they stay above it.
    const QFont listFont = fontOf(kGothic, 8.25);
    dir1_ = new FolderList(this);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    dir1_->setGeometry(twips(1950, 2700, 2115, 1455));
    dir1_->setFont(listFont);
    connect(dir1_, &FolderList::openRefused, this, [this](const QString& folder) {
        tell(toQString(form::unopenableFolder(folder.toStdU16String())), MessageBox::kExclamation);
    });

    drive1_ = new DriveList(volumes_, this);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    drive1_->setGeometry(twips(450, 3750, 1290, 285));
    drive1_->setFont(listFont);
    connect(drive1_, &DriveList::driveChosen, this, &Form1::openChosenDrive);

    option1_ = new QRadioButton(QStringLiteral("元ﾌｧｲﾙをｺﾋﾟｰして置換(格納ﾌｫﾙﾀﾞｰ指定要)"), this);
    option1_->setObjectName(QStringLiteral("Option1"));
    option1_->setGeometry(twips(375, 2325, 3615, 315));
    option1_->setFont(listFont);
    connect(option1_, &QRadioButton::clicked, this, &Form1::applyCopyOptionRule);

    option2_ = new QRadioButton(QStringLiteral("元ﾌｧｲﾙを置換"), this);
    option2_->setObjectName(QStringLiteral("Option2"));
    option2_->setGeometry(twips(375, 2625, 1440, 315));
    option2_->setFont(listFont);
    // Both buttons follow the same rule: it looks at Option1 whichever was clicked.
    connect(option2_, &QRadioButton::clicked, this, &Form1::applyCopyOptionRule);

    struct CheckRow {
        QString caption;
        int top;
        int width;
    };
    const std::array<CheckRow, 5> checkRows{{
        {QStringLiteral("本文を置換"), 2355, 1215},
        {QStringLiteral("テキストボックス等を置換"), 2730, 2340},
        {QStringLiteral("ヘッダーフッターを置換"), 3105, 2340},
        {QStringLiteral("大文字小文字を区別"), 3480, 2340},
        {QStringLiteral("全角半角を区別"), 3840, 2340},
    }};
    for (std::size_t i = 0; i < checkRows.size(); ++i) {
        auto* check = new QCheckBox(checkRows[i].caption, this);
        check->setObjectName(QStringLiteral("Check%1").arg(i + 1));
        check->setGeometry(twips(405, checkRows[i].top, checkRows[i].width, 315));
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
    const auto done = qScopeGuard([this] { busy_.reset(); });
    for (const std::u16string& path : paths) {
        try {
            report(driver_.run(runRequest(), path, busy_.get()));
        } catch (const run::RunError& e) {
            // The rest of the drop is not run: the user should first see to what went wrong,
            // and to the documents that had failed before it.
            report(e.partial());
            tell(toQString(e.message()), MessageBox::kCritical);
            return;
        }
    }
}

void Form1::report(const run::RunResult& result) {
    if (const auto message = form::reportOf(result))
        tell(toQString(message->text), message->flags);
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
    run::RunRequest request = form::requestFrom(values);
    request.offices = officesForThisMachine();
    return request;
}

}  // namespace quorvane::ui
