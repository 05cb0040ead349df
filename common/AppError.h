#pragma once
#include <exception>
#include <string>
#include <utility>

// An error of the platform layers that escapes an event handler and is shown by the
// window's general error box (a short status page, a refused file or registry write).
// A plain std::exception with its own message: std::runtime_error would bring the runtime's
// second, reference-counted string implementation into the release exe.
class AppError : public std::exception {
public:
    explicit AppError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};
