#include "cli/english_text.h"

#include <map>
#include <string_view>
#include <vector>

#include "numberlog/number_log.h"
#include "thermo/threshold_input.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

namespace {

const std::map<std::string, std::string, std::less<>>& Translations() {
    static const std::map<std::string, std::string, std::less<>> table{
        {status_text::kNotConnected, "not connected"},
        {status_text::kAdapterFound, "adapter found"},
        {status_text::kCheckAdapter, "the adapter does not answer: check the 1-Wire adapter"},
        {status_text::kDriverError, "the port could not be set up"},
        {status_text::kNoPortChosen, "no port chosen"},
        {threshold_text::kInvalid, "invalid temperature thresholds"},
        {threshold_text::kTooHigh, "a value is too high (the highest is 125)"},
        {threshold_text::kTooLow, "a value is too low (the lowest is -55)"},
        {"Неизвестное устройство", "unknown device"},
        {"DS2422 - Термохрон", "DS2422 Thermochron"},
        {"DS1923 - Гигрохрон", "DS1923 Hygrochron"},
        {"DS1922L - Термохрон", "DS1922L Thermochron"},
        {"DS1922T - Термохрон", "DS1922T Thermochron"},
        {"DS1922E - Термохрон", "DS1922E Thermochron"},
        {"Не удалось записать в файл:", "could not write to the file"},
        {"Не удалось записать параметры", "the multisensor did not answer the page write"},
        {"Устройство перестало отвечать: параметры могли записаться не полностью, проверьте CRC!",
         "the multisensor stopped answering part-way, before its old pages could be put back: "
         "its block may be a mix of old and new pages (its CRC then does not match); write the "
         "block again"},
        {"Неопределены типы датчиков!", "the sensor types are not defined"},
        {"Неверное значение параметра Датчик 0 min!", "invalid value of S0min"},
        {"Неверное значение параметра Датчик 0 max!", "invalid value of S0Max"},
        {"Неверное значение параметра Датчик 0 мин.зн-ие V", "invalid value of S0minVoltage"},
        {"Неверное значение параметра Датчик 0 макс.зн-ие V", "invalid value of S0MaxVoltage"},
        {"Неверное значение параметра Датчик 0 Верхний предел!", "invalid value of S0UpValue"},
        {"Неверное значение параметра Датчик 0 Нижний предел!", "invalid value of S0DownValue"},
        {"Неверное значение параметра Датчик 1 min!", "invalid value of S1min"},
        {"Неверное значение параметра Датчик 1 max!", "invalid value of S1Max"},
        {"Неверное значение параметра Датчик 1 мин.зн-ие V", "invalid value of S1minVoltage"},
        {"Неверное значение параметра Датчик 1 макс.зн-ие V", "invalid value of S1MaxVoltage"},
        {"Неверное значение параметра Датчик 1 Верхний предел!", "invalid value of S1UpValue"},
        {"Неверное значение параметра Датчик 1 Нижний предел!", "invalid value of S1DownValue"},
        {"Неверное значение параметра Смещение температуры!", "invalid value of Tdis"},
        {"Неверное значение параметра Температура Нижний предел!", "invalid value of TdownLimit"},
        {"Неверное значение параметра Температура Верхний предел!", "invalid value of TupLimit"},
        // The window names -3000..3000 and 0..6,5 V while its checks admit the fields' full
        // range; the tool states the range that is checked.
        {"Должно быть -3000..3000", "must be -3276.7..3276.7"},
        {"Должно быть 0..6,5V", "must be 0..6.5535 V"},
        {"Должно быть 0..0,249V", "must be 0..0.249 V"},
        {"Должно быть -1,26..1,26", "must be -1.26..1.26"},
        {"Должно быть -50..150", "must be -50..150"},
        {"Верхний порог датчика 0 меньше нижнего порога!",
         "sensor 0's upper threshold is below its lower threshold"},
        {"Верхний порог датчика 1 меньше нижнего порога!",
         "sensor 1's upper threshold is below its lower threshold"},
        {"сигнализация будет работать неправильно!", "the alarm will not work properly"},
    };
    return table;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string EnglishText(const std::string& coreText) {
    std::string english;
    for (const std::string& line : Lines(coreText)) {
        const auto found = Translations().find(line);
        const std::string& shown = found == Translations().end() ? line : found->second;
        if (shown.empty()) {
            continue;
        }
        english += (english.empty() ? "" : ": ") + shown;
    }
    return english;
}

}  // namespace velgrin::cli
