#pragma once
// The records of a log as sentences: which records can be a position and a
// time at all, the GPS week rollover of old receivers, and the cut of a log
// into tracks at trip gaps and local midnights. The conversion, the command
// line and the desktop tool decide with these; no widgets here.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace trk7700::client {

// Receivers of the logger's age count GPS weeks from an epoch that ran out:
// their dates come 1024 weeks early.
inline constexpr int64_t kWeekRolloverDays = 1024 * 7;

// Whether a GGA or RMC sentence ("$GPGGA,..." without the mark column) holds
// values that can be a position and a time: latitude up to 90 degrees,
// longitude up to 180, minutes below 60, hour up to 23, minute and second up
// to 59, and in RMC a day from 1 to 31 and a month from 1 to 12. Other
// sentences are not judged (true).
bool sentenceIsPossible(std::string_view sentence);

// Days since 1970-01-01 of an RMC sentence's date (ddmmyy, 20yy); -1 when the
// sentence is no RMC or its date is not a date.
int64_t sentenceDay(std::string_view sentence);
// Days since 1970-01-01 of the UTC date of a moment.
int64_t utcDay(std::time_t when);

// True when a readout whose newest record lies on newestDay is probably dated
// 1024 weeks early: a record made today already shows a date 1024 weeks
// before today, so the threshold is that distance, not one day more.
bool datesLookRolledOver(int64_t newestDay, int64_t today);

// The sentence with its date 1024 weeks later and its checksum made anew, when
// it is an RMC sentence dated at least 1024 weeks before today; any other
// sentence comes back as it is.
std::string correctWeekRollover(const std::string &sentence, int64_t today);

// A record of the log: its GGA sentence and the RMC sentence after it (either
// may be missing in a text that was cut or edited).
struct SentenceRecord {
    std::string gga;
    std::string rmc;
    bool possible() const;
    // UTC seconds since 1970 from the RMC's date and time; -1 without one.
    int64_t utcSeconds() const;
};

// Groups sentences, in order, into records and hands each complete record on.
class RecordAssembler {
public:
    explicit RecordAssembler(std::function<void(const SentenceRecord &)> onRecord) : onRecord_(std::move(onRecord)) {}
    void add(const std::string &sentence);
    void finish();

private:
    std::function<void(const SentenceRecord &)> onRecord_;
    SentenceRecord pending_;
    bool hasPending_ = false;
};

// Where the tracks of a log are cut: after a gap of more than tripGapSeconds
// between two records (0: never), and with days at each local midnight (the
// process's time zone).
class TrackCutter {
public:
    TrackCutter(long tripGapSeconds, bool days) : tripGapSeconds_(tripGapSeconds), days_(days) {}
    // True when the record at utcSeconds begins a new track (never the first).
    bool startsNewTrack(int64_t utcSeconds);

private:
    long tripGapSeconds_;
    bool days_;
    int64_t previous_ = -1;
    int previousLocalDay_ = -1;
};

}  // namespace trk7700::client
