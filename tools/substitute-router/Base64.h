#pragma once
#include <optional>
#include <string>

// Standard base64 (RFC 4648, with padding optional). Nothing for text that is not base64,
// so a garbled Authorization header is a refusal rather than a lucky match.
std::optional<std::string> DecodeBase64(const std::string& text);
