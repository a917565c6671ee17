#include "ui/PageSample.h"

#include "ui/Dialogs.h"
#include "wizard/Wizard.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace nirvex {

namespace {

const char* const kMemoLines[] = {
    "Нейросети  являются программами, работающими по самообучающи-",
    "мся алгоритмам, поэтому перед использованием их необходимо пред-",
    "варительно обучить. Обучение производится на основании  специаль-",
    "ного набора данных - обучающей  выборки.  Для  обучения  нейросети ",
    "необходимо подавать на ее вход данные, для которых заранее опреде-",
    "лены выходные значения. Эти данные находятся в текстовом файле,",
    "файле CSV (из электронной таблицы, R или pandas) или таблице БД",
};

} // namespace

TPageSample::TPageSample(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName(QStringLiteral("tsLearnSample"));
    SetHelpContext(this, 61);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo1"));
    memo_->setGeometry(0, 0, kPageClientWidth, 112);
    memo_->setReadOnly(true);
    memo_->setFocusPolicy(Qt::NoFocus); // a caption, not a control
    memo_->setFrameStyle(QFrame::NoFrame);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo_->document()->setDocumentMargin(2);
    // The lines are hyphenated for a narrow font: the condensed face keeps them whole.
    QFont narrow = memo_->font();
    narrow.setFamily(QStringLiteral("DejaVu Sans Condensed"));
    memo_->setFont(narrow);
    QPalette pal = memo_->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    memo_->setPalette(pal);
    QStringList lines;
    for (const char* line : kMemoLines)
        lines << QString::fromUtf8(line);
    memo_->setPlainText(lines.join(QLatin1Char('\n')));

    group_ = new QGroupBox(QStringLiteral(" Файл с обучающей выборкой "), this);
    group_->setObjectName(QStringLiteral("gbSampleFile"));
    group_->setGeometry(0, 124, kPageClientWidth, 60);

    edtFileName_ = new QLineEdit(group_);
    edtFileName_->setObjectName(QStringLiteral("edtLearnSampleFileName"));
    edtFileName_->setGeometry(10, 26, 288, 21);
    edtFileName_->setToolTip(QStringLiteral("Укажите имя файла с обучающей выборкой"));
    SetHelpContext(edtFileName_, 61);

    btnBrowse_ = new QPushButton(QStringLiteral("Обзор"), group_);
    btnBrowse_->setObjectName(QStringLiteral("btnBrowseLearnSampleFile"));
    btnBrowse_->setGeometry(306, 24, 78, 25);
    btnBrowse_->setToolTip(QStringLiteral("Выбор доступных файлов"));
    btnBrowse_->setAutoDefault(false);
    SetHelpContext(btnBrowse_, 61);

    // A wider page gives the file name the room.
    Anchors().Add(group_, kGrowWidth);
    Anchors().Add(edtFileName_, kGrowWidth);
    Anchors().Add(btnBrowse_, kKeepRight);

    connect(edtFileName_, &QLineEdit::textEdited, this, [this](const QString& text) {
        host_.Guard([&] { host_.Model().SampleFileTextChanged(text.toStdString()); });
        host_.RefreshFrame();
    });
    // Enter in the box moves on, as "Далее >>" does.
    connect(edtFileName_, &QLineEdit::returnPressed, this, [this] { host_.NextPage(); });
    connect(btnBrowse_, &QPushButton::clicked, this, &TPageSample::btnBrowseLearnSampleFileClick);
    connect(qApp, &QApplication::focusChanged, this, &TPageSample::FocusChanged);
}

void TPageSample::ShowPage() {
    QString text = QString::fromStdString(host_.Model().SampleFileText());
    if (edtFileName_->text() != text)
        edtFileName_->setText(text);
}

void TPageSample::SyncToModel() {
    std::string text = edtFileName_->text().toStdString();
    if (text != host_.Model().SampleFileText())
        host_.Model().SampleFileTextChanged(text);
}

void TPageSample::btnBrowseLearnSampleFileClick() {
    host_.Guard([&] {
        QString name = host_.Dialogs().OpenFileName(window(), QString::fromUtf8(kSampleFileFilter));
        if (name.isEmpty())
            return;
        edtFileName_->setText(name);
        host_.Model().SampleFileChosen(name.toStdString());
    });
    host_.RefreshFrame();
}

void TPageSample::FocusChanged(QWidget* old, QWidget* now) {
    if (old == nullptr || now == nullptr || !isVisible() || now->window() != window() || old->window() != window())
        return;
    if (isAncestorOf(now) && !isAncestorOf(old))
        host_.Model().Page1FocusEntered();
}

} // namespace nirvex
