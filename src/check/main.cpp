// tirlada-check: the organising committee's tool. Checks passport packages,
// lists their participants and writes their published pages, without a
// window or a display.

#include "check/output_file.h"
#include "check/run.h"
#include "check/walk.h"
#include "core/result.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef TIRLADA_VERSION
#define TIRLADA_VERSION "0"
#endif

namespace {

const char *const kHelp = "Использование: tirlada-check [ПАРАМЕТРЫ] ПАКЕТ|ПАПКА...\n"
                          "\n"
                          "Проверяет паспорта работ (файлы .kwp) так же строго, как программа Тирлада:\n"
                          "архив, документ data.xml, обязательные поля, контрольные цифры ID участников,\n"
                          "повторы ID, рисунок (JPEG не больше 300 × 300). В папках проверяется всё, чьё\n"
                          "имя оканчивается на .kwp (в любом регистре), во всех вложенных папках, включая\n"
                          "скрытые. Для каждого пакета печатается одна строка: «файл: OK» или\n"
                          "«файл: замечание; замечание»; байты имени не в UTF-8 показываются как \\xNN,\n"
                          "обратная косая черта имени — как \\\\. Ссылки на папки внутри папок не\n"
                          "просматриваются (о каждой — строка отчёта); у второго имени того же файла\n"
                          "своя строка, в итоге он считается один раз.\n"
                          "Последняя строка в стандартном потоке ошибок — итог:\n"
                          "«Проверено N пакетов: без замечаний A, с замечаниями B, не прочитано C.»\n"
                          "\n"
                          "Параметры:\n"
                          "  --participants ФАЙЛ   записать список участников исправных пакетов в CSV\n"
                          "                        (UTF-8, по строке на автора и руководителя)\n"
                          "  --html ПАПКА          записать в папку страницу и рисунок каждого исправного\n"
                          "                        пакета и общую страницу index.html; чужие файлы в папке\n"
                          "                        не перезаписываются, страницы прежних запусков для\n"
                          "                        исчезнувших и неисправных пакетов удаляются. Папка\n"
                          "                        занята на время запуска: второй запуск в неё получает\n"
                          "                        отказ\n"
                          "  --registrations ФАЙЛ  сверить авторов и руководителей с регистрацией: CSV со\n"
                          "                        столбцами ID (или Номер), Фамилия, Имя, Отчество;\n"
                          "                        разделитель «;», «,» или табуляция, кодировка UTF-8\n"
                          "                        или Windows-1251. В списке участников появляется\n"
                          "                        столбец «Совпадает с регистрацией» (да, не\n"
                          "                        зарегистрирован, имя отличается); в конце отчёта —\n"
                          "                        зарегистрированные, которых нет ни в одном пакете\n"
                          "  --registrations-report ФАЙЛ\n"
                          "                        записать их же в CSV\n"
                          "  --format ВИД          вид отчёта: text (по умолчанию) или jsonl — по объекту\n"
                          "                        JSON на пакет: {\"path\": …, \"ok\": …, \"problems\": […]}\n"
                          "  -q, --quiet           печатать только пакеты с замечаниями\n"
                          "  --files-from ФАЙЛ     взять пути пакетов и папок из файла, по одному в строке\n"
                          "                        («-» — из стандартного ввода)\n"
                          "  -0, --null            в --files-from пути разделены нулевым байтом\n"
                          "  -j, --jobs N          читать пакеты в N потоков (по умолчанию по числу ядер)\n"
                          "  -h, --help            показать эту справку\n"
                          "  -v, --version         показать версию\n"
                          "\n"
                          "Код завершения: 0 — все пакеты исправны; 1 — есть пакеты с замечаниями;\n"
                          "2 — ошибка в параметрах, или что-то не удалось прочитать или записать\n"
                          "(проверка неполна).\n";

void print(int handle, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(handle, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

int usageError(const QString &message)
{
    print(STDERR_FILENO,
          QStringLiteral("tirlada-check: ") + message + QStringLiteral("\nПодробнее: tirlada-check --help\n"));
    return check::kUsageError;
}

// The arguments as the system gave them: file names are bytes, and a name
// that is not UTF-8 must reach the check unchanged.
struct Arguments {
    bool help = false;
    bool version = false;
    bool nullSeparated = false;
    bool quiet = false;
    std::optional<QByteArray> participants, html, registrations, registrationsReport, jobs, format, filesFrom;
    QList<QByteArray> positional;
};

// Reads the arguments; on a usage error, returns its message.
QString parseArguments(int argc, char *argv[], Arguments *args)
{
    struct Valued {
        const char *name;
        char shortName;
        std::optional<QByteArray> Arguments::*field;
    };
    const Valued valued[] = {
        {"participants", 0, &Arguments::participants},
        {"html", 0, &Arguments::html},
        {"registrations", 0, &Arguments::registrations},
        {"registrations-report", 0, &Arguments::registrationsReport},
        {"jobs", 'j', &Arguments::jobs},
        {"format", 0, &Arguments::format},
        {"files-from", 0, &Arguments::filesFrom},
    };
    auto set = [&](const Valued &option, const QByteArray &value) -> QString {
        if (args->*option.field)
            return QStringLiteral("параметр --%1 указан больше одного раза.").arg(QLatin1String(option.name));
        args->*option.field = value;
        return QString();
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (optionsEnded || arg == "-" || !arg.startsWith('-')) {
            args->positional.append(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg.startsWith("--")) {
            const qsizetype equals = arg.indexOf('=');
            const QByteArray name = arg.mid(2, equals < 0 ? -1 : equals - 2);
            if (name == "help" || name == "version" || name == "quiet" || name == "null") {
                if (equals >= 0)
                    return QStringLiteral("у параметра --%1 не бывает значения.").arg(QString::fromUtf8(name));
                if (name == "help")
                    args->help = true;
                else if (name == "version")
                    args->version = true;
                else if (name == "quiet")
                    args->quiet = true;
                else
                    args->nullSeparated = true;
                continue;
            }
            const Valued *option = nullptr;
            for (const Valued &candidate : valued)
                if (name == candidate.name)
                    option = &candidate;
            if (!option)
                return QStringLiteral("неизвестный параметр «%1».")
                    .arg(check::shownName(equals < 0 ? arg : arg.left(equals)));
            QByteArray value;
            if (equals >= 0)
                value = arg.mid(equals + 1);
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return QStringLiteral("для параметра --%1 нужно значение.").arg(QLatin1String(option->name));
            if (const QString error = set(*option, value); !error.isEmpty())
                return error;
        } else {
            // Short options, which may stand together: "-q0", "-j4".
            for (qsizetype k = 1; k < arg.size(); ++k) {
                const char c = arg[k];
                if (c == 'h')
                    args->help = true;
                else if (c == 'v')
                    args->version = true;
                else if (c == 'q')
                    args->quiet = true;
                else if (c == '0')
                    args->nullSeparated = true;
                else if (c == 'j') {
                    QByteArray value = arg.mid(k + 1);
                    if (value.isEmpty()) {
                        if (i + 1 >= argc)
                            return QStringLiteral("для параметра -j нужно значение.");
                        value = argv[++i];
                    }
                    if (const QString error = set(valued[4], value); !error.isEmpty())
                        return error;
                    break;
                } else {
                    return QStringLiteral("неизвестный параметр «-%1».").arg(check::shownName(QByteArray(1, c)));
                }
            }
        }
    }
    return QString();
}

// The paths in a --files-from list: one per line (a CR before the line feed
// is dropped), or separated by NUL bytes; empty ones are passed over.
QList<QByteArray> pathsIn(const QByteArray &list, bool nullSeparated)
{
    QList<QByteArray> paths;
    for (QByteArray path : list.split(nullSeparated ? '\0' : '\n')) {
        if (!nullSeparated && path.endsWith('\r'))
            path.chop(1);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

// The list of paths, from a file or the standard input. Fails with
// CannotReadFile (file, reason).
Result<QByteArray> readAll(const QByteArray &name)
{
    QFile file;
    const bool opened = name == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                    : (file.setFileName(QFile::decodeName(name)), file.open(QIODevice::ReadOnly));
    if (!opened)
        return Unexpected(
            Failure(FailureCode::CannotReadFile, {.file = file.fileName(), .reason = file.errorString()}));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Unexpected(
            Failure(FailureCode::CannotReadFile, {.file = file.fileName(), .reason = file.errorString()}));
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    // A reader that goes away ("| head -1") must not end the run before the
    // list and the pages are written: the write fails with EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);
#ifdef __GLIBC__
    // A package's bytes and its document go back to the system when freed.
    // Left to itself, glibc raises the size it maps on its own to the largest
    // block freed, and then each reading thread's arena keeps the largest
    // package it has read: memory grows with threads times package size.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // What a thread frees below that stays with it for its next package
    // rather than going back to the system and being asked for again.
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
#endif

    Arguments args;
    if (const QString error = parseArguments(argc, argv, &args); !error.isEmpty())
        return usageError(error);
    check::RunOptions options;
    options.quiet = args.quiet;
    options.inputs = args.positional;
    if (args.help) {
        print(STDOUT_FILENO, QString::fromUtf8(kHelp));
        return check::kAllSound;
    }
    if (args.version) {
        print(STDOUT_FILENO, QStringLiteral("tirlada-check %1\n").arg(QLatin1String(TIRLADA_VERSION)));
        return check::kAllSound;
    }

    QCoreApplication app(argc, argv);
    if (args.participants) {
        if (args.participants->isEmpty())
            return usageError(QStringLiteral("для --participants нужно имя файла."));
        options.participantsCsv = QFile::decodeName(*args.participants);
    }
    if (args.html) {
        if (args.html->isEmpty())
            return usageError(QStringLiteral("для --html нужна папка."));
        options.htmlFolder = QFile::decodeName(*args.html);
    }
    if (args.registrations) {
        if (args.registrations->isEmpty())
            return usageError(QStringLiteral("для --registrations нужно имя файла."));
        options.registrations = QFile::decodeName(*args.registrations);
    }
    if (args.registrationsReport) {
        if (args.registrationsReport->isEmpty())
            return usageError(QStringLiteral("для --registrations-report нужно имя файла."));
        options.registrationsReport = QFile::decodeName(*args.registrationsReport);
    }
    if (args.jobs) {
        bool ok = false;
        options.threads = args.jobs->toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 1024)
            return usageError(QStringLiteral("число потоков должно быть от 1 до 1024."));
    }
    if (args.format) {
        if (*args.format == "jsonl")
            options.format = check::Format::Jsonl;
        else if (*args.format != "text")
            return usageError(QStringLiteral("вид отчёта (--format) бывает text или jsonl, а не «%1».")
                                  .arg(check::shownName(*args.format)));
    }
    if (args.nullSeparated && !args.filesFrom)
        return usageError(QStringLiteral("-0 действует только вместе с --files-from."));
    if (args.filesFrom) {
        const Result<QByteArray> list = readAll(*args.filesFrom);
        if (!list)
            return usageError(QStringLiteral("список путей «%1» не читается: %2")
                                  .arg(check::shownName(*args.filesFrom), list.error().details().reason));
        if (*args.filesFrom != "-")
            options.pathList = *args.filesFrom;
        options.inputs += pathsIn(*list, args.nullSeparated);
        if (options.inputs.isEmpty())
            return usageError(
                QStringLiteral("в списке путей «%1» нет ни одного пути.").arg(check::shownName(*args.filesFrom)));
    }
    if (options.inputs.isEmpty())
        return usageError(QStringLiteral("не указаны пакеты или папки."));

    // Ctrl+C, a closed terminal or a kill leave no fresh file behind.
    check::removeFreshFilesOnSignals();
    check::DescriptorDevice out(STDOUT_FILENO);
    check::DescriptorDevice err(STDERR_FILENO);
    return check::run(options, out, err);
}
