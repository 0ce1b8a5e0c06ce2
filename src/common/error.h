// Error: the one exception type through which the library's steps report a
// failure.  It carries the German (or component) text that the default error
// display shows to the user unchanged.
#ifndef ZER1_COMMON_ERROR_H
#define ZER1_COMMON_ERROR_H

#include <stdexcept>
#include <string>

namespace zer1 {

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zer1

#endif  // ZER1_COMMON_ERROR_H
