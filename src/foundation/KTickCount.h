#pragma once

#include <cstdint>

/// Milliseconds of a steady clock, as a 32-bit count that wraps about every 49.7
/// days: compare two counts by their unsigned difference, never by order.
uint32_t KGetTickCount();
