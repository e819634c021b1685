#pragma once
// The track text: two header lines, then for every used record a GGA and an
// RMC sentence, each behind the 4-character mark column (TagColumn). Every
// line ends with CR LF.
#include "log/log_image.h"

#include <cstddef>
#include <cstdint>

namespace trk7700::log {

inline constexpr char kTrackTempFile[] = "Output_tmp.dat";
// The caller's file while pass 2 writes it.
inline constexpr char kTrackNewFile[] = "Output_new.tmp";
inline constexpr char kGgaHeaderLine[] =
    "Tag,$GPGGA,UTC(hhmmss.sss),Latitude,N/S,Longitude,E/W,Fix quality,Fix quality,"
    "Horizontal dilution of position,Altitude,Height of geoid,,Checksum\r\n";
inline constexpr char kRmcHeaderLine[] =
    "Tag,$GPRMC,UTC(hhmmss.sss),A,Latitude,N/S,Longitude,E/W,Speed(knots),Course(degrees),Date(ddmmyy),,Checksum\r\n";

// Room that the two lines of any record need, whatever its field values.
inline constexpr size_t kMaxRecordLinesSize = 256;

// Writes the GGA and the RMC line of a record, with "00" for each checksum;
// returns the end of what was written.
char *formatRecordLines(const LogRecord &record, char *out);

// Copies sentence text and puts the real checksum, the XOR of the bytes
// between '$' and '*', in place of the two characters after every '*'. Works
// on the text in pieces of any size; at most 2 bytes more come out than go in.
class ChecksumFiller {
public:
    char *fill(const char *in, size_t count, char *out);

private:
    uint8_t checksum_ = 0;
    int placeholderLeft_ = 0;    // placeholder characters still to drop
    bool copyNextAsIs_ = false;  // the line end after a placeholder stays out of the sum
};

// Exports "SortDB.sr" through "Output_tmp.dat" into the caller's file in the
// current directory. Fails with return_can_not_open_sort_db_file,
// return_pc_not_enough_memory, return_can_not_create_output_file (an output
// file cannot be created or written) or return_can_not_open_output_tmp_file
// ("Output_tmp.dat" cannot be opened again).
StepResult exportTrackTextTo(const char *outputFile);

// Pass 2 alone: the header lines, then "Output_tmp.dat" with the real
// checksums, into the caller's file. An earlier file of that name is replaced
// only by a complete text. Fails as exportTrackTextTo does, after its first step.
StepResult writeTrackText(const char *outputFile);

}  // namespace trk7700::log
