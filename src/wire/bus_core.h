#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/host.h"
#include "common/retry_rule.h"
#include "wire/device_table.h"
#include "wire/tmex.h"

namespace velgrin {

namespace status_text {
inline constexpr const char* kNotConnected = "Не подключен";
inline constexpr const char* kAdapterFound = "Адаптер найден";
inline constexpr const char* kCheckAdapter = " Проверьте подключение адаптера 1Wire!!!";
inline constexpr const char* kDriverError = "Ошибка настройки драйвера порта!!!";
inline constexpr const char* kNoPortChosen = "Не выбран порт для подключения!!!";
inline constexpr const char* kNoDefaultPortMessage =
    "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку вручную.";
}  // namespace status_text

// What one run of the session and search steps asks of whoever shows it.
struct ScanOutcome {
    int16_t result = 1;
    // The default port was found missing in this cycle: the window refreshes with a rebuild
    // before its common end.
    bool noPortChosen = false;
    // The port lists are to show "1" and "USB" (set by the program, no change handlers).
    bool portListsToDefaults = false;
    // The bus search gave answers no set of devices can give, pass after pass: the cycle failed
    // and the device table still holds the last complete search.
    bool searchFailed = false;
};

// The bus state of the program and the poll's session and search steps. The window and the
// command-line tool each own one and show what it holds.
class BusCore {
  public:
    BusCore(TmexDriver& driver, Host& host) : driver_(driver), host_(host) {}

    // Port choice, session, adapter setup and bus search: everything of a poll cycle before the
    // view refresh. Never throws.
    ScanOutcome ScanSessionAndSearch();

    // The user's picks in the port and adapter lists (item index).
    void cbbPortChange(int itemIndex) { defaultPort = static_cast<int16_t>(itemIndex + 1); }
    void cbAdapterChange(int itemIndex) { defaultAdapter = static_cast<int16_t>(itemIndex + 1); }

    void AddFoundDevice(int32_t handle, TmexState& state, int16_t index,
                        const std::array<int16_t, 9>& rom);
    std::string IdentifyDS1921(int32_t handle, TmexState& state, int16_t index,
                               const std::array<int16_t, 9>& rom);
    std::string IdentifyDS1922(int32_t handle, TmexState& state, int16_t index,
                               const std::array<int16_t, 9>& rom);

    TmexDriver& driver() { return driver_; }
    Host& host() { return host_; }

    // Repeats of the bus transactions of whatever runs on this session; a command-line command
    // bounds their total time.
    RetryRule retries;

    // Session.
    int32_t SHandle = 0;
    TmexState StateBuf;
    int16_t PortNum = 0;
    int16_t PortType = 0;
    int16_t defaultPort = 0;
    int16_t defaultAdapter = 0;
    bool portConfigDefault = true;
    std::string Typebuf;

    // Device table.
    DeviceTable Asens{};
    int16_t FoundDev = 0;
    int16_t OldFoundDev = 0;
    // Devices the last search found on the bus, the table's and those beyond it; at
    // kCountedDevicesLimit the search stopped counting, so the bus holds that many or more.
    int devicesOnBus = 0;
    bool flgRedravAll = false;
    std::array<int16_t, 9> ROM{};
    std::string TypeButtonString;
    std::string SNADAPTERS;
    // The name each entry's subtype probe gave in the last search; empty where no probe ran or
    // the device did not answer it. TypeButtonString keeps only the last one.
    std::array<std::string, kDeviceTableSize> subtypeNames{};

    // Texts of the status line and of the adapter serial-number box.
    std::string stat11 = status_text::kNotConnected;
    std::string Stat1;

    // The bus holds more devices than the table: a command on "all" of them cannot reach them all.
    bool tableOverflowed() const { return devicesOnBus > FoundDev; }

  private:
    // False when the enumeration ended in a bus error; the table is then as before.
    bool Search();
    // Counts the devices after a full table; false on a bus error.
    bool CountBeyondTable(int& count);
    void ClearAfterFailure(const char* status);

    TmexDriver& driver_;
    Host& host_;
};

}  // namespace velgrin
