#include "wire/sim/bench_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "sim_test_bench.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Refusal(const std::string& json) {
    VirtualClock clock;
    auto bench = LoadBenchJson(json, "t.json", clock);
    return bench.ok() ? "(loaded)" : bench.error().message;
}

std::shared_ptr<SimBench> Load(const std::string& json, const Clock& clock) {
    auto bench = LoadBenchJson(json, "t.json", clock);
    EXPECT_TRUE(bench.ok()) << bench.error().message;
    return bench.ok() ? *bench : std::make_shared<SimBench>(clock);
}

std::string OneDevice(const std::string& fields) {
    return R"({"devices": [{"rom": "E400000000010128")" + fields + "}]}";
}

TEST(BenchFileRefusal, SyntaxErrorNamesLineAndColumn) {
    EXPECT_EQ(Refusal("{\n  \"devices\": [\n    {\"rom\": tru}\n  ]\n}"),
              "t.json:3:16: syntax error while parsing value - invalid literal; last read: "
              "'\"rom\": tru}'");
}

TEST(BenchFileRefusal, StructureProblemsNameTheirPlace) {
    EXPECT_EQ(Refusal("[]"), "t.json: top level: expected an object");
    EXPECT_EQ(Refusal(R"({"timline": []})"),
              "t.json: /timline: unknown key \"timline\" (known here: name, adapter, faults, "
              "devices, timeline)");
    EXPECT_EQ(Refusal(R"({"devices": {}})"), "t.json: /devices: expected an array of devices");
    EXPECT_EQ(Refusal(R"({"devices": [{"model": "DS18B20"}]})"),
              "t.json: /devices/0: missing \"rom\"");
    EXPECT_EQ(Refusal(R"({"faults": {"burning": true}})"),
              "t.json: /faults/burning: unknown key \"burning\" (known here: shorted, unplugged, "
              "sessionRefused)");
}

TEST(BenchFileRefusal, RomCodes) {
    EXPECT_EQ(Refusal(R"({"devices": [{"rom": "28-00000"}]})"),
              "t.json: /devices/0/rom: \"28-00000\" is not a ROM text (16 hex digits, CRC byte "
              "first, family code last, as the device lists show it)");
    EXPECT_EQ(Refusal(R"({"devices": [{"rom": "E500000000010128"}]})"),
              "t.json: /devices/0/rom: the CRC byte of E500000000010128 is E5, its code needs E4; "
              "a device meant to be broken needs \"faulty\": true");
    EXPECT_EQ(Refusal(R"({"devices": [{"rom": "E400000000010128"}, {"rom": "E400000000010128"}]})"),
              "t.json: /devices/1/rom: ROM E400000000010128 is already used at /devices/0/rom");
    EXPECT_EQ(Refusal(R"({"adapter": {"serialChip": "E400000000010128"}})"),
              "t.json: /adapter/serialChip: E400000000010128 is not a serial-number chip's ROM "
              "(family 81 last, a valid CRC first)");
}

TEST(BenchFileRefusal, ModelsAndTheirValues) {
    EXPECT_EQ(Refusal(OneDevice(R"(, "model": "DS18S20")")),
              "t.json: /devices/0/rom: a DS18S20 has family code 10, the ROM code has 28");
    EXPECT_EQ(Refusal(OneDevice(R"(, "model": "DS18B2")")).substr(0, 66),
              "t.json: /devices/0/model: unknown model \"DS18B2\" (known: DS18B20, ");
    EXPECT_EQ(Refusal(OneDevice(R"(, "vdd": 5)")),
              "t.json: /devices/0/vdd: \"vdd\" does not apply to a DS18B20");
    EXPECT_EQ(Refusal(OneDevice(R"(, "temprature": 5)")).substr(0, 110),
              "t.json: /devices/0/temprature: unknown key \"temprature\" (known here: rom, model, "
              "faulty, attached, temperature");
    EXPECT_EQ(Refusal(OneDevice(R"(, "resolution": 13)")),
              "t.json: /devices/0/resolution: 13 is out of range 9..12");
    EXPECT_EQ(Refusal(OneDevice(R"(, "th": "high")")),
              "t.json: /devices/0/th: expected a whole number");
    EXPECT_EQ(Refusal(OneDevice(R"(, "temperature": {"amplitude": 1, "periodS": 60})")),
              "t.json: /devices/0/temperature: missing \"base\"");
    EXPECT_EQ(Refusal(OneDevice(R"(, "faults": {"corruptByte": {"index": 8}})")),
              "t.json: /devices/0/faults/corruptByte: expected {\"index\": .., \"mask\": ..} or "
              "false");
    EXPECT_EQ(
        Refusal(R"({"devices": [{"rom": "1F00000000050141", "configByte": "0x6"}]})"),
        "t.json: /devices/0/configByte: \"0x6\" is not a byte (0..255 or \"0x00\"..\"0xFF\")");
    EXPECT_EQ(
        Refusal(R"({"devices": [{"rom": "1F00000000050141", "faults": {"busyForever": true}}]})"),
        "t.json: /devices/0/faults/busyForever: a DS1922L makes no conversions");
}

TEST(BenchFileRefusal, HltBlock) {
    const std::string hlt = R"({"devices": [{"rom": "4900000000040126", )";
    EXPECT_EQ(Refusal(hlt + R"("hltBytes": "00 11 22"}]})"),
              "t.json: /devices/0/hltBytes: expected 32 bytes, found 3");
    EXPECT_EQ(Refusal(hlt + R"("hltBytes": [], "hltConfig": {}}]})"),
              "t.json: /devices/0/hltBytes: give the HLT block either as \"hltConfig\" or as "
              "\"hltBytes\"");
    EXPECT_EQ(Refusal(hlt + R"("hltConfig": {"sensor0": "HIH9000"}}]})"),
              "t.json: /devices/0/hltConfig/sensor0: unknown sensor type \"HIH9000\" (known: "
              "HIH5031, HIH4000, Temperature, Pressure, CO2, Other, None, or a code 0..15)");
    EXPECT_EQ(Refusal(hlt + R"("hltConfig": {"Tdis": 1.3}}]})"),
              "t.json: /devices/0/hltConfig/Tdis: 1.3 is out of range -1.26..1.26");
    EXPECT_EQ(Refusal(hlt + R"("hltConfig": {"S0MaxVoltage": 7}}]})"),
              "t.json: /devices/0/hltConfig/S0MaxVoltage: 7 is out of range 0..6.5535");
}

TEST(BenchFileRefusal, TimelineEvents) {
    const std::string device = R"({"devices": [{"rom": "4900000000040126"}], "timeline": [)";
    EXPECT_EQ(Refusal(device + R"({"detach": "4900000000040126"}]})"),
              "t.json: /timeline/0: missing \"at\" (milliseconds from the start)");
    EXPECT_EQ(Refusal(device + R"({"at": 5}]})"),
              "t.json: /timeline/0: missing what happens: attach, detach, set, powerCycle or "
              "faults");
    EXPECT_EQ(Refusal(device +
                      R"({"at": 5, "attach": "4900000000040126", "detach": "4900000000040126"}]})"),
              "t.json: /timeline/0/detach: an event does one thing; this one has \"attach\" "
              "already");
    EXPECT_EQ(Refusal(device + R"({"at": 5, "detach": "E400000000010128"}]})"),
              "t.json: /timeline/0/detach: no device with ROM E400000000010128 on this bench");
    EXPECT_EQ(Refusal(device + R"({"at": 5, "powerCycle": "4900000000040126"}]})"),
              "t.json: /timeline/0/powerCycle: only thermometers can be power-cycled, this is a "
              "DS2438");
    EXPECT_EQ(Refusal(device + R"({"at": 5, "set": "4900000000040126", "th": 3}]})"),
              "t.json: /timeline/0/th: \"th\" does not apply to a DS2438");
    EXPECT_EQ(Refusal(device + R"({"at": -1, "detach": "4900000000040126"}]})"),
              "t.json: /timeline/0/at: -1 is out of range 0..3153600000000");
    EXPECT_EQ(Refusal(device + R"({"at": 18446744073709551615, "detach": "4900000000040126"}]})"),
              "t.json: /timeline/0/at: 18446744073709551615 is out of range 0..3153600000000");
}

// What a hostile or careless file holds is refused with its place, never fatal and never
// clamped into something else.
TEST(BenchFileRefusal, HostileValues) {
    const std::string hlt = R"({"devices": [{"rom": "4900000000040126", )";
    EXPECT_EQ(Refusal(OneDevice(R"(, "temperature": 1e400)")),
              "t.json: number overflow parsing '1e400'");
    EXPECT_EQ(Refusal(OneDevice(R"(, "temperature": 1e30)")),
              "t.json: /devices/0/temperature: 1E30 is outside what the device measures, -55 to "
              "125 C");
    EXPECT_EQ(Refusal(OneDevice(R"(, "temperature": -300)")),
              "t.json: /devices/0/temperature: -300 is outside what the device measures, -55 to "
              "125 C");
    EXPECT_EQ(
        Refusal(OneDevice(R"(, "temperature": {"base": 120, "amplitude": 10, "periodS": 9})")),
        "t.json: /devices/0/temperature: 120 +- 10 is outside what the device measures, -55 "
        "to 125 C");
    EXPECT_EQ(Refusal(hlt + R"("currentInput": 1e300}]})"),
              "t.json: /devices/0/currentInput: 1E300 is outside what the device measures, -0.25 "
              "to 0.25 V");
    EXPECT_EQ(Refusal(hlt + R"("vdd": 12}]})"),
              "t.json: /devices/0/vdd: 12 is outside what the device measures, 0 to 10.23 V");
    EXPECT_EQ(Refusal(hlt + R"("hltConfig": {"S0min": 1e300}}]})"),
              "t.json: /devices/0/hltConfig/S0min: 1E300 is out of range -3276.8..3276.7");
    EXPECT_EQ(Refusal(OneDevice(R"(, "th": 18446744073709551615)")),
              "t.json: /devices/0/th: 18446744073709551615 is out of range -128..127");
    EXPECT_EQ(Refusal(OneDevice(R"(, "th": 30, "th": 31)")),
              "t.json: the key \"th\" appears twice in one object");
    EXPECT_EQ(Refusal(std::string(R"({"devices": []})") + '\0' + "junk"),
              "t.json: a NUL byte at byte 16");
    EXPECT_EQ(Refusal(R"({"devices": []} junk)"),
              "t.json:1:17: syntax error while parsing value - invalid literal; last read: "
              "'\"devices\": []} j'; expected end of input");
}

TEST(BenchFileRefusal, FileRefusalsNameTheFile) {
    char folder[] = "/tmp/velgrin-bench-file-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/broken.json";
    std::ofstream(path) << R"({"devices": [{"rom": "E500000000010128"}]})";
    VirtualClock clock;
    auto bench = LoadBenchFile(path, clock);
    ASSERT_FALSE(bench.ok());
    EXPECT_EQ(bench.error().message.substr(0, path.size() + 21), path + ": /devices/0/rom: the");
    std::remove(path.c_str());

    for (const std::string& notAFile : {std::string(folder), std::string("/dev/zero")}) {
        bench = LoadBenchFile(notAFile, clock);
        ASSERT_FALSE(bench.ok()) << notAFile;
        EXPECT_EQ(bench.error().message,
                  "bench file " + notAFile + ": " +
                      (notAFile == folder ? "is a folder, not a file" : "is not a regular file"));
    }
    rmdir(folder);
}

TEST(BenchFile, FaultyDeviceKeepsItsWrongCrc) {
    VirtualClock clock;
    auto bench = Load(R"({"devices": [{"rom": "E500000000010128", "faulty": true}]})", clock);
    ASSERT_EQ(bench->bus().devices().size(), 1u);
    EXPECT_EQ(RomText(bench->bus().devices()[0]->rom()), "E500000000010128");
}

TEST(BenchFile, AdapterSerialChipIsOnTheBusOnlyWhenDeclared) {
    VirtualClock clock;
    EXPECT_TRUE(Load("{}", clock)->bus().devices().empty());
    auto bench = Load(R"({"adapter": {"serialChip": "910000001A2B3C81"}})", clock);
    ASSERT_EQ(bench->bus().devices().size(), 1u);
    EXPECT_EQ(bench->bus().devices()[0]->model(), "DS1420");
}

TEST(BenchFile, ThermometerSettingsReachScratchpadAndEeprom) {
    VirtualClock clock;
    testing::SimTestBench t(clock,
                            Load(OneDevice(R"(, "th": 30, "tl": -10, "resolution": 10)"), clock));
    const auto rom = *ParseRomText("E400000000010128");
    ASSERT_TRUE(t.select(rom));
    t.touch({0xBE});
    const auto pad = t.read(5);
    EXPECT_EQ((Bytes{pad[2], pad[3], pad[4]}), (Bytes{30, 0xF6, 0x3F}));
    auto& sensor = dynamic_cast<Ds18b20Device&>(*t.bench().find(rom));
    EXPECT_EQ(Bytes(sensor.eeprom().begin(), sensor.eeprom().end()), (Bytes{30, 0xF6, 0x3F}));
}

TEST(BenchFile, HltBlockAsRawBytesAndLoggerConfigurationByte) {
    VirtualClock clock;
    std::string bytes;
    for (int i = 0; i < 32; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", i);
        bytes += hex;
    }
    auto bench = Load(R"({"devices": [{"rom": "4900000000040126", "hltBytes": ")" + bytes +
                          R"("}, {"rom": "1F00000000050141", "configByte": "0x60"}]})",
                      clock);
    auto& hlt = dynamic_cast<Ds2438Device&>(*bench->find(*ParseRomText("4900000000040126")));
    EXPECT_EQ(hlt.configBlock()[31], 31);
    EXPECT_EQ(hlt.page(3)[1], 1);
    auto& logger = dynamic_cast<Ds1922Device&>(*bench->find(*ParseRomText("1F00000000050141")));
    EXPECT_EQ(logger.model(), "DS1922T");
}

TEST(BenchFile, DocumentedExampleLoads) {
    VirtualClock clock;
    auto bench = LoadBenchFile(VELGRIN_SOURCE_DIR "/docs/examples/workshop-bench.json", clock);
    ASSERT_TRUE(bench.ok()) << bench.error().message;
    EXPECT_EQ((*bench)->name, "Workshop bench");
    EXPECT_EQ((*bench)->bus().devices().size(), 8u);
    EXPECT_EQ((*bench)->pendingEvents().size(), 9u);
}

std::vector<std::string> JsonBlocksOf(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> blocks;
    std::string line;
    std::string* block = nullptr;
    while (std::getline(file, line)) {
        if (block == nullptr && line == "```json") {
            block = &blocks.emplace_back();
        } else if (block != nullptr && line == "```") {
            block = nullptr;
        } else if (block != nullptr) {
            *block += line + "\n";
        }
    }
    return blocks;
}

TEST(BenchFile, DocumentationExamplesLoadAndMatchTheExampleFile) {
    const auto blocks = JsonBlocksOf(VELGRIN_SOURCE_DIR "/docs/bench-files.md");
    ASSERT_EQ(blocks.size(), 2u);
    for (const auto& block : blocks) {
        VirtualClock clock;
        auto bench = LoadBenchJson(block, "bench-files.md", clock);
        EXPECT_TRUE(bench.ok()) << bench.error().message;
    }
    std::ifstream file(VELGRIN_SOURCE_DIR "/docs/examples/workshop-bench.json");
    EXPECT_EQ(nlohmann::json::parse(blocks[0]), nlohmann::json::parse(file));
}

}  // namespace
}  // namespace velgrin::sim
