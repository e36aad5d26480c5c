#pragma once
// The growth rule of the library's slot arrays (string vectors, volume lists): room for n
// items is initialSlots slots while n is at most that; beyond it, initialSlots and as many
// whole steps as make more than n.

#include <cstdint>

inline int32_t QvSteppedSlotCount(int32_t n, int32_t initialSlots, int32_t step) {
    return n > initialSlots ? initialSlots + step + step * ((n - initialSlots) / step) : initialSlots;
}
