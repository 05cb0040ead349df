#pragma once
#include "Gateway.h"

// The adapter list from IP Helper (GetAdaptersInfo).
class WinAdapterSource : public AdapterSource {
public:
    AdapterAnswer RequestAdapters(std::size_t bufferSize) override;
};
