#pragma once
// Recording stand-ins for the desktop interfaces, shared by the test suites.
#include "monitor/alertsink.h"
#include "platform/messagebox.h"
#include "platform/notifier.h"
#include "platform/sound.h"
#include "platform/tray.h"
#include "store/pleasewait.h"

#include <QList>
#include <QStringList>

namespace qos::test {

class FakeMessageBoxes : public MessageBoxes {
public:
    QStringList shown; // texts of OK boxes, in order
    QList<Icon> icons;
    QStringList asked;         // texts of Yes/No boxes
    bool answer = true;        // what the "operator" answers to ask()
    bool confirmAtOnce = true; // false: OK boxes stay open until confirmAll()
    QList<std::function<void()>> open;

    void show(const QString &text, Icon icon, std::function<void()> done) override
    {
        shown << text;
        icons << icon;
        if (confirmAtOnce) {
            if (done)
                done();
        } else {
            open << std::move(done);
        }
    }
    void ask(const QString &text, std::function<void(bool)> done) override
    {
        asked << text;
        done(answer);
    }
    void confirmAll()
    {
        const auto pending = std::exchange(open, {});
        for (const auto &done : pending)
            if (done)
                done();
    }
};

class FakeTray : public Tray {
public:
    bool isAvailable = true;
    bool present = false;
    QIcon icon;
    QString tooltip;
    int adds = 0;
    int removes = 0;

    bool available() const override { return isAvailable; }
    void add(const QIcon &i, const QString &tip) override
    {
        present = true;
        icon = i;
        tooltip = tip;
        ++adds;
    }
    void remove() override
    {
        present = false;
        ++removes;
    }
    void setToolTip(const QString &tip) override { tooltip = tip; }
    TrayMenu menu;
    void setMenu(const TrayMenu &m) override { menu = m; }
    void choose(TrayCommand command) { Q_EMIT commandChosen(command); }
    QList<QPoint> popups; // where the menu was opened from the keyboard
    void popupMenu(const QPoint &at) override
    {
        Q_EMIT menuOpening();
        popups << at;
    }
    // The tooltip's first line, the one the attention switch changes.
    QString firstTipLine() const { return tooltip.section(QLatin1Char('\n'), 0, 0); }
    struct Message {
        QString title, text;
        bool urgent;
    };
    QList<Message> messages; // balloon messages shown
    bool showMessage(const QString &title, const QString &text, bool urgent) override
    {
        if (!present || !isAvailable)
            return false;
        messages << Message{title, text, urgent};
        return true;
    }
    void click() { Q_EMIT activated(); }
};

class FakeNotifier : public Notifier {
public:
    QList<Notice> notices;     // in order
    QList<NoticeId> replaced;  // per notice: the one it replaced
    QList<NoticeId> withdrawn; // in order
    NoticeId notify(const Notice &notice, NoticeId replaces) override
    {
        notices << notice;
        replaced << replaces;
        return NoticeId(notices.size());
    }
    void withdraw(NoticeId id) override { withdrawn << id; }
    void click() { Q_EMIT clicked(); }
};

class FakeSound : public Sound {
public:
    QStringList played;  // files asked for
    QStringList missing; // files that "cannot be played"
    int beeps = 0;

    int stops = 0;

    bool play(const QString &path) override
    {
        played << path;
        return !missing.contains(path);
    }
    void beep() override { ++beeps; }
    void stop() override { ++stops; }
};

class FakePleaseWait : public PleaseWait {
public:
    int begins = 0;
    int ends = 0;
    bool showing() const { return begins > ends; }
    void begin() override { ++begins; }
    void end() override { ++ends; }
};

class FakeAlerts : public AlertSink {
public:
    // "ShowAttention", "ClearAttention", "PlayAlertSound", "PlayOnlineSound", "Offline " / "Online " /
    // "Slow " / "NotSlow " + site, "Behind " + the cause's site
    QStringList calls;
    void ShowAttention() override { calls << QStringLiteral("ShowAttention"); }
    void ClearAttention() override { calls << QStringLiteral("ClearAttention"); }
    void PlayAlertSound() override { calls << QStringLiteral("PlayAlertSound"); }
    void PlayOnlineSound() override { calls << QStringLiteral("PlayOnlineSound"); }
    void LocationTurned(const LocationRecord &rec, Turn turn, const QString &) override
    {
        static const char *const words[] = {"", "Offline ", "Online ", "Slow ", "NotSlow "};
        calls << QLatin1String(words[int(turn)]) + rec.site;
    }
    void LocationBehindUnreachable(const LocationRecord &cause) override
    {
        calls << QStringLiteral("Behind ") + cause.site;
    }
    int count(const char *name) const { return int(calls.count(QLatin1String(name))); }
};

} // namespace qos::test
