#pragma once
// Splitting a request target into path and query, and reading form-style query values.
#include <map>
#include <string>

struct TargetParts {
    std::string path;
    std::string query;  // after the first '?', without it
};

TargetParts SplitTarget(const std::string& target);

// %XX becomes the byte, '+' a space; a '%' not followed by two hex digits stays as it is.
std::string PercentDecode(const std::string& text);

// name=value pairs separated by '&'; names and values percent-decoded; the last one wins.
std::map<std::string, std::string> ParseQuery(const std::string& query);
