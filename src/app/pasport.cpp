#include "app/pasport.h"

#include "app/help_texts.h"
#include "gui/appearance.h"
#include "picture/picture_size.h"
#include "save/draft.h"
#include "spelling/spell_check.h"
#include "ui_pasport.h"

#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The window's client area as designed.
constexpr QSize kClientSize(787, 502);
} // namespace

TPasport::TPasport(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TPasport>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Pasport"));
    setFont(formFont());
    makeFixedWindow(this, kClientSize.width(), kClientSize.height(), /*minimizeButton=*/true);

    // The controls stand on a page of the designed size inside a scroll
    // area: on a screen too small for the window, the window shrinks to the
    // screen and the page scrolls (placeOnScreen).
    {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("PasportPage"));
        page->setFixedSize(kClientSize);
        for (QObject *child : QObjectList(children()))
            if (auto *widget = qobject_cast<QWidget *>(child))
                widget->setParent(page);
        auto *scroller = new QScrollArea(this);
        scroller->setObjectName(QStringLiteral("PasportScroller"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setFocusPolicy(Qt::NoFocus);
        scroller->setBackgroundRole(QPalette::Window);
        scroller->viewport()->setBackgroundRole(QPalette::Window);
        scroller->setWidget(page);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scroller);
    }

    for (QPlainTextEdit *memo : {ui->description, ui->manual, ui->Notes})
        setUpMemo(memo);
    for (QPlainTextEdit *memo : {ui->HelpMemo, ui->Memo5, ui->Memo1, ui->Memo2})
        setUpHelpMemo(memo);
    {
        QPalette palette = ui->HelpMemo->palette();
        palette.setColor(QPalette::Text, palette.color(QPalette::ButtonText));
        ui->HelpMemo->setPalette(palette);
    }
    ui->HelpMemo->setPlainText(core::passportTextToMemo(help::initialPanelText()));
    ui->Memo5->setPlainText(core::passportTextToMemo(help::pictureHelp()));
    ui->Memo1->setPlainText(core::passportTextToMemo(help::participantsHelp()));
    ui->Memo2->setPlainText(core::passportTextToMemo(help::commentsHelp()));

    ui->Temp_string->setVisible(false);
    setEditBackground(ui->WorkImgSign, QPalette::Window);
    for (QLineEdit *edit : {ui->AuthorsLastname, ui->AuthorsName, ui->AuthorsPatronymic, ui->TeachersLastname,
                            ui->TeachersName, ui->TeachersPatronymic})
        setEditBackground(edit, QPalette::Button);
    ui->LeaderID->setEditable(false);
    fitLabels(this);

    // Construction of the window's state, in order.
    AuthorsData = {};
    TeachersData = {};
    SeasonId = kSeasonId;
    SeasonName = kSeasonName;
    ui->SectionsTabs->setCurrentIndex(0);
    ui->AuthorAdd->setEnabled(ui->AuthorsListBox->count() < kMaxAuthors);
    ui->TeacherAdd->setEnabled(ui->TeachersListBox->count() < kMaxTeachers);
    SubjectSlots = {0, 0, 0, 0};
    SubjectNames = core::defaultSubjectNames();

    // The placeholder picture: a blank 300 x 300 bitmap with its size written
    // on it.
    ui->WorkImg->resizeBitmap(picture::kFrameSide, picture::kFrameSide);
    {
        QPainter painter(&ui->WorkImg->bitmap());
        painter.setFont(font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(130, 148, 170, 30), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("300 x 300"));
    }
    ui->WorkImg->bitmapChanged();

    connectHelp();
    connectParticipants();
    connectSections();
    connectPicture();
    connectSave();
    connectPreview();
    connectKeyboard();
    // Spelling is checked in the texts people read; not in the index, phone,
    // e-mail, IDs or names.
    spelling::checkAsYouType({ui->title, ui->description, ui->tech_request, ui->manual, ui->WorkImgSign,
                              ui->public_post_address, ui->Notes});
    // Last: it takes the finished window as the passport not yet changed.
    connectPackage();

    // Centred on the desktop when first shown, and wholly on it.
    placeOnScreen(this, kClientSize, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void TPasport::showEvent(QShowEvent *event)
{
    // Shown (again): changes count as input from now on.
    closed = false;
    QWidget::showEvent(event);
    // Again now that the window has its frame.
    if (!event->spontaneous() && !placedWithFrame) {
        placedWithFrame = true;
        placeOnScreen(this, kClientSize, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    }
}

TPasport::~TPasport()
{
    // The controls outlive this part of the window for a moment; a change
    // they signal while they are destroyed is no input.
    closed = true;
    draftTimer->stop();
}

void TPasport::setDialogs(TSubjects *subjects, TForm1 *form1)
{
    Subjects = subjects;
    Form1 = form1;
}

PassportSnapshot TPasport::snapshot() const
{
    PassportSnapshot s;
    s.title = ui->title->text();
    // A memo's raw text: toPlainText() would turn each no-break space into
    // a plain space.
    s.description = core::memoTextToPassport(ui->description->document()->toRawText());
    s.techRequest = ui->tech_request->text();
    s.manual = core::memoTextToPassport(ui->manual->document()->toRawText());
    s.postIndex = ui->public_post_index->text();
    s.postAddress = ui->public_post_address->text();
    s.phone = ui->public_phone->text();
    s.email = ui->public_email->text();
    s.notes = core::memoTextToPassport(ui->Notes->document()->toRawText());

    s.subjectSlots = SubjectSlots;
    s.subjectNames = SubjectNames;
    s.seasonId = SeasonId;
    s.seasonName = SeasonName;

    for (int i = 0; i < ui->AuthorsListBox->count() && i < int(AuthorsData.size()); ++i)
        s.authors.append(AuthorsData[i]);
    for (int i = 0; i < ui->TeachersListBox->count() && i < int(TeachersData.size()); ++i)
        s.teachers.append(TeachersData[i]);
    s.leaderIndex = ui->LeaderID->currentIndex();

    // A picture is loaded exactly while its add button is disabled.
    s.hasPicture = !ui->AddImg->isEnabled();
    if (s.hasPicture)
        s.picture = ui->WorkImg->bitmap();
    s.pictureCaption = ui->WorkImgSign->text();
    return s;
}
