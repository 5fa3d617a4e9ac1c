// SIGTERM, SIGHUP and SIGINT end the desktop program through its normal path
// (window closed, event log saved) instead of killing it: /sbin/halt signals
// every process before it returns.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include "unique_fd.h"

namespace qor::gui {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Only one instance may exist at a time: the signal
    // handler reaches it through the process-wide write end of its pipe.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool installed() const { return notifier_ != nullptr; }

signals:
    void terminationRequested(int signo);

private slots:
    void readPipe();

private:
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qor::gui
