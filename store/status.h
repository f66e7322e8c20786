#pragma once
#include <QString>

namespace qos {

// Outcome of an operation that can fail: empty error text means success.
struct Status {
    QString error;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    static Status success() { return {}; }
    static Status failure(const QString &text)
    {
        return {text.isEmpty() ? QStringLiteral("Unknown error") : text};
    }
};

} // namespace qos
