#include "app/setupfolders.h"

#include "app/savedsetups.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "setup/setup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rg {

namespace {

QString folderName(const QString& path) {
    return QDir::cleanPath(path) + QLatin1Char('/');
}

bool writableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

bool readableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

[[noreturn]] void cannotWrite(const QString& folder, const QString& why) {
    throw Error(QStringLiteral("不能在“%1”中建立报表设置文件夹：%2")
                    .arg(QDir::toNativeSeparators(folder), why)
                    .toStdString());
}

// The copy names the user's database where the original named the program's: an SQLite
// database given by a path that leads to `programDb`.
void pointAtCopy(const std::string& setupPath, const QString& programDir, const QString& programDb,
                 const QString& userDb) {
    TSetup setup(setupPath);
    if (setup.ReadAll())
        return;
    const std::string conn = setup.ReadConnString();
    const ConnParts parts = parseConnectionString(conn);
    const QString provider = QString::fromStdString(connValue(parts, "Provider"));
    if (provider.compare(QStringLiteral("SQLite"), Qt::CaseInsensitive) != 0)
        return;
    const QString named = QString::fromStdString(connValue(parts, "Data Source"));
    const QFileInfo db(QDir(programDir), named);
    if (db.canonicalFilePath() != QFileInfo(programDb).canonicalFilePath())
        return;
    std::string rewritten;
    for (const auto& [key, value] : parts) {
        const bool source = QString::fromStdString(key).compare(QStringLiteral("Data Source"),
                                                                Qt::CaseInsensitive) == 0;
        rewritten += (rewritten.empty() ? "" : ";") + key + "=" +
                     quoteConnValue(source ? userDb.toStdString() : value);
    }
    setup.WriteConnString(rewritten);
}

} // namespace

SetupFolders setupFoldersFor(const QString& programDir, const QString& userDataDir) {
    const QString beside = folderName(programDir + QStringLiteral("/setup"));
    if (writableFolder(beside))
        return SetupFolders(beside);
    SetupFolders folders(folderName(userDataDir + QStringLiteral("/setup")));
    const QString installed = folderName(programDir + QStringLiteral("/../share/reportgen/setup"));
    if (readableFolder(beside))
        folders.shared = beside;
    else if (readableFolder(installed))
        folders.shared = installed;
    return folders;
}

bool copyDemoSetups(const SetupFolders& folders, const QString& programDir) {
    if (folders.shared.isEmpty() || QFileInfo::exists(folders.own))
        return false;
    const QString parent = QFileInfo(QDir::cleanPath(folders.own)).absolutePath();
    if (!QDir().mkpath(parent))
        cannotWrite(parent, QStringLiteral("无法建立文件夹"));
    // Built beside its final name and renamed: a start cut short leaves no half folder that
    // would stop the next start from copying.
    const QString staging = QDir::cleanPath(folders.own) + QStringLiteral(".new");
    QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging))
        cannotWrite(parent, QStringLiteral("无法建立文件夹"));

    const QString sharedDir = QDir::cleanPath(folders.shared);
    const QString programDb = QFileInfo(sharedDir).absolutePath() + QStringLiteral("/demo.db");
    const QString userDb = parent + QStringLiteral("/demo.db");
    if (QFileInfo::exists(programDb) && !QFileInfo::exists(userDb)) {
        if (!QFile::copy(programDb, userDb))
            cannotWrite(parent, QStringLiteral("无法复制示例数据库"));
        QFile(userDb).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                     QFile::ReadOther);
    }
    for (const SavedSetup& s : savedSetups(folders.shared)) {
        const QString from = QFile::decodeName(QByteArray::fromStdString(s.path));
        const QString to = staging + QLatin1Char('/') + QFileInfo(from).fileName();
        if (!QFileInfo(from).isFile())
            continue;
        if (!QFile::copy(from, to))
            cannotWrite(parent, QStringLiteral("无法复制“%1”").arg(s.caption));
        QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                 QFile::ReadOther);
        pointAtCopy(QFile::encodeName(to).toStdString(), programDir, programDb, userDb);
    }
    if (!QDir().rename(staging, QDir::cleanPath(folders.own)))
        cannotWrite(parent, QStringLiteral("无法改名"));
    return true;
}

} // namespace rg
