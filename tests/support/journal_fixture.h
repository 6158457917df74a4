#pragma once

// A small music folder for journal tests, and plans for it written the way
// the tag writers plan theirs: read the file, decide the new bytes of a
// region, keep in place what fits.

#include <dirent.h>
#include <sys/stat.h>

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <optional>

#include "store/journal.h"
#include "support/fixtures.h"

namespace journaltest {

inline QByteArray Pattern(char base, qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i) b[i] = char(base + (i * 5) % 19);
    return b;
}

inline struct stat StatOf(const QString& path) {
    struct stat st {};
    ::lstat(path.toUtf8().constData(), &st);
    return st;
}

// Region [offset, offset + oldLength) of the file becomes `newBytes`: in
// place when the length is kept or the region ends the file, else beside.
inline PlannedItem PlanRegion(const QString& path, qint64 offset, qint64 oldLength,
                              const QByteArray& newBytes) {
    const QByteArray now = ReadBytes(path);
    FileChange c;
    c.path = path;
    c.before = IdentityOf(StatOf(path));
    const bool fits = oldLength == newBytes.size() || offset + oldLength == now.size();
    c.method = fits ? WriteMethod::InPlace : WriteMethod::Beside;
    c.splices = DiffSplices(offset, now.mid(offset, oldLength), newBytes);
    PlannedItem p;
    p.path = path;
    if (!c.splices.isEmpty())
        p.change = c;
    return p;
}

// Every entry of a folder and its sub-folders: relative path -> bytes
// (folders as "<dir>").
inline std::map<QString, QByteArray> Snapshot(const QString& folder, const QString& prefix = {}) {
    std::map<QString, QByteArray> out;
    DIR* dir = ::opendir(folder.toUtf8().constData());
    if (!dir)
        return out;
    while (const dirent* e = ::readdir(dir)) {
        const QString name = QString::fromUtf8(e->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString full = folder + QLatin1Char('/') + name;
        const QString rel = prefix + name;
        if (S_ISDIR(StatOf(full).st_mode)) {
            out[rel] = "<dir>";
            for (auto& [k, v] : Snapshot(full, rel + QLatin1Char('/'))) out[k] = v;
        } else {
            out[rel] = ReadBytes(full);
        }
    }
    ::closedir(dir);
    return out;
}

inline QString Describe(const std::map<QString, QByteArray>& snapshot) {
    QString out;
    for (const auto& [k, v] : snapshot) out += k + QStringLiteral(" (%1 bytes)\n").arg(v.size());
    return out;
}

// A batch over a music folder: the items' plans, and what the folder holds
// before and after the batch.
struct Scenario {
    QString music;
    std::function<void()> create;          // makes the old folder
    std::function<PlannedItem(int)> plan;  // item i of the batch
    int count = 0;
    BatchKind kind = BatchKind::ID3v2;
    // The entries (relative paths) item i changes.
    std::function<QStringList(int)> keys;
    std::map<QString, QByteArray> before;  // filled by prepare()
    std::map<QString, QByteArray> after;   // what a clean run leaves

    void prepare(const QString& journalFolder) {
        QDir(music).removeRecursively();
        QDir(journalFolder).removeRecursively();
        QDir().mkpath(music);
        create();
        before = Snapshot(music);
    }
};

// Seven songs, one batch: four tags in place, one that grows (beside), an
// ID3v1 tag appended and one overwritten.
inline Scenario TagScenario(const QString& music) {
    Scenario s;
    s.music = music;
    s.count = 7;
    s.create = [music] {
        for (int i = 0; i < 7; ++i) {
            QByteArray bytes = Pattern(char('a' + i), 2048) + Pattern('A', 30000 + i * 1000);
            if (i == 6)
                bytes += "TAG" + Pattern('t', 125);
            WriteBytes(music + QStringLiteral("/s%1.mp3").arg(i), bytes);
        }
    };
    s.keys = [](int i) { return QStringList{QStringLiteral("s%1.mp3").arg(i)}; };
    s.plan = [music](int i) {
        const QString path = music + QStringLiteral("/s%1.mp3").arg(i);
        const qint64 size = StatOf(path).st_size;
        if (i < 4)  // 2 KiB regions: four 512-byte pieces each
            return PlanRegion(path, 0, 2048, Pattern(char('n' + i), 2048));
        if (i == 4)
            return PlanRegion(path, 0, 2048, Pattern('g', 5000));
        if (i == 5)
            return PlanRegion(path, size, 0, "TAG" + Pattern('v', 125));
        return PlanRegion(path, size - 128, 128, "TAG" + Pattern('w', 125));
    };
    return s;
}

// Four songs renamed: two into a new sub-folder, one in place, one onto a
// name that is taken.
inline Scenario RenameScenario(const QString& music) {
    Scenario s;
    s.music = music;
    s.count = 4;
    s.kind = BatchKind::Rename;
    s.create = [music] {
        for (int i = 0; i < 4; ++i)
            WriteBytes(music + QStringLiteral("/r%1.mp3").arg(i), Pattern(char('a' + i), 100));
        WriteBytes(music + QStringLiteral("/taken.mp3"), "someone else's");
    };
    s.keys = [](int i) {
        if (i < 2)
            return QStringList{QStringLiteral("r%1.mp3").arg(i),
                               QStringLiteral("Band/r%1 new.mp3").arg(i)};
        if (i == 2)
            return QStringList{QStringLiteral("r2.mp3"), QStringLiteral("r2 new.mp3")};
        return QStringList{QStringLiteral("r3.mp3")};
    };
    s.plan = [music](int i) {
        const QString from = music + QStringLiteral("/r%1.mp3").arg(i);
        const struct stat st = StatOf(from);
        RenameChange r;
        r.from = from;
        r.device = st.st_dev;
        r.inode = st.st_ino;
        if (i < 2) {
            r.to = music + QStringLiteral("/Band/r%1 new.mp3").arg(i);
            r.createdFolder = music + QStringLiteral("/Band");
        } else if (i == 2) {
            r.to = music + QStringLiteral("/r2 new.mp3");
        } else {
            r.to = music + QStringLiteral("/taken.mp3");
        }
        PlannedItem p;
        p.change = r;
        return p;
    };
    return s;
}

enum class ItemIs { Old, New, Neither };

// Item i of the scenario in the folder `now`: as before the batch, as after
// it, or neither. An item the batch leaves as it was counts as Old.
inline ItemIs StateOfItem(const Scenario& s, const std::map<QString, QByteArray>& now, int i) {
    const auto get = [](const std::map<QString, QByteArray>& m, const QString& k) {
        const auto it = m.find(k);
        return it == m.end() ? std::optional<QByteArray>() : std::optional(it->second);
    };
    bool asBefore = true, asAfter = true;
    for (const QString& k : s.keys(i)) {
        asBefore = asBefore && get(now, k) == get(s.before, k);
        asAfter = asAfter && get(now, k) == get(s.after, k);
    }
    return asBefore ? ItemIs::Old : asAfter ? ItemIs::New : ItemIs::Neither;
}

// Whether `now` is the scenario's folder with each item either as before or
// as after the batch (nothing half-done, nothing extra); counts the items
// found as after in `changed`. A folder that only the batch makes must be
// there exactly when an item inside it is.
inline bool ConsistentMix(const Scenario& s, const std::map<QString, QByteArray>& now, int* changed,
                          QString* why) {
    *changed = 0;
    QSet<QString> itemKeys;
    QList<bool> isNew;
    for (int i = 0; i < s.count; ++i) {
        for (const QString& k : s.keys(i)) itemKeys.insert(k);
        const ItemIs state = StateOfItem(s, now, i);
        if (state == ItemIs::Neither) {
            *why = QStringLiteral("item %1 is neither old nor new").arg(i);
            return false;
        }
        isNew.append(state == ItemIs::New);
        *changed += isNew.back() ? 1 : 0;
    }
    QSet<QString> all;
    for (const auto& [k, v] : now) all.insert(k);
    for (const auto& [k, v] : s.before) all.insert(k);
    for (const auto& [k, v] : s.after) all.insert(k);
    for (const QString& k : all) {
        if (itemKeys.contains(k))
            continue;
        const bool inNow = now.count(k), inBefore = s.before.count(k), inAfter = s.after.count(k);
        if (inBefore && inAfter && s.before.at(k) == s.after.at(k)) {
            if (!inNow || now.at(k) != s.before.at(k)) {
                *why = k + QStringLiteral(" changed");
                return false;
            }
            continue;
        }
        // A folder of the batch's own: there when an item has moved into it.
        bool needed = false;
        for (int i = 0; i < s.count; ++i)
            for (const QString& key : s.keys(i))
                needed = needed || (isNew[i] && key.startsWith(k + QLatin1Char('/')));
        if (inNow != needed) {
            *why = k + (inNow ? QStringLiteral(" is extra") : QStringLiteral(" is missing"));
            return false;
        }
    }
    return true;
}

}  // namespace journaltest
