#pragma once
#include "store/pleasewait.h"

#include <QString>
#include <memory>

class QWidget;

namespace qos {

// The small "Please wait while configuration is updated...." window. begin() shows it and paints it
// at once (the rewrite that follows runs without returning to the event loop); end() hides it.
// Nested begin()/end() pairs keep it up until the outermost end().
class QtPleaseWait : public PleaseWait {
public:
    static QString text() { return QStringLiteral("Please wait while configuration is updated...."); }

    QtPleaseWait();
    ~QtPleaseWait() override;
    void begin() override;
    void end() override;
    QWidget *window() const { return m_window.get(); }

private:
    std::unique_ptr<QWidget> m_window;
    int m_depth = 0;
};

} // namespace qos
