#pragma once
// quarnel.run in the data folder, held by every backup and restore for as long as it runs:
// another run of the program, or the window, can so tell that one is under way, whose
// temporary files must not be taken for what an interrupted run left.
#include <functional>
#include <memory>

#include "platform/Files.h"

namespace quarnel::app {

class RunMark {
 public:
  // Takes the mark. When no other run holds it, `whileAlone` runs first, with the mark held
  // so that no run starting meanwhile gets it either.
  explicit RunMark(const std::function<void()>& whileAlone);
  // Lets the mark go; its file goes with the last run that held it.
  ~RunMark();
  RunMark(const RunMark&) = delete;
  RunMark& operator=(const RunMark&) = delete;

 private:
  std::unique_ptr<platform::HeldFile> held_;
};

// Whether a run of the program (this process's own included) holds the mark now.
bool RunUnderWay();

}  // namespace quarnel::app
