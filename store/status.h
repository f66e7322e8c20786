#pragma once
// Outcome of an operation that can fail.
//
// Invariants:
//  - ok() exactly when kind is Kind::Ok; every failure carries a non-empty text for the operator.
#include <QString>

namespace qos {

struct Status {
    enum class Kind {
        Ok,
        IoFailure, // the file system failed (missing, locked, full disk); nothing was changed
        NotFound,  // what the operation is aimed at is not in the file; nothing was changed
        Refused,   // the values or the file cannot be written as they are; nothing was changed
    };

    Kind kind = Kind::Ok;
    QString error;

    bool ok() const { return kind == Kind::Ok; }
    explicit operator bool() const { return ok(); }

    static Status success() { return {}; }
    static Status failure(Kind kind, const QString &text)
    {
        return {kind == Kind::Ok ? Kind::IoFailure : kind,
                text.isEmpty() ? QStringLiteral("Unknown error") : text};
    }
    // The operation could not be carried out (the file system or another dependency failed).
    static Status failure(const QString &text) { return failure(Kind::IoFailure, text); }
    static Status notFound(const QString &text) { return failure(Kind::NotFound, text); }
    static Status refused(const QString &text) { return failure(Kind::Refused, text); }
};

} // namespace qos
