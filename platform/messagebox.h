#pragma once
#include <QString>
#include <functional>

namespace qos {

// Modal message boxes without a title of their own (the window system shows the program's title).
// Calls return at once; the answer arrives through the callback from the event loop, so no caller
// ever runs a nested event loop. Tests answer through a fake.
class MessageBoxes {
public:
    enum class Icon { None, Information, Exclamation, Critical };
    virtual ~MessageBoxes() = default;
    // OK box. done (optional) runs once the operator has confirmed it.
    virtual void show(const QString &text, Icon icon = Icon::None, std::function<void()> done = {}) = 0;
    // Yes/No box. done receives true for Yes.
    virtual void ask(const QString &text, std::function<void(bool yes)> done) = 0;
};

} // namespace qos
