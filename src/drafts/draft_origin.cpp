// A draft's origin: the package its passport came from, kept beside the
// draft so that a restored draft still knows what it was changed against.

#include "core/files.h"
#include "core/result.h"
#include "drafts/draft.h"
#include "drafts/draft_files.h"
#include "save/data_document.h"
#include "save/zip_archive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace drafts {

namespace {

// An origin file is a few hundred bytes; anything larger is not one.
constexpr qint64 kMaxOriginSize = 64 * 1024;

QByteArray originBytes(const DraftOrigin &origin)
{
    QJsonObject object;
    object[QStringLiteral("package")] = origin.package;
    object[QStringLiteral("packageMd5")] = QString::fromLatin1(origin.packageMd5);
    object[QStringLiteral("savedPassport")] = QString::fromLatin1(origin.savedPassport);
    object[QStringLiteral("unsaved")] = origin.unsaved;
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
} // namespace

Result<QByteArray> fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected(Failure(FailureCode::CannotOpenFile, {.file = path, .reason = file.errorString()}));
    if (file.size() > save::kMaxPackageSize)
        return Unexpected(Failure(FailureCode::PackageTooLarge, {.file = path, .limit = save::kMaxPackageSize}));
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return Unexpected(Failure(FailureCode::CannotReadFile, {.file = path, .reason = file.errorString()}));
    return hash.result().toHex();
}

QString originPath(const QString &draftPath)
{
    QString path = draftPath;
    if (path.endsWith(kDraftSuffix))
        path.chop(kDraftSuffix.size());
    return path + kOriginSuffix;
}

std::optional<DraftOrigin> readOrigin(const QString &draftPath)
{
    QFile file(originPath(draftPath));
    if (QFileInfo(file.fileName()).isSymLink() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxOriginSize)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kMaxOriginSize), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcDrafts) << "the origin of" << draftPath << "cannot be read:" << error.errorString();
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    DraftOrigin origin;
    origin.package = object.value(QStringLiteral("package")).toString();
    origin.packageMd5 = object.value(QStringLiteral("packageMd5")).toString().toLatin1();
    origin.savedPassport = object.value(QStringLiteral("savedPassport")).toString().toLatin1();
    origin.unsaved = object.value(QStringLiteral("unsaved")).toBool(true);
    if (!origin.package.isEmpty() && !QDir::isAbsolutePath(origin.package))
        origin.package.clear();
    return origin;
}
void writeOrigin(const QString &draftPath, const DraftOrigin &origin)
{
    core::writeFileReplacing(originPath(draftPath), originBytes(origin), core::FileAccess::Private);
}

} // namespace drafts
