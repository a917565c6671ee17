#include "ui/fmWizard.h"

#include "common/Errors.h"
#include "project/ProjectFile.h"
#include "ui/Anchors.h"
#include "ui/Dialogs.h"
#include "ui/HelpViewer.h"
#include "ui/Icons.h"
#include "ui/PageFields.h"
#include "ui/PageLearn.h"
#include "ui/PageLearnConfig.h"
#include "ui/PageNet.h"
#include "ui/PagePredict.h"
#include "ui/PageReport.h"
#include "ui/PageSample.h"
#include "ui/Pictures.h"
#include "ui/fmAbout.h"
#include "ui/fmSplash.h"
#include "wizard/Wizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace nirvex {

namespace {

constexpr int kClientWidth = 567;
constexpr int kClientHeight = 385;
constexpr int kStatusHeight = 19;
constexpr int kButtonRowHeight = 43;
constexpr int kButtonRowTop = kClientHeight - kStatusHeight - kButtonRowHeight;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint, int x) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, kButtonRowTop + 12, 93, 25);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmWizard::TfrmWizard(IDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), model_(std::make_unique<TWizard>()),
      anchors_(std::make_unique<TAnchors>(this, QSize(kClientWidth, kClientHeight))) {
    if (dialogs_ == nullptr) {
        ownDialogs_ = std::make_unique<TDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    setObjectName(QStringLiteral("frmWizard"));
    setWindowTitle(QStringLiteral("Nirvex"));
    // The controls are placed for the first and smallest size; a larger window gives the page the room.
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("bvlPicture"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(4, 10, 152, 302);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("imgPicture"));
    picture_->setGeometry(5, 11, 150, 300);
    picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The stack's margins leave every page the client area the page layouts are drawn for.
    pcHost_ = new QStackedWidget(this);
    pcHost_->setObjectName(QStringLiteral("pcHost"));
    pcHost_->setGeometry(165, 0, 402, 323);
    pcHost_->setContentsMargins(4, 10, 402 - 4 - kPageClientWidth, 323 - 10 - kPageClientHeight);
    pages_ = {new TPageSample(*this, pcHost_),      new TPageFields(*this, pcHost_), new TPageNet(*this, pcHost_),
              new TPageLearnConfig(*this, pcHost_), new TPageReport(*this, pcHost_), new TPageLearn(*this, pcHost_),
              new TPagePredict(*this, pcHost_)};
    for (TWizardPage* page : pages_)
        pcHost_->addWidget(page);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Bevel2"));
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(0, kButtonRowTop, kClientWidth, 2);
    btnAbout_ = MakeButton(this, "btnAbout", QStringLiteral("О программе..."), QString(), 8);
    btnPrev_ =
        MakeButton(this, "btnPrev", QStringLiteral("<< Назад"), QStringLiteral("Переход к предыдущему этапу"), 274);
    btnNext_ =
        MakeButton(this, "btnNext", QStringLiteral("Далее >>"), QStringLiteral("Переход к следующему этапу"), 372);
    btnQuit_ =
        MakeButton(this, "btnQuit", QStringLiteral("Отмена"), QStringLiteral("Завершение работы с системой"), 469);
    connect(btnAbout_, &QPushButton::clicked, this, &TfrmWizard::btnAboutClick);
    connect(btnPrev_, &QPushButton::clicked, this, &TfrmWizard::btnPrevClick);
    connect(btnNext_, &QPushButton::clicked, this, &TfrmWizard::btnNextClick);
    connect(btnQuit_, &QPushButton::clicked, this, &TfrmWizard::btnQuitClick);

    sbStatus_ = new QStatusBar(this);
    sbStatus_->setObjectName(QStringLiteral("sbStatus"));
    sbStatus_->setSizeGripEnabled(false);
    sbStatus_->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
    statusText_ = new QLabel(sbStatus_);
    statusText_->setObjectName(QStringLiteral("sbStatusText"));
    sbStatus_->addWidget(statusText_, 1);
    pbProgress_ = new QProgressBar(sbStatus_);
    pbProgress_->setObjectName(QStringLiteral("pbProgress"));
    pbProgress_->setRange(0, 100);
    pbProgress_->setFixedSize(150, kStatusHeight - 5);
    pbProgress_->setTextVisible(true);
    pbProgress_->hide();
    sbStatus_->addPermanentWidget(pbProgress_);

    // The picture keeps its place in the top left corner; the page takes what the window grows by, the
    // button row and the status bar stay along the bottom, the buttons at their corners.
    anchors_->Add(pcHost_, kGrowBoth);
    anchors_->Add(line, kGrowWidthAtBottom);
    anchors_->Add(btnAbout_, kKeepBottomLeft);
    for (QPushButton* b : {btnPrev_, btnNext_, btnQuit_})
        anchors_->Add(b, kKeepBottomRight);
    anchors_->Add(sbStatus_, kGrowWidthAtBottom);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &TfrmWizard::ShowHelp);

    // The icon animation; training runs stop it (the model says when).
    tmrIcon_ = new QTimer(this);
    tmrIcon_->setObjectName(QStringLiteral("tmrIcon"));
    tmrIcon_->setInterval(100);
    connect(tmrIcon_, &QTimer::timeout, this, &TfrmWizard::tmrIconTimer);
    setWindowIcon(AnimationIcon(0));

    about_ = new TfrmAbout(this);

    for (QPushButton* b : findChildren<QPushButton*>())
        b->installEventFilter(this);
    for (QToolButton* b : findChildren<QToolButton*>())
        b->installEventFilter(this);

    AttachProjectFiles(*model_);
    model_->SetStatusHandler([this](const std::string& text) { ShowStatus(text); });
    model_->SetProgressHandler([this](double fraction) { ShowProgress(fraction); });
    ShowModelPage();
}

TfrmWizard::~TfrmWizard() {
    model_->SetStatusHandler(nullptr);
    model_->SetProgressHandler(nullptr);
}

bool TfrmWizard::Guard(const std::function<void()>& fn) {
    QString message;
    try {
        fn();
        ShowNotices();
        return true;
    } catch (const ELoadCancelled&) {
        // The user's own doing: no error to show, only what the load announced before.
        try {
            ShowNotices();
        } catch (...) {
        }
        return false;
    } catch (const EError& e) {
        message = QString::fromStdString(e.what());
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        message = QString::fromStdString(e.what());
    } catch (...) {
        message = QString::fromLatin1(msgRangeCheck);
    }
    try {
        ShowNotices();
        dialogs_->ShowError(message);
    } catch (...) {
    }
    return false;
}

void TfrmWizard::ShowNotices() {
    // Taken first: a box runs an event loop, and whatever it lets run may add more.
    for (const std::string& notice : model_->TakeNotices())
        dialogs_->ShowMessage(QString::fromStdString(notice));
}

void TfrmWizard::RefreshFrame() {
    const TWizard& m = *model_;
    btnNext_->setEnabled(m.NextEnabled());
    btnPrev_->setEnabled(m.PrevEnabled());
    btnQuit_->setEnabled(m.QuitEnabled());
    btnQuit_->setToolTip(m.Loading() ? QStringLiteral("Прервать загрузку")
                                     : QStringLiteral("Завершение работы с системой"));
    const QString caption = Caption();
    if (windowTitle() != caption)
        setWindowTitle(caption);
    pcHost_->setEnabled(!m.Loading());
    if (m.IconTimerEnabled() && !tmrIcon_->isActive())
        tmrIcon_->start();
    else if (!m.IconTimerEnabled() && tmrIcon_->isActive())
        tmrIcon_->stop();
    // A missing picture keeps what the area showed. A screen of another density gets the picture drawn for it.
    const qreal ratio = devicePixelRatio();
    if (m.PictureName() != pictureShown_ || ratio != pictureRatio_) {
        QString path = FindProgramFile(QString::fromStdString(m.PictureName()));
        QPixmap pixmap = path.isEmpty() ? QPixmap() : LoadPicture(path, ratio);
        if (!pixmap.isNull()) {
            picture_->setPixmap(pixmap);
            pictureShown_ = m.PictureName();
            pictureRatio_ = ratio;
        }
    }
    ShowStatus(m.StatusText());
}

void TfrmWizard::ShowStatus(const std::string& text) {
    QString shown = QString::fromStdString(text);
    if (statusText_->text() == shown)
        return;
    statusText_->setText(shown);
    // Long steps write their progress before they go on: paint it now.
    if (statusText_->isVisible())
        statusText_->repaint();
}

void TfrmWizard::ShowProgress(double fraction) {
    using Clock = std::chrono::steady_clock;
    if (fraction < 0) {
        if (!pbProgress_->isHidden()) {
            pbProgress_->hide();
            RefreshFrame();
        }
        return;
    }
    // The first report shows the bar and the disabled buttons at once.
    bool first = pbProgress_->isHidden();
    if (first) {
        pbProgress_->setValue(0);
        pbProgress_->show();
        RefreshFrame();
    }
    int percent = static_cast<int>(fraction * 100);
    if (percent != pbProgress_->value())
        pbProgress_->setValue(percent);
    if (first || Clock::now() - lastPump_ >= std::chrono::milliseconds(10)) {
        QCoreApplication::processEvents();
        lastPump_ = Clock::now();
    }
}

void TfrmWizard::ShowModelPage() {
    int state = std::clamp(model_->State(), 0, kPageCount - 1);
    pcHost_->setCurrentIndex(state);
    pages_[static_cast<std::size_t>(state)]->ShowPage();
    RefreshFrame();
}

QString TfrmWizard::StatusText() const {
    return statusText_->text();
}

void TfrmWizard::btnNextClick() {
    int before = model_->State();
    TWizardPage* page = pages_[static_cast<std::size_t>(before)];
    Guard([&] {
        page->SyncToModel();
        model_->Next();
    });
    if (model_->State() != before)
        ShowModelPage();
    else
        RefreshFrame();
}

void TfrmWizard::btnPrevClick() {
    int before = model_->State();
    Guard([&] { model_->Prev(); });
    if (model_->State() != before)
        ShowModelPage();
    else
        RefreshFrame();
}

void TfrmWizard::btnQuitClick() {
    if (model_->Loading()) {
        model_->CancelLoad();
        return;
    }
    close();
}

QString TfrmWizard::Caption() const {
    const QString project = QFileInfo(QString::fromStdString(model_->ProjectFile())).fileName();
    QString caption = project.isEmpty() ? QStringLiteral("Nirvex") : project + QString::fromUtf8(" — Nirvex");
    return model_->HasUnsavedChanges() ? QLatin1Char('*') + caption : caption;
}

bool TfrmWizard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button != nullptr && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmWizard::btnAboutClick() {
    about_->exec();
}

void TfrmWizard::tmrIconTimer() {
    if (++iconFrame_ >= AnimationFrameCount())
        iconFrame_ = 0;
    QIcon icon = AnimationIcon(iconFrame_);
    setWindowIcon(icon);
    QApplication::setWindowIcon(icon);
}

void TfrmWizard::FormActivate(const QString& project, bool splash) {
    iconFrame_ = 0;
    setWindowIcon(AnimationIcon(0));
    QApplication::setWindowIcon(windowIcon());
    if (splash) {
        tmrIcon_->stop();
        QString picture = FindProgramFile(QStringLiteral("Splash.bmp"));
        // Without a parent: on X11 a splash owned by the main window is shown unpainted.
        TfrmSplash frmSplash(picture.isEmpty() ? QString() : QFileInfo(picture).path(), nullptr);
        frmSplash.exec();
    }
    if (!project.isEmpty())
        OpenProject(project);
    show();
    // The animation paused for the splash goes on now.
    RefreshFrame();
}

void TfrmWizard::OpenProject(const QString& fileName) {
    Guard([&] { LoadProject(*model_, fileName.toStdString()); });
    ShowModelPage();
}

void TfrmWizard::TypeSampleFileName(const QString& fileName) {
    model_->SampleFileTextChanged(fileName.toStdString());
    if (model_->State() == 0)
        pages_[0]->ShowPage();
}

void TfrmWizard::StartWithSample(const QString& fileName) {
    model_->SetStartSample(fileName.toStdString());
    if (model_->State() == 0)
        pages_[0]->ShowPage();
}

int TfrmWizard::CurrentHelpContext() const {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr && w != this; w = w->parentWidget()) {
        if (w->window() != this)
            break;
        int context = w->property(kHelpContextProperty).toInt();
        if (context != 0)
            return context;
    }
    return model_->HelpContext();
}

void TfrmWizard::ShowHelp() {
    if (help_ == nullptr)
        help_ = new THelpViewer(this);
    help_->ShowContext(CurrentHelpContext());
}

void TfrmWizard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_ && screen() != nullptr) {
        centred_ = true;
        QRect area = screen()->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    // Moved onto a screen of another density, the page picture is loaded again for it.
    if (!watchingScreen_ && windowHandle() != nullptr) {
        watchingScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { RefreshFrame(); });
    }
}

void TfrmWizard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    anchors_->Apply();
}

namespace {

constexpr const char* kGeometryKey = "Window/Geometry";
constexpr const char* kMaximizedKey = "Window/Maximized";

// The saved window rectangle on a screen that exists: kept inside the screen that holds its centre,
// or, when no screen does any more (a screen since removed), centred on the primary screen; no larger
// than the screen, no smaller than `minimum`.
QRect OntoAScreen(const QRect& saved, QSize minimum) {
    const QScreen* screen = QGuiApplication::screenAt(saved.center());
    const bool lost = screen == nullptr;
    if (lost)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return saved;
    const QRect area = screen->availableGeometry();
    QRect r(saved.topLeft(), saved.size().boundedTo(area.size()).expandedTo(minimum));
    if (lost)
        r.moveCenter(area.center());
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    return r;
}

} // namespace

std::unique_ptr<QSettings> TfrmWizard::UserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("nirvex"),
                                       QStringLiteral("nirvex"));
}

void TfrmWizard::RememberGeometry(std::unique_ptr<QSettings> settings) {
    geometryStore_ = std::move(settings);
    if (geometryStore_ == nullptr)
        return;
    const QRect saved = geometryStore_->value(QLatin1String(kGeometryKey)).toRect();
    if (!saved.isValid())
        return; // the first start: the first size, centred when shown
    setGeometry(OntoAScreen(saved, minimumSize()));
    centred_ = true;
    if (geometryStore_->value(QLatin1String(kMaximizedKey), false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmWizard::SaveGeometry() {
    if (geometryStore_ == nullptr)
        return;
    const bool maximized = windowState() & Qt::WindowMaximized;
    // A maximized window is restored maximized, and unmaximizes to the size it had before.
    const QRect normal = maximized || isMinimized() ? normalGeometry() : geometry();
    if (normal.isValid())
        geometryStore_->setValue(QLatin1String(kGeometryKey), normal);
    geometryStore_->setValue(QLatin1String(kMaximizedKey), maximized);
    geometryStore_->sync();
}

void TfrmWizard::closeEvent(QCloseEvent* event) {
    // The close question; it may come while a training run pumps events, and then only sets the
    // stop request, which the run honours at the end of its epoch.
    bool mayClose = true;
    if (model_->HasUnsavedChanges()) {
        IDialogs::TAnswer reply = dialogs_->AskYesNoCancel(QString::fromUtf8(msgUnsavedChanges));
        TCloseAnswer answer = reply == IDialogs::TAnswer::Yes  ? TCloseAnswer::Yes
                              : reply == IDialogs::TAnswer::No ? TCloseAnswer::No
                                                               : TCloseAnswer::Cancel;
        mayClose = false;
        Guard([&] {
            mayClose = AnswerCloseQuestion(*model_, answer, [this] {
                return dialogs_
                    ->SaveFileName(this, QString::fromUtf8(kProjectFileFilter),
                                   QString::fromStdString(model_->ProposedProjectName()))
                    .toStdString();
            });
        });
        RefreshFrame();
    }
    if (!mayClose) {
        event->ignore();
        return;
    }
    if (model_->Loading()) // closing calls the load off
        model_->RequestStop();
    if (help_ != nullptr)
        help_->close();
    SaveGeometry();
    event->accept();
}

} // namespace nirvex
