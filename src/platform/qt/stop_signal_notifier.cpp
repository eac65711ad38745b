// SPDX-License-Identifier: MIT
#include "platform/qt/stop_signal_notifier.h"

#include <unistd.h>
#include <QSocketNotifier>

#include "platform/posix/stop_signals.h"
#include "window/form1.h"

namespace tavrino {

StopSignalNotifier::StopSignalNotifier(Form1& form, QObject* parent)
    : QObject(parent), form_(form) {
  const int fd = catch_stop_signals();
  if (fd < 0) return;
  notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this, fd] {
    char bytes[16];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    form_.quit();
    exit_for_signal(stop_signal_pending());
  });
}

}  // namespace tavrino
