// How the C++ runtime's containers and strings raise their errors (index out of range,
// length over the maximum, no memory).
//
// The runtime's own versions build std::logic_error and its kin, whose messages are kept in
// the runtime's old reference-counted string: that alone brings a second complete string
// implementation and a random-number device into the exe (about 55 KB). These throw the same
// kinds of error as std::exception objects with the same message (the out-of-range text keeps
// its format directives unfilled), which the window's general error box shows all the same.
// Every function of the runtime's set is defined here, so the runtime's own never links.
#include <bits/functexcept.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* message) : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;  // always a literal of the runtime
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* message) { throw LibraryError(message); }
void __throw_domain_error(const char* message) { throw LibraryError(message); }
void __throw_invalid_argument(const char* message) { throw LibraryError(message); }
void __throw_length_error(const char* message) { throw LibraryError(message); }
void __throw_out_of_range(const char* message) { throw LibraryError(message); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void __throw_runtime_error(const char* message) { throw LibraryError(message); }
void __throw_range_error(const char* message) { throw LibraryError(message); }
void __throw_overflow_error(const char* message) { throw LibraryError(message); }
void __throw_underflow_error(const char* message) { throw LibraryError(message); }

}  // namespace std
