#include "Account.h"

#include "errors/UserError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbox::sync {

namespace {

const auto fileName_ = QStringLiteral("sync-accounts.json");

// Each field's name in the file, written once.
struct Field {
    const char* name;
    QString Account::*member;
};
constexpr Field fields[] = {{"url", &Account::url},
                            {"user", &Account::user},
                            {"passwordCommand", &Account::passwordCommand},
                            {"addressBook", &Account::book},
                            {"ca", &Account::caFile},
                            {"key", &Account::key}};

// The folder, made owner-only when this makes it; an existing one is left as the user set it.
void makeFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), S_IRWXU) != 0)
        throw UserError(
            QStringLiteral("cannot make the folder %1 for the sync's accounts").arg(folder));
}

QJsonObject readAll(const QString& name) {
    QFile f(name);
    if (!f.exists())
        return {};
    const QFileInfo info(name);
    if (info.ownerId() != ::geteuid() ||
        (info.permissions() & (QFile::WriteGroup | QFile::WriteOther)))
        throw UserError(QStringLiteral("%1 may be changed by others; make it yours alone "
                                       "(chmod 600) before it is used")
                            .arg(name),
                        UserError::Kind::NeedsUser);
    if (!f.open(QIODevice::ReadOnly))
        throw UserError(QStringLiteral("cannot read %1: %2").arg(name, f.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (!doc.isObject())
        throw UserError(QStringLiteral("%1 is not a valid accounts file (%2); mend or remove it")
                            .arg(name, error.errorString()),
                        UserError::Kind::NeedsUser);
    return doc.object();
}

QByteArray lockName(const QString& canonicalPath) {
    return "sync-" +
           QCryptographicHash::hash(canonicalPath.toUtf8(), QCryptographicHash::Sha256)
               .toHex()
               .left(32) +
           ".lock";
}

} // namespace

Accounts::Accounts(QString folder) : folder_(std::move(folder)) {}

QString Accounts::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/quillbox");
}

QString Accounts::fileName() const {
    return folder_ + QLatin1Char('/') + fileName_;
}

std::optional<Account> Accounts::find(const QString& canonicalPath) const {
    const QJsonValue entry = readAll(fileName()).value(canonicalPath);
    if (!entry.isObject())
        return std::nullopt;
    Account a;
    for (const Field& f : fields)
        a.*f.member = entry.toObject().value(QLatin1String(f.name)).toString();
    return a;
}

void Accounts::save(const QString& canonicalPath, const Account& account) const {
    makeFolder(folder_);
    QJsonObject all = readAll(fileName());
    QJsonObject entry;
    for (const Field& f : fields)
        if (!(account.*f.member).isEmpty())
            entry.insert(QLatin1String(f.name), account.*f.member);
    all.insert(canonicalPath, entry);
    QSaveFile out(fileName());
    if (!out.open(QIODevice::WriteOnly) ||
        !out.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        out.write(QJsonDocument(all).toJson()) < 0 || !out.commit())
        throw UserError(QStringLiteral("cannot write the account to %1: %2")
                            .arg(fileName(), out.errorString()));
}

SyncLock::SyncLock(const Accounts& accounts, const QString& canonicalPath) {
    makeFolder(accounts.folder());
    const QByteArray name = QFile::encodeName(accounts.folder()) + '/' + lockName(canonicalPath);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw UserError(
            QStringLiteral("cannot make the lock file %1").arg(QFile::decodeName(name)));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

SyncLock::~SyncLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

QStringList splitCommand(const QString& command) {
    QStringList words;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } quote = Plain;
    const auto bad = [](const char* what) {
        return UserError(QStringLiteral("the password command has %1").arg(QLatin1String(what)),
                         UserError::Kind::NeedsUser);
    };
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quote == Single) {
            if (c == QLatin1Char('\''))
                quote = Plain;
            else
                word += c;
        } else if (quote == Double) {
            if (c == QLatin1Char('"')) {
                quote = Plain;
            } else if (c == QLatin1Char('\\') && i + 1 < command.size() &&
                       QStringLiteral("\"\\$`\n").contains(command[i + 1])) {
                if (command[++i] != QLatin1Char('\n'))
                    word += command[i];
            } else {
                word += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == QLatin1Char('\''))
                quote = Single;
            else if (c == QLatin1Char('"'))
                quote = Double;
            else if (c != QLatin1Char('\\'))
                word += c;
            else if (++i == command.size())
                throw bad("a backslash at its end");
            else if (command[i] != QLatin1Char('\n'))
                word += command[i];
        }
    }
    if (quote != Plain)
        throw bad("a quote that is not closed");
    if (inWord)
        words << word;
    return words;
}

} // namespace quillbox::sync
