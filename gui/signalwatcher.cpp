#include "gui/signalwatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

namespace vyn {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe between the handler and the watcher; -1 while no watcher exists.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignals.size()];

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request; dropping this one loses nothing.
    (void)!write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

CSignalWatcher::CSignalWatcher(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSignalWatcher::OnReadable);
}

CSignalWatcher::~CSignalWatcher() {
    if (!m_notifier) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CSignalWatcher::OnReadable() {
    unsigned char byte = 0;
    int last = 0;
    while (read(g_pipe[0], &byte, 1) == 1) last = byte;
    if (last != 0) emit terminationRequested(last);
}

}  // namespace vyn
