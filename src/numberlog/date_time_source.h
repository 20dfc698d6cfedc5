#pragma once

namespace velgrin {

// A wall-clock reading in local time, as the log files show it.
struct LocalDateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Where the log files take their dates from; tests pin it to a known moment.
class DateTimeSource {
  public:
    virtual ~DateTimeSource() = default;
    virtual LocalDateTime now() = 0;
};

// The system's local time.
class SystemDateTime final : public DateTimeSource {
  public:
    LocalDateTime now() override;
};

}  // namespace velgrin
