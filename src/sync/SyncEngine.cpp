#include "SyncEngine.h"

#include "Href.h"

#include "contact/Contact.h"
#include "data/EngineError.h"
#include "errors/UserError.h"
#include "exchange/CardEdit.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <array>
#include <utility>
#include <optional>

namespace quillbox::sync {

namespace {

using contact::Contact;
using data::SyncedCard;

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// The fields edited from `from` to `to`.
exchange::CardEdit editOf(const Contact& from, const Contact& to) {
    exchange::CardEdit e;
    const std::array<std::optional<QString>*, contact::fields.size()> targets{&e.name, &e.email,
                                                                              &e.phone, &e.address};
    for (size_t i = 0; i < contact::fields.size(); ++i)
        if (const auto text = contact::fields[i].text; from.*text != to.*text)
            *targets[i] = to.*text;
    return e;
}

struct ServerCard {
    enum Kind { Unchanged, Changed, Gone } kind = Unchanged;
    QByteArray etag, data;
    Contact fields;
};

// The form in which two spellings of one href compare equal: the file may hold another than
// the listing, as written before, or by hand.
QString keyOf(const QString& href) { return normalHref(href); }

// The deletion guard asks first when more than half, and more than this many, would go.
constexpr qsizetype deletionsAsked = 10;

class Run {
public:
    Run(data::SyncStore& store, CardDavClient& dav, const SyncEngine::Say& say, bool allowDeletions)
        : store_(store), dav_(dav), say_(say), allowDeletions_(allowDeletions) {}

    SyncCounts counts;

    // The four texts of a server card as the file would hold them: read by the import's rules
    // and cut to the program's limits (told once, when the card first comes). A UserError
    // when the card cannot be read.
    Contact fieldsOf(const QByteArray& card, bool tell) {
        Contact f = exchange::readCard(card);
        for (const contact::Field& field : contact::fields)
            if (exchange::cutToLimit(f.*field.text, field.limit) && tell)
                say_(QStringLiteral("here: the %1 of %2 is cut to %3 characters")
                         .arg(QLatin1String(field.label), quoted(f.name))
                         .arg(field.limit));
        return f;
    }

    ServerCard fetchOne(const QString& href) {
        const Card c = dav_.get(href);
        if (c.href.isEmpty())
            return {ServerCard::Gone, {}, {}, {}};
        return {ServerCard::Changed, c.etag, c.data, fieldsOf(c.data, false)};
    }

    // Left for the next sync, which tries again as the token stays where it was.
    void skip(const QString& why) {
        ++counts.skipped;
        say_(QStringLiteral("not synced: %1; the next sync tries again").arg(why));
    }

    // Both sides' changes since `base`: the server's where both changed a field.
    Contact merge(const Contact& base, const Contact& here, const Contact& server,
                  QStringList& conflicts) {
        Contact out;
        for (const contact::Field& field : contact::fields) {
            const QString &b = base.*field.text, &l = here.*field.text, &s = server.*field.text;
            out.*field.text = s != b ? s : l;
            if (s != b && l != b && l != s)
                conflicts << QStringLiteral("conflict on %1, %2: the server's %3 replaced %4")
                                 .arg(quoted(server.name), QLatin1String(field.label), quoted(s),
                                      quoted(l));
        }
        return out;
    }

    // PUTs `card` at the row's href, over `ifMatch` or where there is none; false on a 412.
    // The row takes what the server then holds; the contact takes it too where it differs,
    // as when the server reads a card otherwise than it was written.
    bool upload(SyncedCard& row, const QByteArray& card, const QByteArray& ifMatch,
                const std::optional<Contact>& here) {
        const CardDavClient::PutResult r = dav_.put(row.href, card, ifMatch);
        if (r.status == 412)
            return false;
        QByteArray etag = r.etag, stored = card;
        if (etag.isEmpty()) { // the server keeps its ETag to itself: ask, and see its card
            const Card c = dav_.get(row.href);
            etag = c.etag;
            if (!c.data.isEmpty())
                stored = c.data;
        }
        Contact agreed;
        try {
            agreed = fieldsOf(stored, false);
        } catch (const UserError&) {
            agreed = fieldsOf(card, false);
        }
        row.etag = etag;
        row.card = stored;
        row.agreed = agreed;
        const bool changeHere = here && agreed != *here;
        later(
            quoted(agreed.name),
            [this, row, changeHere] {
                store_.saveCard(row);
                if (changeHere)
                    store_.updateContact(row.number, row.agreed);
            },
            [this, changeHere, name = quoted(agreed.name)] {
                if (changeHere) {
                    ++counts.changedHere;
                    say_(QStringLiteral("here: changed %1").arg(name));
                }
            });
        return true;
    }

    // A write that can wait: what it records is found again by a run after a kill (a card the
    // server has is listed; a change here is still a change). Gathered into few transactions,
    // since each costs a flush to disk; `done` tells it once it is in the file.
    void later(const QString& name, std::function<void()> write, std::function<void()> done = {}) {
        later_.push_back({name, std::move(write), std::move(done)});
        if (later_.size() >= 500 || sinceFlush_.elapsed() > 5000)
            flush();
    }

    void flush() {
        std::vector<Write> writes = std::exchange(later_, {});
        sinceFlush_.restart();
        if (writes.empty())
            return;
        try {
            store_.write([&] {
                for (const Write& w : writes)
                    w.write();
            });
        } catch (const data::EngineError& e) {
            if (!data::error::valueRefused(e.number()))
                throw;
            // One value the file refuses (a card over its length limit) must not keep the
            // others out: each on its own, and the refused one is left for the next sync.
            for (Write& w : writes)
                try {
                    store_.write(w.write);
                } catch (const data::EngineError& refused) {
                    if (!data::error::valueRefused(refused.number()))
                        throw;
                    skip(QStringLiteral("%1 cannot be stored here: %2")
                             .arg(w.name, refused.description()));
                    w.done = nullptr;
                }
        }
        for (const Write& w : writes)
            if (w.done)
                w.done();
    }

    // Brings one synced contact and its card into step. A card that cannot be read, or an
    // edit it cannot take, leaves both sides as they are.
    void settle(SyncedCard s, ServerCard server, std::optional<Contact> here) {
        try {
            if (settleOnce(s, server, here))
                return;
        } catch (const UserError& e) {
            if (e.kind() != UserError::Kind::Unreadable)
                throw;
            skip(QStringLiteral("%1 (%2) on the server: %3")
                     .arg(quoted(here ? here->name : s.agreed.name), s.href, e.message()));
            return;
        }
        ++counts.unresolved;
        say_(QStringLiteral("not in step: %1 kept changing on the server; run the sync again")
                 .arg(quoted(s.agreed.name)));
    }

    // False when the card kept changing under every attempt.
    bool settleOnce(SyncedCard& s, ServerCard& server, const std::optional<Contact>& here) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (settleAgainst(s, server, here))
                return true;
            server = fetchOne(s.href); // it changed since it was read: look again
        }
        return false;
    }

    // One attempt, against the server's card as last read; false when the server refused a
    // write because its card changed meanwhile.
    bool settleAgainst(SyncedCard& s, const ServerCard& server,
                       const std::optional<Contact>& here) {
        switch (server.kind) {
        case ServerCard::Unchanged:
            return here ? sendChangeThere(s, here) : deleteThere(s);
        case ServerCard::Changed:
            if (!here) { // changed there, deleted here: the edit wins
                addAgainHere(s, server);
                return true;
            }
            return mergeChanges(s, server, here);
        case ServerCard::Gone:
            return settleGone(s, here);
        }
        return true;
    }

    bool deleteThere(const SyncedCard& s) {
        const QString name = quoted(s.agreed.name);
        if (dav_.remove(s.href, s.etag) == 412)
            return false;
        later(name, [this, href = s.href] { store_.deleteCard(href); });
        ++counts.deletedThere;
        say_(QStringLiteral("server: deleted %1").arg(name));
        return true;
    }

    bool sendChangeThere(SyncedCard& s, const std::optional<Contact>& here) {
        if (*here == s.agreed)
            return true;
        const QString name = quoted(here->name);
        if (!upload(s, exchange::editCard(s.card, editOf(s.agreed, *here)), s.etag, here))
            return false;
        ++counts.changedThere;
        say_(QStringLiteral("server: changed %1").arg(name));
        return true;
    }

    void addAgainHere(SyncedCard s, const ServerCard& server) {
        s.etag = server.etag;
        s.card = server.data;
        s.agreed = server.fields;
        const QString again = quoted(server.fields.name);
        later(
            again,
            [this, s]() mutable {
                s.number = store_.addContact(s.agreed);
                store_.saveCard(s);
            },
            [this, again] {
                ++counts.addedHere;
                say_(QStringLiteral("here: added %1 again, as the server changed it").arg(again));
            });
    }

    // Both changed: the merge is taken here where the server's card already says it all, and
    // sent there otherwise.
    bool mergeChanges(SyncedCard& s, const ServerCard& server, const std::optional<Contact>& here) {
        QStringList conflicts;
        const Contact merged = merge(s.agreed, *here, server.fields, conflicts);
        if (merged == server.fields) {
            s.etag = server.etag;
            s.card = server.data;
            s.agreed = merged;
            const bool changeHere = merged != *here;
            later(
                quoted(merged.name),
                [this, s, changeHere] {
                    if (changeHere)
                        store_.updateContact(s.number, s.agreed);
                    store_.saveCard(s);
                },
                [this, conflicts, changeHere, name = quoted(merged.name)] {
                    tell(conflicts);
                    if (changeHere) {
                        ++counts.changedHere;
                        say_(QStringLiteral("here: changed %1").arg(name));
                    }
                });
            return true;
        }
        const QByteArray card = exchange::editCard(server.data, editOf(server.fields, merged));
        s.etag = server.etag;
        s.card = server.data;
        if (!upload(s, card, server.etag, here))
            return false;
        tell(conflicts);
        ++counts.changedThere;
        say_(QStringLiteral("server: changed %1").arg(quoted(merged.name)));
        return true;
    }

    // Gone there: unchanged here, it goes here too; changed here (or never yet uploaded), it
    // goes up again.
    bool settleGone(SyncedCard& s, const std::optional<Contact>& here) {
        const QString name = quoted(here ? here->name : s.agreed.name);
        if (!here) {
            later(name, [this, href = s.href] { store_.deleteCard(href); });
            return true;
        }
        if (!s.etag.isEmpty() && *here == s.agreed) {
            later(
                name,
                [this, s] {
                    store_.deleteContact(s.number);
                    store_.deleteCard(s.href);
                },
                [this, name] {
                    ++counts.deletedHere;
                    say_(QStringLiteral("here: deleted %1").arg(name));
                });
            return true;
        }
        // Told as it stood before the upload, which gives the row its new ETag.
        const bool neverThere = s.etag.isEmpty() && s.agreed == *here;
        if (!upload(s, exchange::editCard(s.card, editOf(s.agreed, *here)), {}, here))
            return false;
        ++counts.addedThere;
        say_(neverThere
                 ? QStringLiteral("server: added %1").arg(name)
                 : QStringLiteral("server: added %1 again, as it was changed here").arg(name));
        return true;
    }

    void tell(const QStringList& conflicts) {
        counts.conflicts += static_cast<int>(conflicts.size());
        for (const QString& c : conflicts)
            say_(c);
    }

    void run(const QString& book, const data::SyncState& state, bool forget);

private:
    using Settling = std::vector<std::pair<const SyncedCard*, ServerCard>>;

    // The phases of a run, in order. Nothing is written before planSettling has passed.
    bool readRows(const QString& book, bool forget);
    void readServer(const QString& book);
    void takeCard(const QString& href, const QByteArray& etag, const QByteArray& data);
    void readContacts();
    Settling planSettling(const QString& book);
    QSet<std::int64_t> takeArriving();
    void uploadNew(const QString& book, const QSet<std::int64_t>& matched);

    // Stops before any write when the sync would delete more than the guard lets through.
    void guard(const QString& book, qsizetype hereDeleted, qsizetype hereCount,
               qsizetype thereDeleted, qsizetype thereCount, bool bookEmptied) const;

    struct Write {
        QString name; // the contact, for a write the file refuses
        std::function<void()> write, done;
    };

    data::SyncStore& store_;
    CardDavClient& dav_;
    const SyncEngine::Say& say_;
    bool allowDeletions_;
    std::vector<Write> later_;
    QElapsedTimer sinceFlush_;

    // What the run read of both sides.
    std::vector<SyncedCard> rows_;       // the file's record of synced cards
    QHash<QString, qsizetype> rowOf_;    // by key
    QSet<std::int64_t> synced_;          // the contacts the rows are of
    Changes changes_;                    // the server's listing
    QSet<QString> listed_;               // by key: a listing is a set
    QStringList arriving_;               // cards new to the file, as the server spells them
    QHash<QString, ServerCard> fetched_; // by key
    QSet<QString> skipped_;              // by key: the next sync tries these again
    QSet<QString> gone_;                 // by key
    QHash<std::int64_t, Contact> here_;
    std::vector<std::int64_t> unsynced_; // contacts with no card yet
};

void Run::guard(const QString& book, qsizetype hereDeleted, qsizetype hereCount,
                qsizetype thereDeleted, qsizetype thereCount, bool bookEmptied) const {
    const auto tooMany = [](qsizetype deleted, qsizetype of) {
        return deleted > deletionsAsked && deleted * 2 > of;
    };
    QString what;
    if (bookEmptied && hereDeleted > 0)
        what = QStringLiteral("the address book %1 lists no card now (was it deleted and made "
                              "again?), so the sync would delete all %2 contacts it held from "
                              "this file")
                   .arg(book)
                   .arg(hereDeleted);
    else if (tooMany(hereDeleted, hereCount))
        what = QStringLiteral("the sync would delete %1 of the %2 contacts in this file, as the "
                              "server no longer has them")
                   .arg(hereDeleted)
                   .arg(hereCount);
    else if (tooMany(thereDeleted, thereCount))
        what = QStringLiteral("the sync would delete %1 of the %2 cards on the server, as they "
                              "were deleted here")
                   .arg(thereDeleted)
                   .arg(thereCount);
    if (!what.isEmpty() && !allowDeletions_)
        throw UserError(what + QStringLiteral("; nothing was changed. If that is right, run it "
                                              "again with --allow-deletions"),
                        UserError::Kind::NeedsUser);
}

void Run::run(const QString& book, const data::SyncState& state, bool forget) {
    sinceFlush_.start();
    // Reading both sides; nothing is written before all of it has gone well.
    const bool pending = readRows(book, forget);
    // An upload cut short shows in a full list only: a list of changes cannot tell a card that
    // never arrived.
    changes_ = dav_.changesSince(book, pending ? QString() : state.syncToken);
    readServer(book);
    readContacts();
    const Settling settling = planSettling(book);

    // A sync with nothing to do writes nothing at all.
    const data::SyncState& now = state;
    if (forget)
        store_.write([&] {
            for (const SyncedCard& r : store_.cards())
                store_.deleteCard(r.href);
            store_.saveState(now);
        });

    // Contacts synced before.
    for (const auto& [row, server] : settling) {
        const auto h = here_.find(row->number);
        settle(*row, server, h == here_.end() ? std::nullopt : std::optional<Contact>(*h));
    }
    const QSet<std::int64_t> matched = takeArriving();
    flush();
    uploadNew(book, matched);
    // The token last, with the writes it stands for; a card left for later keeps it back.
    if (counts.unresolved == 0 && changes_.token != now.syncToken)
        later({}, [this, token = changes_.token] {
            if (counts.skipped == 0)
                store_.saveSyncToken(token);
        });
    flush();
}

// The file's rows of this book; true when one is pending (an upload may have been cut short),
// which only a full listing can settle.
bool Run::readRows(const QString& book, bool forget) {
    rows_ = forget ? std::vector<SyncedCard>{} : store_.cards();
    // A row whose card lies outside the book was not written by a sync of it: the file was
    // changed by hand or by someone else. Its contact counts as never synced, so nothing is
    // asked of or deleted at that address and the contact is neither lost nor deleted here.
    // Its card may be in the book under another name, unchanged since the token: the full
    // listing finds it to pair with.
    const QString inBook = keyOf(book);
    const auto outside = std::erase_if(rows_, [&](const SyncedCard& r) {
        if (isInside(keyOf(r.href), inBook))
            return false;
        say_(QStringLiteral("the file's record of %1 names a card outside the address book; it "
                            "is taken as not yet synced")
                 .arg(quoted(r.agreed.name)));
        return true;
    });
    for (qsizetype i = 0; i < qsizetype(rows_.size()); ++i) {
        rowOf_.insert(keyOf(rows_[size_t(i)].href), i);
        synced_.insert(rows_[size_t(i)].number);
    }
    return outside > 0 ||
           std::any_of(rows_.begin(), rows_.end(), [](const auto& r) { return r.etag.isEmpty(); });
}

// The server's side of the listing: the cards changed or new (their data fetched where the
// listing left it out) and those gone.
void Run::readServer(const QString& book) {
    QStringList wanted; // as the server spells them
    for (const CardRef& c : changes_.changed) {
        const QString key = keyOf(c.href);
        if (listed_.contains(key))
            continue;
        listed_.insert(key);
        const auto at = rowOf_.find(key);
        if (at == rowOf_.end())
            arriving_ << c.href;
        else if (rows_[size_t(*at)].etag == c.etag)
            continue;
        if (c.data.isEmpty())
            wanted << c.href;
        else
            takeCard(c.href, c.etag, c.data);
    }
    if (changes_.complete) {
        for (const SyncedCard& r : rows_)
            if (!listed_.contains(keyOf(r.href)))
                gone_.insert(keyOf(r.href));
    } else {
        for (const QString& href : changes_.removed)
            if (rowOf_.contains(keyOf(href)))
                gone_.insert(keyOf(href));
    }
    QSet<QString> asked;
    for (const QString& href : wanted)
        asked.insert(keyOf(href));
    for (const Card& c : dav_.fetch(book, wanted))
        if (asked.remove(keyOf(c.href))) // neither a card not asked for nor one sent twice
            takeCard(c.href, c.etag, c.data);
    // Left out of the answer is not gone: only the server saying so is.
    for (const QString& href : wanted)
        if (asked.contains(keyOf(href))) {
            skipped_.insert(keyOf(href));
            const auto row = rowOf_.find(keyOf(href));
            skip(QStringLiteral("the server listed %1 but did not send it")
                     .arg(row == rowOf_.end() ? href : quoted(rows_[size_t(*row)].agreed.name)));
        }
}

void Run::takeCard(const QString& href, const QByteArray& etag, const QByteArray& data) {
    const QString key = keyOf(href);
    const auto row = rowOf_.find(key);
    try {
        fetched_.insert(key,
                        {ServerCard::Changed, etag, data, fieldsOf(data, row == rowOf_.end())});
    } catch (const UserError& e) {
        skipped_.insert(key);
        skip(QStringLiteral("the card %1 on the server is not a valid vCard: %2")
                 .arg(row == rowOf_.end() ? href
                                          : quoted(rows_[size_t(*row)].agreed.name) +
                                                QStringLiteral(" (%1)").arg(href),
                      e.message()));
    }
}

void Run::readContacts() {
    for (const data::StoredContact& c : store_.contacts()) {
        here_.insert(c.number, c.fields);
        if (!synced_.contains(c.number))
            unsynced_.push_back(c.number);
    }
}

// Each synced contact's server side, and the deletions they make, before any write.
Run::Settling Run::planSettling(const QString& book) {
    Settling settling;
    qsizetype hereDeleted = 0, thereDeleted = 0, thereCount = listed_.size();
    for (const SyncedCard& r : rows_) {
        const QString key = keyOf(r.href);
        if (skipped_.contains(key))
            continue;
        ServerCard server;
        if (const auto f = fetched_.find(key); f != fetched_.end())
            server = *f;
        else if (gone_.contains(key) || (r.etag.isEmpty() && !listed_.contains(key)))
            server.kind = ServerCard::Gone;
        const auto h = here_.find(r.number);
        if (server.kind == ServerCard::Gone && h != here_.end() && !r.etag.isEmpty() &&
            *h == r.agreed)
            ++hereDeleted;
        if (server.kind == ServerCard::Unchanged && h == here_.end())
            ++thereDeleted;
        if (!changes_.complete && !gone_.contains(key) && !listed_.contains(key) &&
            !r.etag.isEmpty())
            ++thereCount;
        settling.emplace_back(&r, server);
    }
    guard(book, hereDeleted, here_.size(), thereDeleted, thereCount,
          changes_.complete && listed_.isEmpty());
    return settling;
}

// Cards new on the server: one with the name and e-mail of a contact not yet synced becomes one
// with it; the others come here, each with its state row. Returns the contacts so matched.
QSet<std::int64_t> Run::takeArriving() {
    QMultiHash<QString, std::int64_t> byNameAndEmail;
    for (std::int64_t n : unsynced_)
        byNameAndEmail.insert(here_[n].name + QChar(0) + here_[n].email, n);
    QSet<std::int64_t> matched;
    for (const QString& href : arriving_) {
        const auto f = fetched_.find(keyOf(href));
        if (f == fetched_.end())
            continue;
        const QString key = f->fields.name + QChar(0) + f->fields.email;
        if (const auto m = byNameAndEmail.find(key); m != byNameAndEmail.end()) {
            const std::int64_t number = *m;
            byNameAndEmail.erase(m);
            matched.insert(number);
            // Nothing agreed yet: where both hold a text and they differ, the server's wins.
            settle({href, number, {}, {}, {}}, *f, here_[number]);
            continue;
        }
        const QString name = quoted(f->fields.name);
        later(
            name,
            [this, href, c = *f] {
                store_.saveCard({href, store_.addContact(c.fields), c.etag, c.fields, c.data});
            },
            [this, name] {
                ++counts.addedHere;
                say_(QStringLiteral("here: added %1").arg(name));
            });
    }
    return matched;
}

// Contacts new here: each gets a UID and an href, written down before any upload, so that a run
// after a kill looks for the card instead of making another.
void Run::uploadNew(const QString& book, const QSet<std::int64_t>& matched) {
    std::vector<SyncedCard> uploads;
    for (std::int64_t n : unsynced_) {
        if (matched.contains(n))
            continue;
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QByteArray card = exchange::newCard(here_[n], uid);
        uploads.push_back({book + uid + QLatin1String(".vcf"), n, {}, fieldsOf(card, false), card});
    }
    if (!uploads.empty())
        store_.write([&] {
            for (const SyncedCard& row : uploads)
                store_.saveCard(row);
        });
    for (SyncedCard& row : uploads) {
        if (upload(row, row.card, {}, here_[row.number])) {
            ++counts.addedThere;
            say_(QStringLiteral("server: added %1").arg(quoted(here_[row.number].name)));
        } else {
            settle(row, fetchOne(row.href), here_[row.number]);
        }
    }
}

int defaultPort(const QUrl& url) {
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

SyncEngine::SyncEngine(data::SyncStore& store, SyncSettings settings, Say say)
    : store_(store), settings_(std::move(settings)), say_(std::move(say)) {}

SyncCounts SyncEngine::run() {
    if (settings_.url.isEmpty() || settings_.user.isEmpty())
        throw UserError(QStringLiteral("no account to sync with: give --url and --user"),
                        UserError::Kind::NeedsUser);
    const QUrl url(settings_.url);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        throw UserError(QStringLiteral("%1 is not an http:// or https:// address")
                            .arg(url.toDisplayString(QUrl::RemoveUserInfo)),
                        UserError::Kind::NeedsUser);

    HttpClient http(settings_.user, settings_.password, settings_.caFile);
    http.beforeRequest = beforeRequest;
    http.warn = warn ? warn : say_;
    CardDavClient dav(http, url);

    QString book = settings_.book;
    if (book.isEmpty()) {
        const std::vector<AddressBook> books = dav.findAddressBooks();
        QStringList names;
        for (const AddressBook& b : books) {
            names << QStringLiteral("  %1 (%2)").arg(b.name, b.path);
            if (!settings_.addressBook.isEmpty() &&
                (b.name == settings_.addressBook || b.path == withSlash(settings_.addressBook)))
                book = b.path;
        }
        if (book.isEmpty() && settings_.addressBook.isEmpty() && books.size() == 1)
            book = books.front().path;
        if (book.isEmpty() && books.empty())
            throw UserError(QStringLiteral("%1 has no address book for %2")
                                .arg(url.toDisplayString(QUrl::RemoveUserInfo), settings_.user),
                            UserError::Kind::NeedsUser);
        if (book.isEmpty())
            throw UserError(
                (settings_.addressBook.isEmpty()
                     ? QStringLiteral("the server has several address books; pick one with "
                                      "--addressbook NAME:\n")
                     : QStringLiteral("there is no address book %1; the server has:\n")
                           .arg(quoted(settings_.addressBook))) +
                    names.join(QLatin1Char('\n')),
                UserError::Kind::NeedsUser);
    }
    dav.chooseBook(book);
    if (bookChosen)
        bookChosen(book);
    // The state is trusted only when it was made with this account and book: the owner's
    // fingerprint covers the server, the user, the book and the remembered account's own key.
    const QString owner = QString::fromLatin1(
        QCryptographicHash::hash(QStringList{url.scheme(), url.host().toLower(),
                                             QString::number(url.port(defaultPort(url))),
                                             settings_.user, book, settings_.accountKey}
                                     .join(QChar(0))
                                     .toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex());
    const auto stored = store_.state();
    const bool forget = !stored || stored->account != owner;
    if (forget && !store_.cards().empty())
        say_(QStringLiteral("the sync state in this file is not this account's: its contacts "
                            "and the address book's cards are matched afresh, by name and "
                            "e-mail; nothing is deleted"));
    Run run(store_, dav, say_, settings_.allowDeletions);
    run.run(book, {owner, forget ? QString() : stored->syncToken}, forget);
    return run.counts;
}

} // namespace quillbox::sync
