#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

// The parts one after another, made in one string: a chain of '+' makes a temporary string,
// and code to free it, at every step.
std::string Concat(std::initializer_list<std::string_view> parts);
