#pragma once
// One program per data folder. The first program started on a folder holds a lock file in it and
// listens on a local socket named after the folder; a later start on the same folder asks that one
// to show its Map View and ends, so that two programs never rewrite the same graph.txt.
//
// Invariants:
//  - The lock is held from a successful claim() until this object is destroyed. A lock left by a
//    process that no longer runs on this machine is taken over; the lock of a running one is
//    honoured however long it has been held.
//  - The owner never blocks: requests are read as they arrive, and every connection is answered or
//    dropped within kRequestWaitMs, reading at most kMaxRequest bytes.
//  - Only the asking side waits, before it has any window, and never beyond its bound.
#include <QLockFile>
#include <QObject>
#include <QString>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace qos {

class MessageBoxes;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Owner,      // this process holds the folder: run the program
        Unguarded,  // no lock file can be made here (a read-only folder): run the program all the same
        HandedOver, // the running program has shown its Map View: end with 0
        NoAnswer,   // a program holds the folder but does not answer: say so and end
    };

    static constexpr char kLockFileName[] = "qor-online-status.lock";
    static constexpr int kAnswerWaitMs = 5000;  // the asking side's bound
    static constexpr int kRequestWaitMs = 3000; // the owner's bound for a request to arrive
    static constexpr int kMaxRequest = 64;

    explicit SingleInstance(QString folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the folder's lock and starts listening; or, when a running program holds the lock, asks it
    // to show its Map View, waiting at most waitMs for the answer.
    Claim claim(int waitMs = kAnswerWaitMs);
    // For a program with no window to show: takes the lock, without listening and without asking a
    // running holder anything. Owner, Unguarded, or NoAnswer while another program holds the folder.
    Claim claimQuietly();

    // The local socket's path: one per canonical folder path, in the user's runtime folder.
    static QString ServerName(const QString &folder);
    // The text of the box shown when the running program does not answer.
    QString noAnswerText() const;
    // One line for a quiet claim that found the folder held.
    QString heldText() const;
    bool listening() const;

Q_SIGNALS:
    // Another start on this folder asks for the Map View (as a click on the tray icon does).
    void showRequested();

private:
    enum class Asked { Shown, NoServer, Silent };

    Asked ask(int waitMs);
    QString holder() const;
    void listen();
    void acceptPending();
    void readRequest(QLocalSocket *socket);

    QString m_folder;
    QString m_name;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};

// For main(): claims the folder of single. Nothing when this process should go on and run the program;
// otherwise the exit code, after the box that says why when there is one (the event loop runs until the
// operator has confirmed it; no window of the program exists then).
std::optional<int> ClaimFolder(SingleInstance &single, MessageBoxes &messages);

} // namespace qos
