#include "PpmdParameters.h"

#include "ZipErrors.h"

#include <unistd.h>

namespace kalmora {

TPpmdParameters CheckPpmdParameters(uint16_t word, uint64_t physicalMemory) {
    TPpmdParameters p{(word & 0x0Fu) + 1u, ((word >> 4) & 0xFFu) + 1u, static_cast<unsigned>(word >> 12)};
    // The memory field cannot leave 1 to 256 MiB; order 1 and restoration methods above 2 do not exist.
    if (p.order < 2)
        throw EAbZipDataError("PPMd model order " + std::to_string(p.order) + " is out of range (2 to 16)");
    if (p.restoration > 2)
        throw EAbZipDataError("PPMd model restoration method " + std::to_string(p.restoration) +
                              " is out of range (0 to 2)");
    if (uint64_t{p.memoryMiB} << 20 > physicalMemory / 4)
        throw EAbZipDataError("PPMd model of " + std::to_string(p.memoryMiB) +
                              " MiB is more than a quarter of this machine's memory");
    return p;
}

uint64_t PhysicalMemory() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return UINT64_MAX; // unknown: the range check alone applies
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

} // namespace kalmora
