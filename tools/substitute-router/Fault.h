#pragma once
// Misbehaviours the router can be told to show on port 80, to see how the program copes
// with a slow, silent, broken or odd router.
#include <optional>
#include <string>

enum class FaultKind {
    None,
    Delay,    // wait arg ms before answering
    Silent,   // read the request, never answer, keep the socket open
    Reset,    // read the request, then close with RST
    Short,    // announce the whole body, send half of it, close
    Big,      // an authorised page's body becomes exactly arg bytes of filler
    Nul,      // the body's byte at position arg becomes NUL
    Slow,     // body in pieces of arg bytes, 20 ms apart
    Chunked,  // body in several chunks of chunked transfer coding
    // The whole answer, status line and headers included, one byte at a time, each after a
    // pause of arg ms: a router whose status never seems to come.
    Trickle,
    TrickleBody,  // the head at once, then the body one byte at a time, each after arg ms
    Redirect,     // answer every router page with redirect status arg to another host
};

struct Fault {
    FaultKind kind = FaultKind::None;
    long arg = 0;
};

// The fault from its name and its argument text (empty: the kind's default argument).
std::optional<Fault> MakeFault(const std::string& name, const std::string& arg);
// The fault from "KIND" or "KIND:ARG".
std::optional<Fault> ParseFault(const std::string& text);

// Parses a non-negative decimal number that fits a long.
std::optional<long> ParseCount(const std::string& text);
