#pragma once
// Failures inside an operation travel as an exception that carries only the
// text the user will read; each command catches it and shows it its own way.
#include <stdexcept>
#include <string>

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& text) : std::runtime_error(text) {}
    const char* Text() const noexcept { return what(); }
};
