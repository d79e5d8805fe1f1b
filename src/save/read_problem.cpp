#include "save/read_problem.h"

#include "core/passport.h"

#include <QStringList>

namespace save {
namespace {

QString quoted(const QString &text) { return QStringLiteral("«") + text + QStringLiteral("»"); }

// "знак", "знака" or "знаков" after the number.
QString charactersWord(qint64 n)
{
    const qint64 lastTwo = n % 100;
    const qint64 last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return QStringLiteral("знаков");
    if (last == 1)
        return QStringLiteral("знак");
    if (last >= 2 && last <= 4)
        return QStringLiteral("знака");
    return QStringLiteral("знаков");
}

QString shapeText(const QString &detail)
{
    return QStringLiteral("Файл data.xml устроен не так, как паспорт работы: %1.").arg(detail);
}

// What stood in the document, as a reader of the sentence names it.
QString foundText(const ReadProblem &problem)
{
    switch (problem.found) {
    case FoundToken::Element:
        return QStringLiteral("элемент ") + quoted(problem.foundName);
    case FoundToken::EndElement:
        return QStringLiteral("конец элемента ") + quoted(problem.foundName);
    case FoundToken::Nothing:
    case FoundToken::EndOfFile:
        break;
    }
    return QStringLiteral("конец файла");
}

} // namespace

QString readProblemText(const ReadProblem &p)
{
    const QString name = quoted(p.name);
    switch (p.code) {
    case ReadProblemCode::FileNotFound:
        return QStringLiteral("Файл %1 не найден.").arg(name);
    case ReadProblemCode::NotAFile:
        return QStringLiteral("%1 не является файлом.").arg(name);
    case ReadProblemCode::FileNotOpened:
        return QStringLiteral("Файл %1 не открывается: %2.").arg(name, p.reason);
    case ReadProblemCode::FileNotRead:
        return QStringLiteral("Файл %1 не читается: %2.").arg(name, p.reason);
    case ReadProblemCode::FileTooLarge:
        return QStringLiteral("Файл слишком большой для пакета паспорта: %1 байт, а допускается не больше %2.")
            .arg(p.number)
            .arg(p.limit);
    case ReadProblemCode::NotZip:
        return QStringLiteral("Файл не является пакетом паспорта работы: это не ZIP-архив.");
    case ReadProblemCode::ArchiveDamaged:
        return QStringLiteral("Пакет поврежден: его оглавление не сходится с содержимым.");
    case ReadProblemCode::TooManyEntries:
        return QStringLiteral("В пакете слишком много файлов: %1, а в пакете паспорта их не больше двух.")
            .arg(p.number);
    case ReadProblemCode::UnsafeEntryName:
        return QStringLiteral("В пакете есть файл с недопустимым именем %1.").arg(name);
    case ReadProblemCode::LinkEntry:
        return QStringLiteral("В пакете есть ссылка %1 вместо файла.").arg(name);
    case ReadProblemCode::FolderEntry:
        return QStringLiteral("В пакете есть папка %1, а папок в пакете паспорта не бывает.").arg(name);
    case ReadProblemCode::NotRegularEntry:
        return QStringLiteral("В пакете есть %1, и это не обычный файл.").arg(name);
    case ReadProblemCode::DuplicateEntry:
        return QStringLiteral("Файл %1 записан в пакете дважды.").arg(name);
    case ReadProblemCode::EntryEncrypted:
        return QStringLiteral("Файл %1 в пакете зашифрован, а пакет паспорта не шифруется.").arg(name);
    case ReadProblemCode::EntryCompression:
        return QStringLiteral("Файл %1 в пакете сжат неизвестным способом.").arg(name);
    case ReadProblemCode::EntryTooLarge:
        return QStringLiteral("Файл %1 в пакете слишком большой: %2 байт, а допускается не больше %3.")
            .arg(name)
            .arg(p.number)
            .arg(p.limit);
    case ReadProblemCode::EntriesTooLarge:
        return QStringLiteral("Файлы в пакете вместе слишком большие: больше %1 байт.").arg(p.limit);
    case ReadProblemCode::EntryCrc:
        return QStringLiteral("Файл %1 в пакете поврежден: не сходится его контрольная сумма.").arg(name);
    case ReadProblemCode::EntryUnreadable:
        return QStringLiteral("Файл %1 в пакете поврежден и не читается.").arg(name);
    case ReadProblemCode::EntryShort:
        return QStringLiteral("Файл %1 в пакете обрывается раньше, чем сказано в оглавлении.").arg(name);
    case ReadProblemCode::EntryLong:
        return QStringLiteral("Файл %1 в пакете длиннее, чем сказано в оглавлении.").arg(name);
    case ReadProblemCode::ForeignEntry:
        return QStringLiteral("В пакете есть посторонний файл %1; в пакете паспорта бывают только data.xml и "
                              "image.jpg.")
            .arg(name);
    case ReadProblemCode::NoDocument:
        return QStringLiteral("В пакете нет файла data.xml с данными паспорта.");
    case ReadProblemCode::PictureFileTooLarge:
        return QStringLiteral("Рисунок image.jpg слишком большой: %1 байт, а допускается не больше %2.")
            .arg(p.number)
            .arg(p.limit);
    case ReadProblemCode::DocumentMalformed:
        return QStringLiteral("Файл data.xml поврежден: в нем нарушены правила записи XML.");
    case ReadProblemCode::DocumentEncoding:
        return shapeText(QStringLiteral("он записан в кодировке %1, а не в UTF-8").arg(p.name));
    case ReadProblemCode::DocumentStrayText:
        return shapeText(QStringLiteral("в нем есть текст вне полей паспорта"));
    case ReadProblemCode::DocumentDtd:
        return QStringLiteral("Файл data.xml содержит объявление типа документа (DTD); такие файлы не открываются, "
                              "чтобы не раскрывать в них сущности.");
    case ReadProblemCode::DocumentEntity:
        return QStringLiteral("Файл data.xml ссылается на сущность %1, а в паспорте их не бывает.").arg(name);
    case ReadProblemCode::DocumentFieldMisplaced:
        return shapeText(QStringLiteral("на месте поля %1 стоит %2").arg(name, foundText(p)));
    case ReadProblemCode::DocumentNamespace:
        return shapeText(QStringLiteral("элемент %1 относится к пространству имен").arg(name));
    case ReadProblemCode::DocumentAttributes:
        return shapeText(QStringLiteral("у элемента %1 есть атрибуты").arg(name));
    case ReadProblemCode::DocumentNestedElements:
        return shapeText(QStringLiteral("в поле %1 вложены элементы").arg(name));
    case ReadProblemCode::DocumentUnknownAttribute:
        return shapeText(QStringLiteral("у элемента %1 есть неизвестный атрибут %2").arg(name, quoted(p.value)));
    case ReadProblemCode::DocumentMissingAttribute:
        return shapeText(QStringLiteral("у элемента %1 нет атрибута %2").arg(name, quoted(p.value)));
    case ReadProblemCode::DocumentWrongInList:
        return shapeText(QStringLiteral("в поле %1 стоит %2").arg(name, foundText(p)));
    case ReadProblemCode::DocumentAuthorAfterTeachers:
        return shapeText(QStringLiteral("автор записан после руководителей"));
    case ReadProblemCode::DocumentInsidePerson:
        return shapeText(QStringLiteral("внутри элемента %1 стоит %2").arg(name, foundText(p)));
    case ReadProblemCode::DocumentAfterField:
        return shapeText(QStringLiteral("после поля %1 стоит %2").arg(name, foundText(p)));
    case ReadProblemCode::DocumentAfterRoot:
        return shapeText(QStringLiteral("после элемента %1 стоит %2").arg(name, foundText(p)));
    case ReadProblemCode::OtherSeason:
        return QStringLiteral("Паспорт составлен для другого сезона фестиваля (номер сезона %1); открываются "
                              "паспорта сезона %2, %3.")
            .arg(quoted(p.value))
            .arg(kSeasonId)
            .arg(kSeasonName);
    case ReadProblemCode::BadTime:
        return QStringLiteral("Время сохранения паспорта записано неверно: %1.").arg(quoted(p.value));
    case ReadProblemCode::BadSection:
        return QStringLiteral("Номер раздела %1 неверен: разделы нумеруются от 1 до %2.")
            .arg(quoted(p.value))
            .arg(p.limit);
    case ReadProblemCode::SectionsNotByRules:
        return QStringLiteral("Разделы работы выбраны не по правилам: допускается до трех основных разделов по "
                              "возрастанию номеров и раздел 22 только вместе с ними, последним, а в паспорте "
                              "записано: %1.")
            .arg(p.value);
    case ReadProblemCode::BadIdForm:
        return QStringLiteral("ID участника %1 записан неверно: ID имеет вид XXX-XXX-XXX из цифр.")
            .arg(quoted(p.value));
    case ReadProblemCode::BadIdRange:
        return QStringLiteral("ID участника %1 вне допустимых номеров: от 100-000-001 до 999-999-998.")
            .arg(quoted(p.value));
    case ReadProblemCode::BadIdCheckDigits:
        return QStringLiteral("У ID участника %1 неверные контрольные цифры.").arg(p.value);
    case ReadProblemCode::DuplicateId:
        return QStringLiteral("ID участника %1 записан в паспорте дважды.").arg(p.value);
    case ReadProblemCode::LeaderIsAuthor:
        return QStringLiteral("Получателем счета отмечен автор %1, а счет получает только руководитель.").arg(p.value);
    case ReadProblemCode::LeaderBadValue:
        return QStringLiteral("Получатель счета отмечен неверно: у руководителя %1 стоит %2 вместо «True».")
            .arg(p.name, quoted(p.value));
    case ReadProblemCode::TooManyAuthors:
        return QStringLiteral("Авторов в паспорте: %1, а их может быть не больше %2.").arg(p.number).arg(p.limit);
    case ReadProblemCode::TooManyTeachers:
        return QStringLiteral("Руководителей в паспорте: %1, а их может быть не больше %2.").arg(p.number).arg(p.limit);
    case ReadProblemCode::SeveralLeaders:
        return QStringLiteral("Получателями счета отмечены несколько руководителей, а получатель может быть только "
                              "один.");
    case ReadProblemCode::CaptionWithoutPicture:
        return QStringLiteral("В паспорте есть подпись к рисунку, а самого рисунка image.jpg в пакете нет.");
    case ReadProblemCode::DescriptionTooLong:
        return QStringLiteral("Описание работы слишком длинное: %1 %2, а допускается не больше %3; на странице "
                              "работы было бы опубликовано только его начало.")
            .arg(p.number)
            .arg(charactersWord(p.number))
            .arg(p.limit);
    case ReadProblemCode::PictureTooComplex:
        return QStringLiteral("Рисунок image.jpg в пакете устроен слишком сложно: в нем больше %1 проходов "
                              "кодирования.")
            .arg(p.limit);
    case ReadProblemCode::PictureNotJpeg:
        return QStringLiteral("Рисунок image.jpg в пакете не является рисунком JPEG.");
    case ReadProblemCode::PictureTooLarge:
        return QStringLiteral("Рисунок image.jpg имеет размер %1 × %2 точек, а допускается не больше %3 × %3.")
            .arg(p.width)
            .arg(p.height)
            .arg(p.limit);
    case ReadProblemCode::PictureCutShort:
        return QStringLiteral("Рисунок image.jpg в пакете: картинка повреждена, ее данные обрываются.");
    case ReadProblemCode::PictureDamaged:
        return QStringLiteral("Рисунок image.jpg в пакете: картинка повреждена, часть ее данных не читается "
                              "(предупреждение JPEG №%1).")
            .arg(p.number);
    }
    return QString();
}

QStringList readProblemTexts(const ReadProblems &problems)
{
    QStringList texts;
    texts.reserve(problems.size());
    for (const ReadProblem &problem : problems)
        texts.append(readProblemText(problem));
    return texts;
}

} // namespace save
