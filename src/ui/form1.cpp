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
#include <stdexcept>
#include <system_error>

#include "batch/run_error.h"
#include "platform/automation/member_name.h"
#include "platform/file_system.h"
#include "ui/application_setup.h"
#include "ui/busy_run.h"
#include "ui/drive_list.h"
#include "ui/folder_list.h"

namespace quorvane::ui {
namespace {

namespace fs = std::filesystem;
using platform::MessageBox;
using platform::automation::sameName;

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

// How many failed documents the notice names before it only counts the rest.
constexpr std::size_t kListedFailures = 20;

// A dropped URL's path as the file system has it: names that are not UTF-8 keep their bytes.
std::u16string localPath(const QUrl& url) {
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return platform::fromNativePath(fs::path(bytes.toStdString()));
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

QString listed(const std::vector<const DocumentFailure*>& entries) {
    QString text;
    for (std::size_t i = 0; i < entries.size() && i < kListedFailures; ++i) {
        text += QStringLiteral("\n・%1\n　%2")
                    .arg(toQString(entries[i]->path), toQString(entries[i]->reason));
    }
    if (entries.size() > kListedFailures) {
        text += QStringLiteral("\n\nほか %1 件").arg(entries.size() - kListedFailures);
    }
    return text;
}

}  // namespace

Form1::Form1(platform::automation::ObjectFactory& factory, platform::MessageBox& messages,
             const VolumeSource& volumes, QWidget* parent)
    : QWidget(parent), messages_(messages), volumes_(volumes), driver_(*this, messages, factory) {
    createControls();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQString(RunDriver::kTitle));
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
        tell(QStringLiteral("フォルダー「%1」を開けません。").arg(folder),
             MessageBox::kExclamation);
    });

    drive1_ = new DriveList(volumes_, this);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    drive1_->setGeometry(twips(450, 3750, 1290, 285));
    drive1_->setFont(listFont);
    connect(drive1_, &DriveList::driveChosen, this, &Form1::Drive1_Change);

    option1_ = new QRadioButton(QStringLiteral("元ﾌｧｲﾙをｺﾋﾟｰして置換(格納ﾌｫﾙﾀﾞｰ指定要)"), this);
    option1_->setObjectName(QStringLiteral("Option1"));
    option1_->setGeometry(twips(375, 2325, 3615, 315));
    option1_->setFont(listFont);
    connect(option1_, &QRadioButton::clicked, this, &Form1::Option1_Click);

    option2_ = new QRadioButton(QStringLiteral("元ﾌｧｲﾙを置換"), this);
    option2_->setObjectName(QStringLiteral("Option2"));
    option2_->setGeometry(twips(375, 2625, 1440, 315));
    option2_->setFont(listFont);
    connect(option2_, &QRadioButton::clicked, this, &Form1::Option2_Click);

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
        dir1_->setPath(platform::toNativePath(QDir::homePath().toStdU16String()));
    }
    drive1_->selectDriveOf(dir1_->path());
}

void Form1::Form_Load() {
    multiPage1_->setCurrentIndex(0);
    option1_->setChecked(true);
    MultiPage1_Change();
    connect(multiPage1_, &QTabWidget::currentChanged, this, &Form1::MultiPage1_Change);
}

void Form1::MultiPage1_Change() {
    const std::array<QWidget*, 9> controls{dir1_,      drive1_,    option1_,
                                           option2_,   checks_[0], checks_[1],
                                           checks_[2], checks_[3], checks_[4]};
    static constexpr std::array<std::array<bool, 9>, 3> kShown{{
        {false, false, false, false, false, false, false, false, false},
        {true, true, true, true, false, false, false, false, false},
        {false, false, false, false, true, true, true, true, true},
    }};
    for (std::size_t page = 0; page < kShown.size(); ++page) {
        if (multiPage1_->currentIndex() != static_cast<int>(page))
            continue;
        for (std::size_t i = 0; i < controls.size(); ++i)
            controls[i]->setVisible(kShown[page][i]);
    }
    if (option1Value() == kNotSelected) {
        dir1_->hide();
        drive1_->hide();
    }
}

void Form1::Option1_Click() {
    const bool copying = option1Value() == kSelected;
    dir1_->setVisible(copying);
    drive1_->setVisible(copying);
}

// Both buttons follow the same rule: it looks at Option1 whichever was clicked.
void Form1::Option2_Click() {
    Option1_Click();
}

void Form1::Drive1_Change() {
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
    tell(
        QStringLiteral("ドライブ「%1」を読み取れません。\n"
                       "メディアが入っているか、ネットワークにつながっているかを確かめてください。")
            .arg(name),
        MessageBox::kExclamation);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == image1_) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
                Image1_OLEDragOver(static_cast<QDragMoveEvent&>(*event));
                return true;
            case QEvent::Drop:
                Image1_OLEDragDrop(static_cast<QDropEvent&>(*event));
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Image1_OLEDragOver(QDragMoveEvent& event) {
    // Only a copy is ever offered: the run never moves or links what was dropped.
    if (!localPaths(*event.mimeData()).empty() && (event.possibleActions() & Qt::CopyAction)) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
    } else {
        event.setDropAction(Qt::IgnoreAction);
        event.ignore();
    }
}

void Form1::Image1_OLEDragDrop(QDropEvent& event) {
    std::vector<std::u16string> paths = localPaths(*event.mimeData());
    if (paths.empty()) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    // The window is busy from here on, so nothing changes the settings before the first run and
    // a second drop is refused.
    busy_ = std::make_unique<BusyRun>(*this, driver_);
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { runEach(paths); }, Qt::QueuedConnection);
}

void Form1::runEach(const std::vector<std::u16string>& paths) {
    const auto done = qScopeGuard([this] { busy_.reset(); });
    for (const std::u16string& path : paths) {
        try {
            driver_.ファイル名取得(path);
        } catch (const RunError& e) {
            // The rest of the drop is not run: the user should first see to what went wrong,
            // and to the documents that had failed before it.
            reportRun();
            tell(toQString(e.message()), MessageBox::kCritical);
            return;
        }
        reportRun();
    }
}

void Form1::reportRun() {
    std::vector<const DocumentFailure*> failures;
    std::vector<const DocumentFailure*> notices;
    for (const DocumentFailure& entry : driver_.report())
        (entry.isNotice() ? notices : failures).push_back(&entry);
    QString text;
    if (!failures.empty()) {
        text = QStringLiteral(
                   "次の文書は開けなかったか保存できなかったため、置換されていません"
                   "（%1 件）。\n")
                   .arg(failures.size()) +
               listed(failures);
    }
    if (!notices.empty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += QStringLiteral("次の文書は処理しましたが、お知らせがあります（%1 件）。\n")
                    .arg(notices.size()) +
                listed(notices);
    }
    if (!text.isEmpty())
        tell(text, failures.empty() ? MessageBox::kInformation : MessageBox::kExclamation);
}

void Form1::tell(const QString& text, int flags) {
    messages_.show(text.toStdU16String(), RunDriver::kTitle, flags);
}

std::int16_t Form1::option1Value() const {
    return option1_->isChecked() ? kSelected : kNotSelected;
}

std::int16_t Form1::option2Value() const {
    return option2_->isChecked() ? kSelected : kNotSelected;
}

std::u16string Form1::dir1Path() const {
    return platform::fromNativePath(dir1_->path());
}

std::int16_t Form1::checkValue(int number) const {
    if (number < 1 || number > static_cast<int>(checks_.size())) {
        throw std::out_of_range("no check box Check" + std::to_string(number));
    }
    return checks_[static_cast<std::size_t>(number - 1)]->isChecked() ? kChecked : kUnchecked;
}

std::u16string Form1::pageControlText(std::u16string_view page, std::u16string_view control) const {
    for (int i = 0; i < multiPage1_->count(); ++i) {
        const QWidget* candidate = multiPage1_->widget(i);
        if (!sameName(candidate->objectName().toStdU16String(), page))
            continue;
        for (const QWidget* child : candidate->findChildren<QWidget*>()) {
            if (!sameName(child->objectName().toStdU16String(), control))
                continue;
            if (const auto* box = qobject_cast<const QLineEdit*>(child)) {
                return box->text().toStdU16String();
            }
            if (const auto* label = qobject_cast<const QLabel*>(child)) {
                return label->text().toStdU16String();
            }
        }
    }
    throw std::out_of_range("no text control of that name on that page");
}

}  // namespace quorvane::ui
