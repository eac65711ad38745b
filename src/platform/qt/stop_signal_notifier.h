// SPDX-License-Identifier: MIT
// Quitting on SIGINT, SIGTERM and SIGHUP (see platform/posix/stop_signals.h)
// from the event loop: a running playback stops first, so that no key stays
// down and no keycode stays remapped, then the program ends as the signal
// would have ended it.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavrino {

class Form1;

class StopSignalNotifier final : public QObject {
 public:
  // Installs the signal handlers; `form` outlives this object.
  explicit StopSignalNotifier(Form1& form, QObject* parent = nullptr);

 private:
  Form1& form_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavrino
