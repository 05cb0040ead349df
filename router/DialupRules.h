#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the dial-up way decides without Windows: which phonebook entry it dials, and what a
// failed dial is told as.

// The entry to watch and dial: the one setup.ini's "dialup" key names (any case of letters,
// as Windows compares entry names), else the one connected now, else the only one there is.
// When none can be chosen, `entry` is empty and `problem` the box's text (GBK), naming the
// entries there are.
struct DialEntryChoice {
    std::string entry;
    std::string problem;
};
DialEntryChoice ChooseDialEntry(const std::string& named, const std::vector<std::string>& connected,
                                const std::vector<std::string>& entries);

// A failed dial as the user is told it (GBK): Windows' error number and, for the common ones,
// what it means and where to look.
std::string DialErrorText(std::uint32_t error);
