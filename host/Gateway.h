#pragma once
#include "MessageBoxes.h"
#include <cstddef>
#include <string>

// Finding the router's address: the default gateway of the PC's first network adapter.

// The first request of the adapter list uses a buffer of this many bytes (eight records).
inline constexpr std::size_t kAdapterBufferSize = 5120;
inline constexpr char kFallbackGateway[] = "192.168.1.1";

// The answer to one request of the adapter list.
struct AdapterAnswer {
    enum class Status { Ok, BufferTooSmall, Failed };

    Status status = Status::Failed;
    std::size_t neededSize = 0;  // BufferTooSmall: the size the platform asks for
    std::string firstGateway;    // Ok: the first gateway of the first adapter, as the platform writes it
};

// The platform's adapter list.
class AdapterSource {
public:
    virtual ~AdapterSource() = default;

    // One request of the list into a buffer of `bufferSize` bytes.
    virtual AdapterAnswer RequestAdapters(std::size_t bufferSize) = 0;
};

// The router address for Edit4: the first adapter's first gateway. When the list cannot be
// had, or that gateway is "0.0.0.0" or empty, shows the warning and gives "192.168.1.1".
// A buffer too small is asked for again with the size the platform reports.
std::string DetectGateway(AdapterSource& adapters, MessageBoxes& boxes);
