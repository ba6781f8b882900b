// The local time zone of the machine, as Date needs it: the offset from UTC
// at a given moment, from the C library's zone rules. Every year is read
// through an equivalent recent year (same leap-ness, same first weekday), so
// all years follow today's rules, as the player does, and dates far outside
// what time_t holds still get an offset.
#pragma once

namespace zembra::avm1 {

// Milliseconds to add to a UTC time to get local time at that moment.
// 0 for times that are not finite.
double LocalOffsetMs(double utcMs);
// The UTC time of a local wall-clock time (the offset that applies there).
double LocalToUtcMs(double localMs);

} // namespace zembra::avm1
