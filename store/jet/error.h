// Every failure inside the engine is one of these, with a message that names the file,
// the place and what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace jet
