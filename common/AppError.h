#pragma once
#include <stdexcept>
#include <string>

// An error of the platform layers that escapes an event handler and is shown by the
// window's general error box (a short status page, a refused file or registry write).
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};
