#pragma once
// Error families that end a handler and reach the operator as a message box.
#include <stdexcept>
#include <string>

namespace tq {

// A text that should have been a number: the message names the text.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An entry the tool will not put on the line (a value its field cannot
// carry, a missing selection, a malformed hex entry): the message says what
// and why. Nothing has been sent when it is raised.
class InputRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tq
