// Long work of the main thread done in slices. Each slice runs steps until its
// time is up; then the event loop has its turn (input, painting, a close, F5,
// what the connection posted) before the next slice. Building the tabs of a
// catalogue with a hundred thousand objects takes seconds; in slices, a close
// or F5 that comes meanwhile takes effect at once and cancels the rest.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>

namespace vertamo::ui {

class TSlicedWork {
 public:
  // One unit of the work; false once nothing is left.
  using Step = std::function<bool()>;

  // The timer that starts each further slice is a child of `owner`.
  explicit TSlicedWork(QObject* owner, int sliceMs = 40);
  TSlicedWork(const TSlicedWork&) = delete;
  TSlicedWork& operator=(const TSlicedWork&) = delete;

  // Cancels earlier work, then runs a first slice at once; what is left goes
  // on in later slices, and `done` runs after the last step. True when the
  // whole work (and `done`) ended within this first slice.
  bool Start(Step step, std::function<void()> done);
  // Drops what is left; `done` does not run.
  void Cancel();
  bool Running() const { return step_ != nullptr; }

 private:
  void RunSlice();

  QTimer* timer_;
  int sliceMs_;
  std::shared_ptr<Step> step_;  // shared: a step may cancel the work that runs it
  std::function<void()> done_;
};

}  // namespace vertamo::ui
