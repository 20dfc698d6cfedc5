// Network serial ports as a technician meets them: velgrin-cli against ser2net in front of the
// emulator, and against servers that are not what the port says; and the telnet stream itself.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "one_shot_server.h"
#include "program_run.h"
#include "ser2net_server.h"
#include "serving_program.h"
#include "wire/net_serial/telnet_codes.h"
#include "wire/net_serial/telnet_reader.h"

namespace velgrin::net_serial::testing {
namespace {

using namespace telnet;
using nlohmann::json;
using velgrin::testing::ProgramRun;
using velgrin::testing::RunProgram;

// Thermometers the passive adapter measures too: none parasite-powered.
constexpr const char* kBenchJson = R"({
  "adapter": { "serialChip": "EC00000024A1C381" },
  "devices": [
    { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5, "th": 30, "tl": 10 },
    { "model": "DS18S20", "rom": "4F00000000020110", "temperature": -5.5 },
    { "model": "DS2438", "rom": "4900000000040126", "temperature": 24.0 }
  ]
})";

// A temporary folder with the bench in it.
class BenchFolder {
  public:
    BenchFolder() {
        char pattern[] = "/tmp/velgrin-net-cli-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        std::ofstream(bench()) << kBenchJson;
    }
    ~BenchFolder() { std::filesystem::remove_all(path_); }
    std::string bench() const { return path_ + "/bench.json"; }
    std::string link() const { return path_ + "/tty"; }

  private:
    std::string path_;
};

ProgramRun Cli(std::vector<std::string> arguments) {
    return RunProgram(VELGRIN_CLI_PATH, arguments);
}

struct AdapterCase {
    const char* emulated;  // velgrin-emu --adapter
    const char* kind;      // the port kind
    bool rfc2217;          // else a raw port
};

TEST(NetworkSerialPort, ListAndTempThroughSer2netGiveWhatTheSimulatedBenchGives) {
    for (const AdapterCase& adapter :
         {AdapterCase{"ds2480b", "ds2480b", true}, AdapterCase{"passive", "ds9097", true},
          AdapterCase{"ds2480b", "ds2480b", false}}) {
        SCOPED_TRACE(std::string(adapter.kind) + (adapter.rfc2217 ? " rfc2217" : " raw"));
        BenchFolder folder;
        velgrin::testing::ServingProgram emulator(
            {VELGRIN_EMU_PATH, "--adapter", adapter.emulated, "--bench", folder.bench(), "--link",
             folder.link()},
            folder.link(), true);
        ASSERT_TRUE(std::filesystem::exists(folder.link()));
        Ser2netServer server(folder.link(), adapter.rfc2217);
        const std::string port = std::string(adapter.kind) + ":" + server.address();
        for (const char* command : {"list", "temp"}) {
            SCOPED_TRACE(command);
            // Patient: ser2net and the emulator are other processes on a loaded machine.
            const ProgramRun network =
                Cli({"--port", port, "--reply-margin", "5000", "--json", command});
            ASSERT_EQ(network.status, 0) << network.err << network.out;
            const ProgramRun simulated =
                Cli({"--port", "sim:" + folder.bench(), "--json", command});
            ASSERT_EQ(simulated.status, 0) << simulated.err;
            EXPECT_EQ(json::parse(network.out), json::parse(simulated.out));
        }
    }
}

struct ErrorCase {
    const char* what;
    std::function<std::string()> port;  // made while the case's server runs
    int status;
    const char* says;
};

TEST(NetworkSerialPort, WhatGoesWrongOnTheNetworkIsSaidSoATechnicianCanAct) {
    std::unique_ptr<OneShotServer> server;
    const auto served = [&](OneShotServer::Manner manner, const std::string& scheme) {
        return [&server, manner, scheme] {
            server = std::make_unique<OneShotServer>(manner);
            return "ds2480b:" + scheme + "://127.0.0.1:" + std::to_string(server->port());
        };
    };
    const std::vector<ErrorCase> cases{
        {"unknown host", [] { return std::string("ds2480b:rfc2217://no-such-host.invalid:2217"); },
         2, "the host no-such-host.invalid was not found"},
        {"refused",
         [] { return "ds2480b:rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort()); }, 1,
         "refused the connection"},
        {"silent server", served(OneShotServer::Manner::Silent, "rfc2217"), 1,
         "does not speak RFC 2217; use tcp:// for a fixed-speed adapter"},
        {"plain bytes", served(OneShotServer::Manner::PlainBytes, "rfc2217"), 1,
         "does not speak RFC 2217"},
        {"closed mid-sequence", served(OneShotServer::Manner::ClosesOnData, "rfc2217"), 1,
         "was lost (the server closed it)"},
        {"passive on a raw port", [] { return std::string("ds9097:tcp://127.0.0.1:2217"); }, 2,
         "use ds9097:rfc2217://127.0.0.1:2217"},
        {"no port number", [] { return std::string("ds2480b:rfc2217://bench-pi"); }, 2,
         "the port number is missing"},
    };
    for (const ErrorCase& error : cases) {
        SCOPED_TRACE(error.what);
        const ProgramRun run = Cli({"--port", error.port(), "list"});
        EXPECT_EQ(run.status, error.status);
        EXPECT_THAT(run.err, ::testing::HasSubstr(error.says));
        server.reset();
    }
}

struct StreamCase {
    const char* what;
    std::vector<std::vector<uint8_t>> chunks;  // as the reads cut the stream
    std::vector<uint8_t> data;
    std::vector<TelnetEvent> words;
};

TelnetEvent ComPortWord(uint8_t code, std::vector<uint8_t> value, size_t dataBefore) {
    return {TelnetEvent::Kind::ComPort, code, kComPort, std::move(value), dataBefore};
}

TEST(TelnetStream, TheServersWordsAreTakenOutOfTheLinesBytesWhereverTheReadsCut) {
    const std::vector<uint8_t> overlong(TelnetReader::kMaxSubnegotiation + 1, 7);
    std::vector<uint8_t> overlongWord{kIac, kSb, kComPort};
    overlongWord.insert(overlongWord.end(), overlong.begin(), overlong.end());
    overlongWord.insert(overlongWord.end(), {kIac, kSe, 0x42});
    const std::vector<StreamCase> cases{
        {"doubled 255 is one data byte", {{0x01, kIac, kIac, 0x02}}, {0x01, kIac, 0x02}, {}},
        {"doubled 255 cut in two", {{0x01, kIac}, {kIac, 0x02}}, {0x01, kIac, 0x02}, {}},
        {"option verb",
         {{0x10, kIac, kDo}, {kComPort, 0x11}},
         {0x10, 0x11},
         {{TelnetEvent::Kind::Option, kDo, kComPort, {}, 1}}},
        {"rate answer with a doubled 255 in its value",
         {{0xAA, kIac, kSb, kComPort, 101, 0, 0, kIac}, {kIac, 0x80, kIac, kSe, 0xBB}},
         {0xAA, 0xBB},
         {ComPortWord(101, {0, 0, kIac, 0x80}, 1)}},
        {"subnegotiation of another option dropped",
         {{kIac, kSb, 24, 1, kIac, kSe, 0x33}},
         {0x33},
         {}},
        {"overlong subnegotiation dropped", {overlongWord}, {0x42}, {}},
        {"command inside a subnegotiation ends it",
         {{kIac, kSb, kComPort, 112, kIac, kWill, kBinary, 0x55}},
         {0x55},
         {{TelnetEvent::Kind::Option, kWill, kBinary, {}, 0}}},
    };
    for (const StreamCase& stream : cases) {
        SCOPED_TRACE(stream.what);
        TelnetReader reader;
        std::vector<uint8_t> data;
        std::vector<TelnetEvent> words;
        for (const auto& chunk : stream.chunks) {
            reader.feed(chunk, data, words);
        }
        EXPECT_EQ(data, stream.data);
        EXPECT_EQ(words, stream.words);
    }
}

}  // namespace
}  // namespace velgrin::net_serial::testing
