#pragma once
// The operating system's clock as the library's waits read it: the seconds
// field (0..59) of the UTC time of day. system_clock_posix.cpp and
// system_clock_windows.cpp give it on each platform.
namespace trk7700::serial {

int systemUtcSeconds();

}  // namespace trk7700::serial
