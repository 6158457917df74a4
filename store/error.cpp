#include "store/error.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "store/filefacts.h"

namespace {

// The store's own words: plain English, for programs that install none.
class PlainWording : public StoreWording {
  public:
    QString operation(StoreOp op) const override {
        static const char* const names[] = {
            "open",
            "read",
            "write",
            "list",
            "lock",
            "replace",
            "rename",
            "remove",
            "create folder",
            "create a temporary file in",
            "keep the modification time of",
            "build an ID3v2 tag",
            "rewrite the ID3v2 tag of",
            "save settings to",
            "write the journal",
            "read the journal",
            "undo",
        };
        const auto i = size_t(op);
        return i < std::size(names) ? QString::fromLatin1(names[i]) : QString();
    }
    QString reason(StoreProblem problem, qint64 number, const QString& detail) const override {
        if (problem == StoreProblem::System)
            return QString::fromLocal8Bit(std::strerror(int(number)));
        if (problem == StoreProblem::Text)
            return detail;
        QString text = QStringLiteral("problem %1").arg(int(problem));
        if (number != 0)
            text += QStringLiteral(" (%1)").arg(number);
        if (!detail.isEmpty())
            text += QStringLiteral(": ") + detail;
        return text;
    }
    QString message(const QString& operation, const QString& path,
                    const QString& reason) const override {
        if (path.isEmpty())
            return QStringLiteral("cannot %1: %2").arg(operation, reason);
        return QStringLiteral("cannot %1 \"%2\": %3").arg(operation, path, reason);
    }
};

const PlainWording kPlain;
std::atomic<const StoreWording*> installed{nullptr};

}  // namespace

void SetStoreWording(const StoreWording* wording) {
    installed.store(wording);
}

const StoreWording& CurrentStoreWording() {
    const StoreWording* wording = installed.load();
    return wording ? *wording : kPlain;
}

QString StoreReasonText(StoreProblem problem, qint64 number, const QString& detail) {
    return CurrentStoreWording().reason(problem, number, detail);
}

StoreError::StoreError(QString path, StoreOp op, StoreProblem problem, qint64 number,
                       QString detail)
    : path_(std::move(path)),
      op_(op),
      problem_(problem),
      number_(number),
      detail_(std::move(detail)) {
    what_ = kPlain
                .message(kPlain.operation(op_), DisplayFileName(path_),
                         kPlain.reason(problem_, number_, detail_))
                .toStdString();
}

StoreError StoreError::fromErrno(const QString& path, StoreOp op, int err) {
    return StoreError(path, op, StoreProblem::System, err);
}

StoreError StoreError::withPath(const QString& path) const {
    return StoreError(path, op_, problem_, number_, detail_);
}

QString StoreError::operation() const {
    return CurrentStoreWording().operation(op_);
}

QString StoreError::reason() const {
    return CurrentStoreWording().reason(problem_, number_, detail_);
}

QString StoreError::message() const {
    return CurrentStoreWording().message(
        operation(), path_.isEmpty() ? QString() : DisplayFileName(path_), reason());
}
