// tirlada-check: the organising committee's tool. Checks passport packages,
// lists their participants and writes their published pages, without a
// window or a display.

#include "check/run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#ifndef TIRLADA_VERSION
#define TIRLADA_VERSION "0"
#endif

namespace {

const char *const kHelp = "Использование: tirlada-check [ПАРАМЕТРЫ] ПАКЕТ|ПАПКА...\n"
                          "\n"
                          "Проверяет паспорта работ (файлы .kwp) так же строго, как программа Тирлада:\n"
                          "архив, документ data.xml, обязательные поля, контрольные цифры ID участников,\n"
                          "повторы ID, рисунок (JPEG не больше 300 × 300). В папках пакеты *.kwp ищутся\n"
                          "во всех вложенных папках. Для каждого пакета печатается одна строка:\n"
                          "«файл: OK» или «файл: замечание; замечание».\n"
                          "\n"
                          "Параметры:\n"
                          "  --participants ФАЙЛ  записать список участников исправных пакетов в CSV\n"
                          "                       (UTF-8, по строке на автора и руководителя)\n"
                          "  --html ПАПКА         записать в папку страницу и рисунок каждого исправного\n"
                          "                       пакета и общую страницу index.html\n"
                          "  -j, --jobs N         читать пакеты в N потоков (по умолчанию по числу ядер)\n"
                          "  -h, --help           показать эту справку\n"
                          "  -v, --version        показать версию\n"
                          "\n"
                          "Код завершения: 0 — все пакеты исправны; 1 — есть неисправные пакеты или\n"
                          "не удалось записать результат; 2 — ошибка в параметрах.\n";

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int usageError(const QString &message)
{
    print(stderr, QStringLiteral("tirlada-check: ") + message + QStringLiteral("\nПодробнее: tirlada-check --help\n"));
    return check::kUsageError;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tirlada-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TIRLADA_VERSION));
    // The parser's own messages (a missing value, an unknown option) in
    // Russian, like everything else the tool says.
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslation);

    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("справка"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("версия"));
    const QCommandLineOption participants(QStringLiteral("participants"), QStringLiteral("список участников"),
                                          QStringLiteral("ФАЙЛ"));
    const QCommandLineOption html(QStringLiteral("html"), QStringLiteral("страницы"), QStringLiteral("ПАПКА"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, QStringLiteral("потоки"),
                                  QStringLiteral("N"));
    parser.addOptions({help, version, participants, html, jobs});

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        print(stdout, QString::fromUtf8(kHelp));
        return check::kAllSound;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("tirlada-check %1\n").arg(QCoreApplication::applicationVersion()));
        return check::kAllSound;
    }

    check::RunOptions options;
    options.inputs = parser.positionalArguments();
    if (options.inputs.isEmpty())
        return usageError(QStringLiteral("не указаны пакеты или папки."));
    for (const QCommandLineOption *option : {&participants, &html, &jobs})
        if (parser.values(*option).size() > 1)
            return usageError(QStringLiteral("параметр --%1 указан больше одного раза.").arg(option->names().last()));
    options.participantsCsv = parser.value(participants);
    options.htmlFolder = parser.value(html);
    if (parser.isSet(participants) && options.participantsCsv.isEmpty())
        return usageError(QStringLiteral("для --participants нужно имя файла."));
    if (parser.isSet(html) && options.htmlFolder.isEmpty())
        return usageError(QStringLiteral("для --html нужна папка."));
    if (parser.isSet(jobs)) {
        bool ok = false;
        options.threads = parser.value(jobs).toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 1024)
            return usageError(QStringLiteral("число потоков должно быть от 1 до 1024."));
    }

    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    int status = check::run(options, out, err);
    out.close();
    // A report that did not reach its file (a full disk, a closed pipe) must
    // not pass for a clean run.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        print(stderr, QStringLiteral("tirlada-check: не удалось записать отчёт в стандартный вывод.\n"));
        status = check::kSomeNotSound;
    }
    return status;
}
