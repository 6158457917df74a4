#pragma once

#include <QString>
#include <exception>
#include <string>

// A file-system failure, reported by every store routine that touches a file.
// Malformed tag content is never an error; only the file system is.
class StoreError : public std::exception {
  public:
    StoreError(QString path, QString operation, QString reason);

    // Builds the error from errno as it stands after a failed system call.
    static StoreError fromErrno(const QString& path, const QString& operation, int err);

    const QString& path() const { return path_; }
    const QString& operation() const { return operation_; }
    const QString& reason() const { return reason_; }

    // "operation path: reason", for logs and the command line; the path in
    // its display form (DisplayFileName). path() keeps the exact one.
    QString message() const;
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    QString path_;
    QString operation_;
    QString reason_;
    std::string what_;
};
