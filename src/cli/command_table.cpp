#include "cli/command.h"
#include "cli/commands.h"
#include "cli/hlt_commands.h"
#include "cli/hlt_settings_input.h"

namespace velgrin::cli {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands{
        {"list",
         "list",
         "scan the bus once and list the devices",
         "Prints each device the scan found: its table index, ROM text, family code, group\n"
         "(16 and 40 thermometers, 38 HLT multisensors, 33 loggers and DS1822, 0 not listed by\n"
         "the program), and the subtype name where the scan's probe identifies one (DS1921,\n"
         "DS1922/DS1923/DS2422). Also prints the adapter's serial number when its serial-number\n"
         "chip answers the search.\n",
         {},
         RunList},
        {"temp",
         "temp [--one-by-one] [ROM...]",
         "measure thermometers: temperature, TH and TL",
         "Measures the named DS18S20/DS18B20 thermometers, or every one on the bus when none is\n"
         "named, with the window's arithmetic. All of them convert within one conversion time:\n"
         "Convert T by Skip ROM when they are all the bus holds, else by Match ROM to each one;\n"
         "parasite-powered ones under the strong pull-up for 750 ms, externally powered ones\n"
         "watched with read slots until done. Then each is read by Match ROM, its CRC checked.\n"
         "A thermometer holding the power-on value (85 C) is converted alone once more and read\n"
         "at once: 85 C is then a temperature, or \"power-on value, no conversion\" when its\n"
         "conversion cannot be seen complete. Exit status 1 when a thermometer does not answer\n"
         "or gives no temperature.\n"
         "\n"
         "Options:\n"
         "  --one-by-one  the window's sequence: each thermometer converts (strong pull-up,\n"
         "                a 1000 ms wait) and is read before the next\n",
         {{"--one-by-one", false}},
         RunTemp},
        {"alarms",
         "alarms --th X --tl Y (ROM... | --all)",
         "write alarm thresholds, then read them back",
         "Checks the thresholds as the window does (each from -55 to 125, bounds included;\n"
         "fractions are rounded down to whole degrees; the upper may lie below the lower),\n"
         "writes TH and TL into the named thermometers or into all of them (Write Scratchpad,\n"
         "Copy Scratchpad), then scans and measures again and reports per device whether TH and\n"
         "TL now hold the new values. Exit status 1 when one of them does not.\n"
         "\n"
         "Options:\n"
         "  --th X   upper threshold in degrees C (a decimal point or comma)\n"
         "  --tl Y   lower threshold in degrees C\n"
         "  --all    every thermometer on the bus, in list order\n",
         {{"--th", true}, {"--tl", true}, {"--all", false}},
         RunAlarms},
        {"watch",
         "watch [--auto-store FILE] [--count N] [--temp [--one-by-one]]",
         "poll once a second and print devices as they arrive and leave",
         "Polls like the window: a session and a search, then the next one a second after the\n"
         "last one ended. Prints the adapter's status when it changes and each device that\n"
         "arrives or leaves (with --json one object per line). On a simulated bench the second\n"
         "passes on the bench's virtual clock, and without --count the watch ends once the\n"
         "bench's timeline has nothing more to come; on an adapter it runs until interrupted.\n"
         "With --temp each poll also measures every thermometer its search found, as `temp`\n"
         "does, and prints one line per thermometer. Exit status 1 when the last poll failed,\n"
         "a thermometer gave no temperature in it, or a log file could not be written.\n"
         "\n"
         "Options:\n"
         "  --auto-store FILE  append new numbers to FILE and FILE_e_.txt exactly as the\n"
         "                     window's auto-store does: at every rebuild of the device lists\n"
         "                     the first thermometer and the first DS1921/DS1922/DS1925\n"
         "                     logger, each number once per run, under the adapter and type\n"
         "                     headers\n"
         "  --count N          stop after N polls\n"
         "  --temp             measure the thermometers at every poll, within one conversion\n"
         "                     time\n"
         "  --one-by-one       with --temp: the window's sequence, one thermometer after the\n"
         "                     other\n",
         {{"--auto-store", true}, {"--count", true}, {"--temp", false}, {"--one-by-one", false}},
         RunWatch},
        {"save-number",
         "save-number ROM --file F [--comment TEXT]",
         "append a logger's number to a text file with a comment and the date",
         "The registration tab's manual save: appends \"dd.mm.yyyy: COMMENT ROM\" to F (created\n"
         "when missing). ROM must be on the registration list: a DS1921, DS1922/DS1923/DS2422,\n"
         "DS1925 or DS1822. The comment is \"Датчик\" when none is given, as in the window.\n"
         "\n"
         "Options:\n"
         "  --file F        the text file\n"
         "  --comment TEXT  the comment\n",
         {{"--file", true}, {"--comment", true}},
         RunSaveNumber},
        {"hlt show",
         "hlt show ROM",
         "live readings and the decoded configuration block of an HLT multisensor",
         "Measures the multisensor and reads its configuration block as the settings dialog does:\n"
         "on-chip temperature, VDD, VAD, the current input and channel 1's input voltage; the\n"
         "sensor types, scaling, thresholds, temperature offset and limits; each channel's "
         "present\n"
         "value, the corrected temperature, and whether the block's CRC matches. With --json the\n"
         "\"config\" member is in the form `hlt set --file` reads.\n",
         {},
         RunHltShow},
        {"hlt set", "hlt set ROM (--file CONFIG.json | --FIELD VALUE...)",
         "validate, encode and write a new configuration",
         "Reads the device as the settings dialog opens it, enters the given values into the\n"
         "dialog's fields, then runs the dialog's write: the same checks in the same order with\n"
         "the same ranges, the same encoding, the seal (mark and CRC) and the page writes 3, 6, "
         "4,\n"
         "5, then reads the pages back. Fields not given keep what the device holds. The first\n"
         "invalid field stops everything: exit status 2, nothing written; a value the device\n"
         "holds and the command does not give is named as the device's. An option the\n"
         "channel's type does not use is refused; in CONFIG.json such a field is stored as\n"
         "given, so a copy of `hlt show --json`'s config gives the same block. A block whose\n"
         "CRC does not match, or that was never configured, is written only when every field\n"
         "its types use is given (`hlt reseal` and `hlt restore` mend it otherwise).\n"
         "\n"
         "CONFIG.json is an object with any of: \"sensor0\", \"sensor1\" (HIH5031, HIH4000,\n"
         "Temperature, Pressure, CO2, Other, None, or the code 0..6), \"S0min\", \"S0Max\",\n"
         "\"S0minVoltage\", \"S0MaxVoltage\", \"S0UpValue\", \"S0DownValue\" and the same for S1\n"
         "(numbers in the sensor's unit, voltages in volts), \"Tdis\" (offset in degrees C, or\n"
         "\"hidden\" when the device is not to show the temperature), \"TupLimit\",\n"
         "\"TdownLimit\".\n"
         "\n"
         "Options (each wins over the file):\n"
         "  --file CONFIG.json\n"
         "  --sensor0 TYPE, --sensor1 TYPE\n"
         "  --S0min X, --S0Max X, --S0minVoltage V, --S0MaxVoltage V, --S0UpValue X,\n"
         "  --S0DownValue X\n"
         "  --S1min X, --S1Max X, --S1minVoltage V, --S1MaxVoltage V, --S1UpValue X,\n"
         "  --S1DownValue X\n"
         "  --Tdis X|hidden, --TupLimit X, --TdownLimit X\n",
         HltSettingOptions(), RunHltSet},
        {"hlt reseal",
         "hlt reseal ROM",
         "rewrite the configuration block with a fresh mark and CRC (\"Записать CRC\")",
         "Reads the block as the device holds it and writes it back sealed (pages 3 and 6), so\n"
         "that its CRC agrees with the configuration the device holds now; then reads it back.\n",
         {},
         RunHltReseal},
        {"hlt dump",
         "hlt dump ROM",
         "print the raw 32 bytes of the configuration block",
         "Reads pages 3 to 6 and prints their 32 bytes, one page a line, under a comment line;\n"
         "with --json as {\"rom\", \"bytes\", \"crc_ok\", \"never_configured\"}. Either form\n"
         "is a backup that `hlt restore` takes back. A page that cannot be read intact is a\n"
         "failure.\n",
         {},
         RunHltDump},
        {"hlt restore",
         "hlt restore ROM --file F",
         "write a block saved by `hlt dump` back, byte for byte",
         "Writes the 32 bytes of F into pages 3 to 6 as they are (no new seal), then reads them\n"
         "back. A block whose CRC does not match is written all the same, with a warning. A\n"
         "backup of another device is refused unless --other-device is given.\n"
         "\n"
         "Options:\n"
         "  --file F        the text or JSON that `hlt dump` printed\n"
         "  --other-device  write a backup that names another ROM\n",
         {{"--file", true}, {"--other-device", false}},
         RunHltRestore},
        {"doctor",
         "doctor [--port SPEC]",
         "look at the machine's adapters and say what to fix",
         "Looks at every adapter kind on this machine and prints what it found and, for every\n"
         "problem, the step that mends it: serial ports (driver, who may open them, the FTDI\n"
         "latency timer, a program holding the port), DS2490 USB adapters (bus and address,\n"
         "the udev rule, the node's permissions, the kernel driver), I2C buses (i2c-dev, the\n"
         "nodes, a DS2482 held by the kernel's ds2482 driver), the kernel's 1-Wire masters and\n"
         "their own searches, the window's font and the locale. With --port it then opens that\n"
         "port, resets and searches its bus three times, and reports the presence pulse, the\n"
         "devices and the bus's faults (a short, no presence, garbled searches). Exit status 1\n"
         "when something needs fixing, or no adapter was found.\n",
         {},
         RunDoctor},
        {"station",
         "station [--th X --tl Y [--resolution BITS]] [--hlt CONFIG.json] [--record FILE "
         "[--record-format "
         "jsonl|csv]] [--number-log FILE] [--count N]",
         "set up every sensor that is plugged in, verify it and keep a record",
         "Polls like `watch`. Every DS18S20/DS18B20 thermometer that arrives gets the thresholds\n"
         "of --th and --tl, written and recalled from its EEPROM as `alarms` does; every HLT\n"
         "multisensor gets the configuration of --hlt, written and read back as `hlt set --file`\n"
         "does. A device that already holds what is asked is \"already set\" and not written.\n"
         "Each device gets one line: ROM, kind, what was asked, then OK, already set or FAILED\n"
         "with the reason; a device that leaves during its write is FAILED. A device that failed\n"
         "is not written again while it stays: unplug it and plug it in again for a new attempt.\n"
         "On a terminal, standard error shows the counts and the device being written. Ctrl+C\n"
         "stops after the device being written, with the counts. Devices of other kinds are\n"
         "left alone. On a simulated bench the station ends when the timeline has nothing more to\n"
         "come. Exit status 1 when a device failed or the bus failed; a record or number log\n"
         "that cannot be written stops the station.\n"
         "\n"
         "Options:\n"
         "  --th X, --tl Y        thresholds for thermometers, as `alarms` takes them\n"
         "  --resolution BITS     with --th and --tl: also a DS18B20's resolution, 9, 10, 11\n"
         "                        or 12 bits; a DS18S20 (fixed resolution) then fails\n"
         "  --hlt CONFIG.json     a multisensor configuration, as `hlt set --file` takes it\n"
         "  --record FILE         append one line per device and attempt: time, port, ROM,\n"
         "                        kind, asked, read back, result, reason\n"
         "  --record-format F     jsonl (JSON Lines, the default) or csv (a header line\n"
         "                        begins a new file)\n"
         "  --number-log FILE     append each thermometer set up to FILE and FILE_e_.txt as\n"
         "                        the window's auto-store does\n"
         "  --count N             end after N devices\n",
         {{"--th", true},
          {"--tl", true},
          {"--hlt", true},
          {"--record", true},
          {"--record-format", true},
          {"--number-log", true},
          {"--count", true},
          {"--resolution", true}},
         RunStation},
        {"record show",
         "record show FILE",
         "summarise a station's record",
         "Reads a record that `station --record` wrote, JSON Lines or CSV, and prints the\n"
         "number of devices per result and per kind, and the devices whose last attempt failed\n"
         "and that were not set up later. A line that is no record (damaged, cut short, from\n"
         "another program) is counted and named by its line number. A record of more than\n"
         "16 MiB is refused. Exit status 1 when a device was left failed or a line was damaged.\n",
         {},
         RunRecordShow},
    };
    return commands;
}

}  // namespace velgrin::cli
