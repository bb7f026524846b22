// CSignalWatcher: SIGTERM, SIGINT and SIGHUP as a Qt signal on the user-interface
// thread.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace vyn {

// While it exists, the three signals no longer end the process: their handler writes
// the signal number into a pipe, and the watcher emits terminationRequested on the
// thread it lives on, where the program can close as the user would. At most one
// watcher exists at a time; the destructor restores the handlers it replaced.
class CSignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit CSignalWatcher(QObject* parent = nullptr);
    ~CSignalWatcher() override;
    CSignalWatcher(const CSignalWatcher&) = delete;
    CSignalWatcher& operator=(const CSignalWatcher&) = delete;

    // False when the pipe or a handler could not be set up; the signals then keep
    // their earlier handling.
    bool IsWatching() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace vyn
