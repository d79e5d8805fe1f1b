#include "gui/warning_line.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include <cerrno>

namespace gui {
namespace {

const char *const kWarningLineProperty = "tirladaWarningLine";

// A warning line is an alert to a screen reader (AT-SPI "alert"): its name
// is its text, and it is spoken when it appears.
class WarningLineAccessible : public QAccessibleWidget {
public:
    explicit WarningLineAccessible(QWidget *line) : QAccessibleWidget(line, QAccessible::AlertMessage) {}

    QString text(QAccessible::Text t) const override
    {
        auto *line = static_cast<QLabel *>(widget());
        if (t == QAccessible::Name)
            return line->accessibleName().isEmpty() ? line->text() : line->accessibleName();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = false;
        return s;
    }
};

QAccessibleInterface *warningLineFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QLabel") && object && object->property(kWarningLineProperty).toBool())
        return new WarningLineAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

std::function<void(QLabel *, QAccessible::Event)> &announcementObserver()
{
    static std::function<void(QLabel *, QAccessible::Event)> observer;
    return observer;
}

void announce(QLabel *line, QAccessible::Event type)
{
    QAccessibleEvent event(line, type);
    QAccessible::updateAccessibility(&event);
    if (announcementObserver())
        announcementObserver()(line, type);
}

} // namespace

QString systemReason(const Failure &failure)
{
    const FailureDetails &d = failure.details();
    switch (d.number) {
    case EROFS:
        return QStringLiteral("диск открыт только для чтения");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись в эту папку");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("на диске нет места");
    case ENOTDIR:
        return QStringLiteral("на месте папки стоит файл");
    case EISDIR:
        return QStringLiteral("на месте файла стоит папка");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода диска");
    default:
        break;
    }
    if (d.number != 0 && !d.reason.isEmpty())
        return QStringLiteral("ошибка системы: %1").arg(d.reason);
    return d.reason;
}

void makeWarningLine(QLabel *line)
{
    static const bool installed = [] {
        QAccessible::installFactory(warningLineFactory);
        return true;
    }();
    Q_UNUSED(installed);
    line->setProperty(kWarningLineProperty, true);
    line->setWordWrap(true);
    line->setFocusPolicy(Qt::NoFocus);
    line->setTextFormat(Qt::PlainText);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    line->setPalette(palette);
    // The room it was given is its least: it grows from there.
    line->setProperty("tirladaWarningLineRoom", line->geometry());
}

void showWarning(QLabel *line, const QString &text, const QString &details)
{
    const QRect room = line->property("tirladaWarningLineRoom").toRect();
    if (text.isEmpty()) {
        line->setVisible(false);
        line->clear();
        line->setToolTip(QString());
        line->setAccessibleName(QString());
        line->setAccessibleDescription(QString());
        if (room.isValid())
            line->setGeometry(room);
        return;
    }
    const bool changed = text != line->text() || !line->isVisible();
    line->setText(text);
    line->setToolTip(details);
    line->setAccessibleName(text);
    line->setAccessibleDescription(details);
    // The whole sentence, wrapped in the line's width: taller, upwards, when
    // the room given is not enough.
    if (room.isValid()) {
        QRect geometry = room;
        const int needed = line->heightForWidth(room.width());
        if (needed > geometry.height())
            geometry.setTop(geometry.bottom() + 1 - needed);
        line->setGeometry(geometry);
    }
    line->setVisible(true);
    line->raise();
    if (!changed)
        return;
    // Announced by a screen reader: an alert that appears, and the alert
    // event itself.
    announce(line, QAccessible::ObjectShow);
    announce(line, QAccessible::Alert);
}

namespace testing {
void setAnnouncementObserver(std::function<void(QLabel *line, QAccessible::Event event)> observer)
{
    announcementObserver() = std::move(observer);
}
} // namespace testing

} // namespace gui
