#pragma once

// The parameter word that opens the data of a PPMd entry (method 98, variant I revision 1) and the bounds
// it must keep before a model is allocated for it.

#include <cstdint>

namespace kalmora {

struct TPpmdParameters {
    unsigned order = 0;       // model order, 2 to 16
    unsigned memoryMiB = 0;   // the model's memory, 1 to 256 MiB
    unsigned restoration = 0; // what the model does when its memory is full: 0 restart, 1 cut off, 2 freeze
};

// Decodes the word (stored low byte first). Throws EAbZipDataError when a parameter is out of range, or
// when the model would take more than a quarter of physicalMemory bytes, naming the model's size.
TPpmdParameters CheckPpmdParameters(uint16_t word, uint64_t physicalMemory);

// The machine's physical memory in bytes.
uint64_t PhysicalMemory();

} // namespace kalmora
